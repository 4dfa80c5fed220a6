#include "core/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/anew_file.h"
#include "core/paths.h"

namespace orv::core {

namespace {

constexpr int kMaxLinks = 40;

Error cannotWrite(const std::string& path, const std::string& why) {
    return Error{"ファイルを書き込めません: " + path + " (" + why + ")"};
}

Result<void> writeAllTo(int fd, std::string_view content, const std::string& path) {
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        const ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            return cannotWrite(path, std::strerror(errno));
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    return {};
}

// The file a chain of symbolic links ends at (the path itself when it is no link); a relative
// target is taken in its link's folder.
Result<std::string> followLinks(const std::string& path) {
    std::string at = path;
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        struct stat st;
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n < 0) return cannotWrite(path, std::strerror(errno));
        target.resize(static_cast<size_t>(n));
        at = target.starts_with('/') ? target : joinPath(GetFolderName(at), target);
    }
    return cannotWrite(path, "シンボリックリンクが多すぎます");
}

// Opens a FIFO or device that exists and writes to it.
Result<void> writeDirectly(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return cannotWrite(path, std::strerror(errno));
    auto written = writeAllTo(fd, content, path);
    if (::close(fd) != 0 && written) return cannotWrite(path, std::strerror(errno));
    return written;
}

}  // namespace

Result<void> writeOutputFile(const std::string& path, std::string_view content) {
    if (path == "-") {
        std::fflush(stdout);  // what the program printed before comes first
        return writeAllTo(STDOUT_FILENO, content, "標準出力");
    }
    auto target = followLinks(path);
    if (!target) return Error{target.error()};
    const std::string& file = target.value();
    const std::string shown = file == path ? path : path + " -> " + file;
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) {
        if (errno != ENOENT) return cannotWrite(shown, std::strerror(errno));
        auto written = writeBytesAnew(file, content);
        if (!written && file != path) return cannotWrite(shown, written.error());
        return written;
    }
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) return writeDirectly(file, content);
    if (S_ISDIR(st.st_mode)) return cannotWrite(shown, "フォルダーです");
    if (!S_ISREG(st.st_mode))
        return cannotWrite(shown, "通常のファイルでも FIFO でも文字デバイスでもありません");
    auto written = writeBytesAnew(file, content);
    if (!written && file != path) return cannotWrite(shown, written.error());
    return written;
}

}  // namespace orv::core
