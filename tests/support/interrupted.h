#pragma once
// Saves interrupted on purpose: the work runs in a child process whose writeFilesAnew stops
// after the file `index` of a set has replaced its old file, as a kill between the renames of
// a save would leave things.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "core/text_file.h"

namespace orv::test {

namespace detail {
inline size_t killAt = 0;
inline int pausePipes[2][2];  // child -> parent "stopped", parent -> child "go on"
}  // namespace detail

// Runs `work` in a child process killed (SIGKILL) right after the file `index` of its first
// set written anew has replaced its old file. True when the child died so.
inline bool killedAfterReplace(size_t index, const std::function<void()>& work) {
    detail::killAt = index;
    const pid_t pid = ::fork();
    if (pid == 0) {
        core::setAfterReplaceHook([](const std::string&, size_t i) {
            if (i == detail::killAt) ::raise(SIGKILL);
        });
        work();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// A child process that runs `work` and stops after the first file of its first set has
// replaced its old file, until go() lets it finish. The constructor returns once it stopped.
class PausedSave {
public:
    explicit PausedSave(const std::function<void()>& work) {
        if (::pipe(detail::pausePipes[0]) != 0 || ::pipe(detail::pausePipes[1]) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            core::setAfterReplaceHook([](const std::string&, size_t i) {
                if (i != 0) return;
                char c = 's';
                if (::write(detail::pausePipes[0][1], &c, 1) != 1) ::_exit(3);
                if (::read(detail::pausePipes[1][0], &c, 1) != 1) ::_exit(4);
            });
            work();
            ::_exit(0);
        }
        char c;
        stopped_ = ::read(detail::pausePipes[0][0], &c, 1) == 1;
    }
    ~PausedSave() { go(); }
    bool stopped() const { return stopped_; }
    // Lets the child finish; true when it ended normally.
    bool go() {
        if (pid_ <= 0) return false;
        char c = 'g';
        const bool sent = ::write(detail::pausePipes[1][1], &c, 1) == 1;
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        for (auto& p : detail::pausePipes) ::close(p[0]), ::close(p[1]);
        return sent && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_ = -1;
    bool stopped_ = false;
};

}  // namespace orv::test
