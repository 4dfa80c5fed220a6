#pragma once
// A file written anew: the bytes go to a temporary file beside the target, which replaces the
// target only when everything was written (commit). A file that is dropped before commit
// leaves the target as it was and removes the temporary file. The new file keeps the
// permissions of the file it replaces (a read-only result stays read-only).

#include <string>
#include <string_view>

#include "core/result.h"

namespace orv::core {

class AnewFile {
public:
    // Opens the temporary file for `path`. Check ok() or the result of commit().
    explicit AnewFile(std::string path);
    ~AnewFile();
    AnewFile(const AnewFile&) = delete;
    AnewFile& operator=(const AnewFile&) = delete;

    bool ok() const { return error_ == 0; }
    // Appends bytes (buffered). A failure is remembered and reported by commit().
    void write(std::string_view bytes);
    // Flushes, closes and renames the temporary file over the target. Fails with a message
    // naming the target when anything went wrong on the way; the target is then untouched.
    Result<void> commit();
    // The first half of commit(): flushes and closes the temporary file, which then holds the
    // whole new file, without replacing the target yet (several files can so be completed
    // before any is replaced). Fails as commit() does; commit() then only renames.
    Result<void> complete();

private:
    void flush();
    void abandon();

    std::string path_, tmp_;
    std::string buffer_;
    int fd_ = -1;
    int error_ = 0;  // errno of the first failure
    bool done_ = false;
    bool completed_ = false;
};

// The name of a temporary file beside `path`: "<path>.tmp<pid>_<n>", n counting up in the
// process. Such names of a process that no longer runs are leftovers of a killed write.
std::string temporaryNameFor(const std::string& path);

// Writes the bytes to `path` anew.
Result<void> writeBytesAnew(const std::string& path, std::string_view bytes);

}  // namespace orv::core
