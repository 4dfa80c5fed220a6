#include "core/anew_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orv::core {

namespace {

constexpr size_t kBufferBytes = 1 << 20;

}  // namespace

std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

AnewFile::AnewFile(std::string path) : path_(std::move(path)) {
    tmp_ = temporaryNameFor(path_);
    fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) error_ = errno;
    buffer_.reserve(kBufferBytes);
}

AnewFile::~AnewFile() {
    if (!done_) abandon();
}

void AnewFile::write(std::string_view bytes) {
    if (error_ != 0) return;
    if (buffer_.size() + bytes.size() > kBufferBytes) flush();
    if (bytes.size() >= kBufferBytes) {
        buffer_ = bytes;
        flush();
        buffer_.clear();
        buffer_.reserve(kBufferBytes);
        return;
    }
    buffer_ += bytes;
}

void AnewFile::flush() {
    const char* p = buffer_.data();
    size_t left = buffer_.size();
    while (left > 0 && error_ == 0) {
        const ssize_t w = ::write(fd_, p, left);
        if (w < 0) {
            if (errno != EINTR) error_ = errno;
            continue;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    buffer_.clear();
}

void AnewFile::abandon() {
    done_ = true;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    std::remove(tmp_.c_str());
}

Result<void> AnewFile::complete() {
    if (done_) return Error{"ファイルを書き込めません: " + path_};
    if (!completed_) {
        if (error_ == 0) flush();
        // The replaced file's permissions, so that replacing never makes a file writable.
        struct stat old;
        if (fd_ >= 0 && error_ == 0 && ::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode))
            (void)::fchmod(fd_, old.st_mode & 07777);
        if (fd_ >= 0 && ::close(fd_) != 0 && error_ == 0) error_ = errno;
        fd_ = -1;
        completed_ = true;
    }
    if (error_ != 0) {
        const int err = error_;
        abandon();
        return Error{"ファイルを書き込めません: " + path_ + " (" + std::strerror(err) + ")"};
    }
    return {};
}

Result<void> AnewFile::commit() {
    if (auto written = complete(); !written) return written;
    if (std::rename(tmp_.c_str(), path_.c_str()) != 0) {
        const int err = errno;
        abandon();
        return Error{"ファイルを書き込めません: " + path_ + " (" + std::strerror(err) + ")"};
    }
    done_ = true;
    return {};
}

Result<void> writeBytesAnew(const std::string& path, std::string_view bytes) {
    AnewFile file(path);
    file.write(bytes);
    return file.commit();
}

}  // namespace orv::core
