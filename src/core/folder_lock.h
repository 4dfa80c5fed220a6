#pragma once
// An advisory lock on a folder (flock on the folder itself), held while the object lives, so
// that processes writing the same files in that folder queue instead of interleaving. Only
// programs that take the lock wait for it; reading needs no lock.

#include <string>

namespace orv::core {

class FolderLock {
public:
    enum class Wait { Yes, No };
    // Takes the lock, waiting for another holder to let go (Wait::No: gives up at once).
    // held() is false when the lock was not taken: with Wait::No because another holder has
    // it, or when the folder cannot be opened (then writing goes on without the lock).
    explicit FolderLock(const std::string& folder, Wait wait = Wait::Yes);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace orv::core
