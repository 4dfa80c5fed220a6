#include "core/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/text.h"

namespace orv::core {

namespace fs = std::filesystem;

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

}  // namespace

std::string GetFolderName(const std::string& path) {
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : path) {
        if (isSeparator(c)) {
            if (!piece.empty()) pieces.push_back(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (!piece.empty()) pieces.push_back(piece);
    const bool posixRoot = !path.empty() && path[0] == '/';
    const char sep = path.find('/') != std::string::npos ? '/' : '\\';
    if (pieces.size() < 2) return posixRoot && !pieces.empty() ? "/" : "";
    std::string folder = posixRoot ? "/" : "";
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        if (i > 0) folder += sep;
        folder += pieces[i];
    }
    return folder;
}

std::string fileNameOf(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !isSeparator(path[i - 1])) --i;
    return path.substr(i);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && isSeparator(folder.back())) return folder + name;
    return folder + "/" + name;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool folderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

PathKind pathKind(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISREG(st.st_mode)) return PathKind::RegularFile;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Other;
}

std::string unreadableFileReason(const std::string& path, const char* what) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return path.empty() || errno == ENOENT || errno == ENOTDIR
                   ? "ファイルがありません"
                   : std::string("開けません: ") + std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::string("フォルダーです。") + what + "ではありません";
    if (!S_ISREG(st.st_mode)) return "通常のファイルではありません";
    if (::access(path.c_str(), R_OK) != 0)
        return errno == EACCES ? "読み取りの権限がありません"
                               : std::string("開けません: ") + std::strerror(errno);
    return "";
}

bool createFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directory(path, ec);
    return folderExists(path);
}

bool isWritableFolder(const std::string& path) {
    return folderExists(path) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string ProgramFolders::writableFolder() const {
    return usesFallback() ? userFolder : programFolder;
}

bool ProgramFolders::usesFallback() const {
    return !isWritableFolder(programFolder);
}

std::string ProgramFolders::settingsFileToWrite() const {
    if (usesFallback()) {
        std::error_code ec;
        fs::create_directories(userFolder, ec);
    }
    return joinPath(writableFolder(), kSettingsFileName);
}

std::string ProgramFolders::settingsFileToRead() const {
    if (usesFallback()) {
        std::string own = joinPath(userFolder, kSettingsFileName);
        if (fileExists(own)) return own;
    }
    return joinPath(programFolder, kSettingsFileName);
}

ProgramFolders ProgramFolders::forExecutable() {
    ProgramFolders f;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    f.programFolder = ec ? fs::current_path(ec).string() : exe.parent_path().string();
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && *xdg)
        f.userFolder = joinPath(xdg, "orvandel");
    else if (home && *home)
        f.userFolder = joinPath(joinPath(home, ".config"), "orvandel");
    else
        f.userFolder = joinPath("/tmp", "orvandel");
    return f;
}

ProgramFolders ProgramFolders::at(const std::string& folder) {
    return ProgramFolders{folder, folder + "-user"};
}

std::string fileInAnyCase(const std::string& folder, const std::string& name) {
    const std::string exact = joinPath(folder, name);
    if (fileExists(exact)) return exact;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec))
        if (equalsIgnoreCase(it->path().filename().string(), name) && it->is_regular_file(ec))
            return it->path().string();
    return exact;
}

}  // namespace orv::core
