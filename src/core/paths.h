#pragma once
// Paths: folder splitting that accepts "\" and "/", joining with the platform's separator,
// and the program's own folder with its per-user fallback.

#include <string>

namespace orv::core {

// The folder part of a path. The path is split at "\" and "/"; empty pieces are dropped (so a
// trailing separator is ignored) and the pieces before the last one are joined again:
// C:\a\b\c.bmp -> C:\a\b, C:\a\b\ -> C:\a, C:\x.bmp -> C:, a bare name -> "".
// A POSIX absolute path keeps its root: /data/m42.bmp -> /data, /m42.bmp -> /.
std::string GetFolderName(const std::string& path);
// The last piece of a path (the file name), "" for a path ending in a separator.
std::string fileNameOf(const std::string& path);
// folder & separator & name, without doubling a separator that ends the folder.
std::string joinPath(const std::string& folder, const std::string& name);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

// What a path names (symbolic links followed).
enum class PathKind { Missing, RegularFile, Folder, Other };
PathKind pathKind(const std::string& path);
// Why the path cannot be read as a file, in the user's terms, or "" when it names a readable
// regular file: missing, a folder, not a regular file (a FIFO would block the reader, a device
// never ends), or not readable. `what` names the file in the folder case ("画像ファイル").
std::string unreadableFileReason(const std::string& path, const char* what = "ファイル");
// Creates the folder (not its parents). True when it exists afterwards.
bool createFolder(const std::string& path);
bool isWritableFolder(const std::string& path);

// Where the program keeps its files: the executable's folder, or the per-user configuration
// folder ($XDG_CONFIG_HOME/orvandel, else ~/.config/orvandel) when that is not writable.
struct ProgramFolders {
    std::string programFolder;  // the executable's folder
    std::string userFolder;     // per-user fallback

    // The folder the program writes to (settings file, clipboard results).
    std::string writableFolder() const;
    bool usesFallback() const;
    // The settings file to write, and the one to read (the fallback's own file once it
    // exists, else the program folder's).
    std::string settingsFileToWrite() const;
    std::string settingsFileToRead() const;

    // Folders for the running executable.
    static ProgramFolders forExecutable();
    // Folders rooted in a given folder (tests, tools); the fallback is <folder>-user.
    static ProgramFolders at(const std::string& folder);
};

inline constexpr const char* kSettingsFileName = "Orvandel.ini";

// folder/name, or, when that is missing, the first file of the folder whose name differs only
// in letter case (a copy from a system that ignores case).
std::string fileInAnyCase(const std::string& folder, const std::string& name);

}  // namespace orv::core
