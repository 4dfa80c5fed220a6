#pragma once
// CFITSIO is loaded the first time a FITS file is read or written, not when the program starts:
// the library brings some thirty others with it (those of its network drivers), and loading
// them took most of the time the command line needed to start. The CFITSIO functions the
// program calls are defined in cfitsio_library.cpp, each handing its call to the library's own.

#include <string>

namespace orv::formats {

// The status those functions give when the library cannot be loaded.
inline constexpr int kCfitsioMissing = 9001;

// Loads the library now, if it is not yet loaded: the decoding helper does before it limits its
// address space, which the library's thirty others would otherwise take from the picture's share.
// False when it cannot be loaded.
bool loadCfitsio();

// What a FITS file's reader or writer says when the library could not be loaded (naming it and
// why), "" when it is loaded.
std::string cfitsioMissingMessage();

}  // namespace orv::formats
