#pragma once
// Text files: CR LF line ends, written as UTF-8, read as UTF-8 with a CP932 (Shift_JIS)
// fallback so that files written on a Japanese Windows system read correctly.
//
// Files that are "written anew" go to a temporary file in the same folder that is then
// renamed over the old one, so a failure never leaves a half-written file. Logs are appended.

#include <cstddef>
#include <functional>
#include <optional>
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
// The same text without a copy where the bytes are UTF-8 already: a view of `bytes`, or of
// `decoded`, which then holds the decoded text.
std::string_view textOf(std::string_view bytes, std::string& decoded);

// Splits text into lines at CR LF, CR or LF. A final line end does not make an empty line.
std::vector<std::string> splitLines(std::string_view text);
// Calls f(line) for each line splitLines gives, the line viewed in place.
template <typename F>
void forEachLine(std::string_view text, F&& f) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        f(text.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) f(text.substr(start));
}

// Splits a line at commas outside double quotes. A field may be quoted: it then ends at a quote
// followed by a comma or the line end, "" inside stands for one quote, and any other quote is
// kept as text. An unquoted field loses its surrounding blanks. With a limit, only the first
// `limit` fields (as the whole line splits into them).
std::vector<std::string> splitCommaFields(std::string_view line,
                                          size_t limit = static_cast<size_t>(-1));
// The same fields viewed in the line, into `fields`: false when a quote written twice makes one
// of them differ from its text in the line (splitCommaFields then gives them).
bool splitCommaFieldViews(std::string_view line, size_t limit,
                          std::vector<std::string_view>& fields);

// A field for such a line: in double quotes, a quote inside written twice.
std::string quotedField(std::string_view field);

// Reads `want` bytes of the open file `fd` from `offset` into `out`; gives how many were read,
// fewer only where the file ends or a read fails. Threads may read one file at once.
size_t readAt(int fd, void* out, size_t want, uint64_t offset);

// Reads a whole file. Fails with a message naming the file when it cannot be read.
Result<std::string> readFileBytes(const std::string& path);
// readFileBytes + decodeText + splitLines.
Result<std::vector<std::string>> readTextLines(const std::string& path);

// Writes the lines, each ended by CR LF, to a temporary file beside `path` and renames it
// over `path`. On failure the old file is untouched and the temporary file removed.
Result<void> writeLinesAnew(const std::string& path, const std::vector<std::string>& lines);

// The lines, each ended by CR LF, as one text.
std::string joinLines(const std::vector<std::string>& lines);

struct FileLines {
    std::string path;
    std::vector<std::string> lines;
};
struct FileBytes {
    std::string path;
    std::string bytes;
};
// Writes several files anew as one unit: every temporary file is written completely before
// the first old file is replaced, and they are renamed over the old ones in the order given.
// On failure every old file is as it was (a replaced one is put back) and no temporary file
// is left. Temporary files that a killed process left beside these files are removed first.
Result<void> writeFilesAnew(const std::vector<FileLines>& files);
// The same for files given as their bytes. `beforeReplace`, when given, runs once every
// temporary file is complete and before the first old file is replaced (to put other files of
// the same generation in place); when it fails, nothing is replaced and its error is returned.
Result<void> writeFileBytesAnew(const std::vector<FileBytes>& files,
                                const std::function<Result<void>()>& beforeReplace = {});

// A fault-injection point for tests: called after each file of writeFilesAnew (and
// writeFileBytesAnew) has replaced its old file, with the file and its index in the set (nullptr:
// none).
using AfterReplaceHook = void (*)(const std::string& path, size_t index);
void setAfterReplaceHook(AfterReplaceHook hook);

// Leftovers of an interrupted write beside a file `base`: "<base>.tmp<pid>_<n>" (a temporary
// file) and "<base>.old<pid>_<n>" (the old file kept while a set is replaced). The writer's
// process id of such a name, or nothing for other names.
std::optional<long> leftoverProcess(std::string_view name, std::string_view base);
// Removes from `folder` the leftovers of processes that no longer run among the files whose
// names start with `prefix` (of any file: "<prefix>...<.tmp|.old><pid>_<n>..."). Returns how
// many were removed.
size_t removeStaleLeftovers(const std::string& folder, std::string_view prefix);
// Appends one line ended by CR LF.
Result<void> appendLine(const std::string& path, std::string_view line);

}  // namespace orv::core
