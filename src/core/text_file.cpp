#include "core/text_file.h"

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>

#include "core/anew_file.h"
#include "core/block_cache.h"
#include "core/paths.h"

namespace orv::core {

bool isValidUtf8(std::string_view s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        // Plain ASCII eight bytes at a time.
        uint64_t word;
        if (i + 8 <= n && (std::memcpy(&word, s.data() + i, 8), (word & 0x8080808080808080) == 0)) {
            i += 8;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (int k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr uintmax_t kTextCopies = 4;

// CP932 to UTF-8 with glibc's iconv; an undecodable byte becomes U+FFFD and decoding goes on.
std::string decodeCp932(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep ASCII, mark everything else.
        std::string out;
        for (char c : bytes)
            out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c)
                                                        : std::string(kReplacement);
        return out;
    }
    std::string out;
    out.reserve(bytes.size() * 3 / 2 + 16);
    std::string in(bytes);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char buf[4096];
    while (inLeft > 0) {
        char* outPtr = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf, outPtr - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (truncated sequence): skip one byte.
            out += kReplacement;
            ++inPtr;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

namespace {

// UTF-16 text after its byte-order mark (little- or big-endian) as UTF-8; an unpaired
// surrogate or a last odd byte becomes U+FFFD.
std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(bigEndian ? a << 8 | b : b << 8 | a);
    };
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    auto put = [&out](uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    size_t i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
        const uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                put(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        put(u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
    if (i < bytes.size()) put(0xFFFD);
    return out;
}

}  // namespace

std::string_view textOf(std::string_view bytes, std::string& decoded) {
    // A byte-order mark of UTF-16 (Windows' "Unicode" text): neither byte starts a character
    // of UTF-8 or CP932, so such a file cannot be meant otherwise.
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE")
        return decoded = decodeUtf16(bytes, false);
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF")
        return decoded = decodeUtf16(bytes, true);
    if (isValidUtf8(bytes)) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        return bytes;
    }
    return decoded = decodeCp932(bytes);
}

std::string decodeText(std::string_view bytes) {
    std::string decoded;
    const std::string_view text = textOf(bytes, decoded);
    if (text.data() == decoded.data()) return decoded;
    return std::string(text);
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    forEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

namespace {

// The fields of a line as splitCommaFields cuts it: field(text, doubled) for each of the first
// `limit`, `text` the field in place (an unquoted one without its surrounding blanks, a quoted
// one between its quotes), `doubled` whether a quote inside it is written twice.
template <typename F>
void scanCommaFields(std::string_view line, size_t limit, F&& field) {
    size_t i = 0, count = 0;
    const size_t n = line.size();
    while (count < limit) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t begin = i, end;
        bool doubled = false;
        if (i < n && line[i] == '"') {
            begin = ++i;
            end = n;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        doubled = true;
                        i += 2;
                        continue;
                    }
                    size_t j = i + 1;
                    while (j < n && (line[j] == ' ' || line[j] == '\t')) ++j;
                    if (j == n || line[j] == ',') {
                        end = i;
                        i = j;
                        break;
                    }
                }
                ++i;
            }
        } else {
            const size_t comma = line.find(',', i);
            i = end = comma == std::string::npos ? n : comma;
            while (end > begin && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
        }
        field(line.substr(begin, end - begin), doubled);
        ++count;
        if (i >= n || count == limit) break;
        ++i;  // the comma
        if (i == n) {
            field(std::string_view(), false);
            break;
        }
    }
}

}  // namespace

std::vector<std::string> splitCommaFields(std::string_view line, size_t limit) {
    std::vector<std::string> fields;
    if (limit == 0) return fields;
    // Room for every field at once (a comma inside quotes only adds a little room).
    fields.reserve(
        std::min(static_cast<size_t>(std::count(line.begin(), line.end(), ',')) + 1, limit));
    scanCommaFields(line, limit, [&](std::string_view text, bool doubled) {
        std::string& f = fields.emplace_back();
        if (!doubled) {
            f = text;
            return;
        }
        for (size_t k = 0; k < text.size(); ++k) {
            f += text[k];
            if (text[k] == '"' && k + 1 < text.size() && text[k + 1] == '"') ++k;
        }
    });
    return fields;
}

bool splitCommaFieldViews(std::string_view line, size_t limit,
                          std::vector<std::string_view>& fields) {
    fields.clear();
    bool inPlace = true;
    scanCommaFields(line, limit, [&](std::string_view text, bool doubled) {
        fields.push_back(text);
        inPlace = inPlace && !doubled;
    });
    return inPlace;
}

std::string quotedField(std::string_view field) {
    std::string q = "\"";
    for (char c : field) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

size_t readAt(int fd, void* out, size_t want, uint64_t offset) {
    auto* bytes = static_cast<char*>(out);
    size_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd, bytes + got, want - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return got;
}

constexpr size_t kReadPiece = size_t{1} << 20;

Result<std::string> readFileBytes(const std::string& path) {
    // Only a regular file: a FIFO would wait for a writer, a device would never end.
    if (const std::string why = unreadableFileReason(path); !why.empty())
        return Error{"ファイルを開けません: " + path + " (" + why + ")"};
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    // The text is held up to four times while it is decoded and split into lines.
    if (!ec && size > availableMemoryBytes() / kTextCopies)
        return Error{"ファイルが大きすぎて、メモリーに入りません: " + path + " (" +
                     std::to_string(size) + " バイト)"};
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return Error{"ファイルを開けません: " + path};
        // Read into the text itself: the size measured and a byte more, then pieces of 1 MiB
        // while there is more (the file may have changed size since it was measured).
        std::string bytes;
        size_t have = 0, room = ec ? kReadPiece : static_cast<size_t>(size) + 1;
        while (true) {
            bytes.resize(have + room);
            in.read(bytes.data() + have, static_cast<std::streamsize>(room));
            have += static_cast<size_t>(in.gcount());
            if (static_cast<size_t>(in.gcount()) < room) break;
            room = kReadPiece;
        }
        bytes.resize(have);
        if (in.bad()) return Error{"ファイルを読めません: " + path};
        return bytes;
    } catch (const std::bad_alloc&) {
        return Error{"ファイルを読むためのメモリーが足りません: " + path};
    }
}

Result<std::vector<std::string>> readTextLines(const std::string& path) {
    auto bytes = readFileBytes(path);
    if (!bytes) return Error{bytes.error()};
    try {
        std::string decoded;
        return splitLines(textOf(bytes.value(), decoded));
    } catch (const std::bad_alloc&) {
        return Error{"ファイルを読むためのメモリーが足りません: " + path};
    }
}

namespace {

bool writeAll(int fd, const std::string& data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

std::string joinLines(const std::vector<std::string>& lines) {
    std::string data;
    size_t total = 0;
    for (const auto& l : lines) total += l.size() + 2;
    data.reserve(total);
    for (const auto& l : lines) {
        data += l;
        data += kCrLf;
    }
    return data;
}

std::optional<long> leftoverProcess(std::string_view name, std::string_view base) {
    if (name.size() <= base.size() + 4 || name.substr(0, base.size()) != base) return std::nullopt;
    const std::string_view kind = name.substr(base.size(), 4);
    if (kind != ".tmp" && kind != ".old") return std::nullopt;
    const std::string_view rest = name.substr(base.size() + 4);
    const size_t digits = rest.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string_view::npos || rest[digits] != '_' || digits > 10)
        return std::nullopt;
    return std::stol(std::string(rest.substr(0, digits)));
}

namespace {

// Whether the process that left a file behind has ended (this process counts as running).
bool processEnded(long pid) {
    return pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Removes the temporary and backup files of `path` that a killed process left behind:
// <file>.tmp<pid>_<n> (AnewFile) and <file>.old<pid>_<n> (writeFilesAnew) of a process that no
// longer runs.
void removeLeftovers(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path p(path);
    const std::string base = p.filename().string();
    std::error_code ec;
    fs::directory_iterator it(p.has_parent_path() ? p.parent_path() : fs::path("."), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const auto pid = leftoverProcess(it->path().filename().string(), base);
        if (!pid || !processEnded(*pid)) continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

AfterReplaceHook afterReplaceHook = nullptr;  // tests only

}  // namespace

void setAfterReplaceHook(AfterReplaceHook hook) {
    afterReplaceHook = hook;
}

size_t removeStaleLeftovers(const std::string& folder, std::string_view prefix) {
    namespace fs = std::filesystem;
    size_t removed = 0;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        // The first ".tmp<pid>_" or ".old<pid>_" after the prefix names the writer.
        for (size_t at = name.find('.', prefix.size()); at != std::string::npos;
             at = name.find('.', at + 1)) {
            const auto pid = leftoverProcess(name, std::string_view(name).substr(0, at));
            if (!pid) continue;
            std::error_code ignored;
            if (processEnded(*pid) && fs::remove(it->path(), ignored)) ++removed;
            break;
        }
    }
    return removed;
}

Result<void> writeFileBytesAnew(const std::vector<FileBytes>& files,
                                const std::function<Result<void>()>& beforeReplace) {
    for (const auto& f : files) removeLeftovers(f.path);
    // 1. Every new file complete as a temporary file (one that is not renamed below is
    //    removed when its AnewFile goes).
    std::vector<std::unique_ptr<AnewFile>> anew;
    for (const auto& f : files) {
        anew.push_back(std::make_unique<AnewFile>(f.path));
        anew.back()->write(f.bytes);
        if (auto done = anew.back()->complete(); !done) return done;
    }
    if (beforeReplace)
        if (auto ready = beforeReplace(); !ready) return ready;
    // 2. The old files kept under a second name (a hard link), so that a failed replace can
    //    put them back; then the temporary files renamed over them in order.
    static std::atomic<unsigned> counter{0};
    std::vector<std::string> backups(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string backup =
            files[i].path + ".old" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        if (::link(files[i].path.c_str(), backup.c_str()) == 0) backups[i] = backup;
    }
    auto dropBackups = [&] {
        for (const auto& b : backups)
            if (!b.empty()) std::remove(b.c_str());
    };
    for (size_t i = 0; i < files.size(); ++i) {
        if (auto replaced = anew[i]->commit(); !replaced) {
            // 3. A failure puts back what was replaced so far: the old set stays whole.
            for (size_t j = 0; j < i; ++j) {
                if (!backups[j].empty())
                    std::rename(backups[j].c_str(), files[j].path.c_str());
                else
                    std::remove(files[j].path.c_str());
            }
            dropBackups();
            return replaced;
        }
        if (afterReplaceHook) afterReplaceHook(files[i].path, i);
    }
    dropBackups();
    return {};
}

Result<void> writeFilesAnew(const std::vector<FileLines>& files) {
    std::vector<FileBytes> bytes;
    bytes.reserve(files.size());
    for (const auto& f : files) bytes.push_back({f.path, joinLines(f.lines)});
    return writeFileBytesAnew(bytes);
}

Result<void> writeLinesAnew(const std::string& path, const std::vector<std::string>& lines) {
    return writeFilesAnew({{path, lines}});
}

Result<void> appendLine(const std::string& path, std::string_view line) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return Error{"ファイルに追記できません: " + path};
    std::string data(line);
    data += kCrLf;
    bool ok = writeAll(fd, data);
    ok = (::close(fd) == 0) && ok;
    if (!ok) return Error{"ファイルに追記できません: " + path};
    return {};
}

}  // namespace orv::core
