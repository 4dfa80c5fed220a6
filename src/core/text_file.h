#pragma once
// Text files: CR LF line ends, written as UTF-8, read as UTF-8 with a CP932 (Shift_JIS)
// fallback so that files written on a Japanese Windows system read correctly.
//
// Files that are "written anew" go to a temporary file in the same folder that is then
// renamed over the old one, so a failure never leaves a half-written file. Logs are appended.

#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace orv::core {

inline constexpr const char* kCrLf = "\r\n";

bool isValidUtf8(std::string_view bytes);
// The bytes as UTF-8 text: unchanged when they are valid UTF-8 (a leading byte-order mark is
// dropped), otherwise decoded as CP932; bytes that decode as neither become U+FFFD.
std::string decodeText(std::string_view bytes);

// Splits text into lines at CR LF, CR or LF. A final line end does not make an empty line.
std::vector<std::string> splitLines(std::string_view text);

// Splits a line at commas outside double quotes. A field may be quoted: it then ends at a quote
// followed by a comma or the line end, "" inside stands for one quote, and any other quote is
// kept as text. An unquoted field loses its surrounding blanks.
std::vector<std::string> splitCommaFields(std::string_view line);

// A field for such a line: in double quotes, a quote inside written twice.
std::string quotedField(std::string_view field);

// Reads a whole file. Fails with a message naming the file when it cannot be read.
Result<std::string> readFileBytes(const std::string& path);
// readFileBytes + decodeText + splitLines.
Result<std::vector<std::string>> readTextLines(const std::string& path);

// Writes the lines, each ended by CR LF, to a temporary file beside `path` and renames it
// over `path`. On failure the old file is untouched and the temporary file removed.
Result<void> writeLinesAnew(const std::string& path, const std::vector<std::string>& lines);

struct FileLines {
    std::string path;
    std::vector<std::string> lines;
};
// Writes several files anew as one unit: every temporary file is written completely before
// the first old file is replaced, and they are renamed over the old ones in the order given.
// On failure every old file is as it was (a replaced one is put back) and no temporary file
// is left. Temporary files that a killed process left beside these files are removed first.
Result<void> writeFilesAnew(const std::vector<FileLines>& files);
// Appends one line ended by CR LF.
Result<void> appendLine(const std::string& path, std::string_view line);

}  // namespace orv::core
