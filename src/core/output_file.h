#pragma once
// Writing an output file that a user names (a catalogue, a region file): the whole content to
// one path, by the rules a user of a command line expects.
//
//   "-"                         standard output
//   a symbolic link             written through to its target, by these rules (the link stays)
//   a FIFO or character device  written directly (opened and written, never replaced), so
//                               that `-o /dev/stdout` or a named pipe works and a device node
//                               is never turned into a file
//   another special file        refused (a block device, socket or folder)
//   a regular file              written anew (temporary file renamed over it, see
//                               core/anew_file.h), keeping its permissions
//   nothing yet                 written anew

#include <string>
#include <string_view>

#include "core/result.h"

namespace orv::core {

// Writes `content` to `path` by the rules above. Fails with a message naming the path (and
// the link's target) when it cannot.
Result<void> writeOutputFile(const std::string& path, std::string_view content);

}  // namespace orv::core
