#include "core/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace orv::core {

FolderLock::FolderLock(const std::string& folder, Wait wait) {
    fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    const int operation = LOCK_EX | (wait == Wait::No ? LOCK_NB : 0);
    int r;
    while ((r = ::flock(fd_, operation)) != 0 && errno == EINTR) {
    }
    held_ = r == 0;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing lets go of the lock
}

}  // namespace orv::core
