#pragma once
// Pictures read by code that is not the program's own (CFITSIO's decompression, the toolkit's
// image readers) are decoded in a helper program, `orvandel-decode`, beside the running
// executable, so that a fault of such a library on a damaged file (a crash, a decoder that
// never ends, memory without end) ends the helper and becomes a refusal with its reason, never
// the end of the program or of a batch.
//
// The helper is started with posix_spawn (a fork of a process with threads could inherit a
// lock another thread held), in a process group of its own, with:
//   fd 3  shared memory (memfd) that receives the pixels,
//   fd 4  a pipe for its messages, one text line each,
//   fd 1, 2  a pipe the program reads and drops (libraries' warnings stay off the terminal),
//   fd 0  /dev/null.
// It reads the picture's header first, then limits its own memory to its size at that moment
// plus what the header announces (RLIMIT_AS; a build with AddressSanitizer, whose shadow
// memory needs terabytes of address space, reports the limit and the program watches the
// helper's resident memory instead), and says how many pixels the header announces, which
// extends the time the program waits. Messages:
//
//   declared PIXELS            the header's pixels (0: not known)
//   watch BYTES                the resident memory the program is to allow (sanitized build)
//   picture W H LAYOUT         8-bit pixels in the shared memory, rows of W pixels, no padding
//   deep W H CHANNELS TYPE OFFSET SCALE
//                              samples (TYPE u16, f32 or f64) in the shared memory
//   header KEYS NAXIS1 NAXIS2 ...
//                              a FITS header, KEYS cards of 80 characters, in the shared memory
//   refused TEXT               the reader's own refusal, in the user's terms
//
// Everything the helper gives back is checked before use, as outside data: a helper that a
// damaged file took over must not get past the program's checks either.

#include <cstdint>
#include <functional>
#include <string>

#include "core/result.h"
#include "form/picture.h"
#include "formats/stretch.h"

namespace orv::formats {

inline constexpr const char* kDecodeHelperName = "orvandel-decode";

namespace detail {
struct PictureHeader;
}

// The reader the helper runs on the file.
enum class HelperReader {
    Fits,        // readFits: a FITS picture in an extension (a tile-compressed image among them)
    FitsHeader,  // the header of that picture's HDU (detail::readPictureHeader), for its WCS
    Toolkit,     // the toolkit's image readers (decodePictureFileWithLimit)
};

// How long and how much the helper may take.
struct GuardLimits {
    double baseSeconds = 10.0;         // any picture
    double secondsPerMegapixel = 0.5;  // and this for each million pixels the header announces
    double secondsPerFileMegabyte = 0.1;
    uint64_t slackBytes = uint64_t{512} << 20;  // memory beyond the helper's own and the picture's
};

struct HelperRequest {
    HelperReader reader = HelperReader::Toolkit;
    int allocationLimitMb = 4096;  // the toolkit readers' own limit
    GuardLimits limits;
    std::string helper;  // the program to start; "" for orvandel-decode beside the executable
    Pump pump;           // called about every 20 ms while the helper works
};

// Decodes the file at `path` in the helper. Gives the picture (8-bit pixels in shared memory
// that the picture owns, or deep samples), or the reader's own refusal, or "画像を読み込めません:
// PATH (REASON)" when the helper crashed, was killed by a signal, ended with an error code,
// went over its time or memory, could not be started, or gave back something malformed.
core::Result<form::Picture> decodeInHelper(const std::string& path, const HelperRequest& request);

// The header of a FITS file's picture HDU read in the helper (for a picture in an extension),
// refused as decodeInHelper refuses.
core::Result<detail::PictureHeader> readFitsHeaderInHelper(const std::string& path,
                                                           const Pump& pump = {});

// Where decodeInHelper looks for the helper: the running executable's folder, or the path
// useDecodeHelper gave.
std::string decodeHelperPath();
// Makes `path` the helper for the rest of the process (a library whose process is another
// program's, such as the Python module, ships the helper beside itself). Called before any
// picture is read.
void useDecodeHelper(const std::string& path);

// The helper's side, run by orvandel-decode's main: `argv` is READER PATH ALLOCATION_LIMIT_MB
// PROGRAM_PID (after the program's name), READER "fits", "header" or "toolkit"; the helper ends
// when the program does. `toolkit` decodes a picture with a
// memory limit (megabytes) and `toolkitPixels` reads the pixels a file's header announces (0
// when it cannot tell); both run only in the helper. Returns the exit status.
using ToolkitDecoder =
    std::function<core::Result<form::Picture>(const std::string& path, int allocationLimitMb)>;
using ToolkitPixels = std::function<uint64_t(const std::string& path)>;
int runDecodeHelper(int argc, char** argv, const ToolkitDecoder& toolkit,
                    const ToolkitPixels& toolkitPixels);

}  // namespace orv::formats
