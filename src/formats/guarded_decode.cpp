#include "formats/guarded_decode.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "core/block_cache.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "formats/cfitsio_library.h"
#include "formats/fits.h"
#include "formats/fits_hdu.h"

extern char** environ;

// The program's side:
//   1. shared memory and two pipes, moved above the descriptors the helper is given;
//   2. the helper started with posix_spawn in its own process group;
//   3. until it ends: its messages read as they come, its other output dropped, the time (and in
//      a sanitized build the resident memory) watched, the caller's pump called;
//   4. its end judged: killed for time or memory, a signal, an error code, a refusal, or a
//      result, which is checked against the shared memory before the pixels are taken.
// The helper's side (runDecodeHelper) is at the end of the file.

namespace orv::formats {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A sanitized build decodes several times slower: the same picture gets more time (beyond the
// base time, which is for a picture of any size).
constexpr double kSlowBuildFactor = kSanitized ? 5.0 : 1.0;
constexpr int kMemoryFd = 3, kMessageFd = 4;
constexpr int kPollMs = 20;
constexpr size_t kMaxMessageBytes = 64 << 10;  // more is no honest helper's

// A file descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

std::string refusedText(const std::string& path, const std::string& why) {
    return "画像を読み込めません: " + path + " (" + why + ")";
}

// The descriptor moved to 10 or above (close-on-exec), so that the helper's own numbers 0 to 4
// are never among the sources of the duplications that give them.
int highFd(int fd) {
    if (fd < 0) return fd;
    const int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
    ::close(fd);
    return high;
}

std::string signalName(int sig) {
    const char* abbrev = ::sigabbrev_np(sig);
    return abbrev ? std::string("SIG") + abbrev : "シグナル " + std::to_string(sig);
}

uint64_t residentBytes(pid_t pid) {
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    uint64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// The words of a message line.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        const size_t j = std::min(line.find(' ', i), line.size());
        if (j > i) out.push_back(line.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

template <typename T>
std::optional<T> number(std::string_view text) {
    T v{};
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

// What the helper said and how it ended.
struct HelperEnd {
    std::vector<std::string> messages;
    int status = 0;         // of waitpid
    std::string killedFor;  // the program ended it: why ("" when it ended by itself)
};

// The environment for the helper: the program's own; a sanitized helper also returns null for
// an allocation beyond what the machine has, as a release build's would fail, and does not look
// for leaks as it ends (it ends after one picture; the toolkit's caches live until then).
std::vector<std::string> helperEnvironment() {
    std::vector<std::string> env;
    std::string asan;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("ASAN_OPTIONS=", 0) == 0)
            asan = entry.substr(13);
        else
            env.push_back(entry);
    }
    if (kSanitized) {
        const uint64_t mb = core::availableMemoryBytes() >> 20;
        asan += std::string(asan.empty() ? "" : ":") + "allocator_may_return_null=1" +
                ":max_allocation_size_mb=" + std::to_string(std::max<uint64_t>(mb, 1)) +
                ":detect_leaks=0";
    }
    if (!asan.empty()) env.push_back("ASAN_OPTIONS=" + asan);
    return env;
}

// Steps 2 and 3. Nothing (with the reason in `failure`) when the helper could not be started.
std::optional<HelperEnd> runHelper(const std::string& helper, const std::vector<std::string>& args,
                                   int memoryFd, double fileMegabytes, const HelperRequest& request,
                                   std::string& failure) {
    int messagePipe[2], outputPipe[2];
    if (::pipe2(messagePipe, O_CLOEXEC) != 0) {
        failure = std::string("パイプを作れません: ") + std::strerror(errno);
        return std::nullopt;
    }
    Fd messageIn(highFd(messagePipe[0])), messageOut(highFd(messagePipe[1]));
    if (::pipe2(outputPipe, O_CLOEXEC) != 0) {
        failure = std::string("パイプを作れません: ") + std::strerror(errno);
        return std::nullopt;
    }
    Fd outputIn(highFd(outputPipe[0])), outputOut(highFd(outputPipe[1]));
    if (messageIn.get() < 0 || messageOut.get() < 0 || outputIn.get() < 0 || outputOut.get() < 0) {
        failure = "ファイル記述子が足りません";
        return std::nullopt;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputOut.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, outputOut.get(), 2);
    posix_spawn_file_actions_adddup2(&actions, memoryFd, kMemoryFd);
    posix_spawn_file_actions_adddup2(&actions, messageOut.get(), kMessageFd);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<std::string> argStrings{helper};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = helperEnvironment();
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, helper.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) {
        failure = "補助プログラム " + helper + " を起動できません: " + std::strerror(spawned);
        return std::nullopt;
    }
    messageOut.reset();
    outputOut.reset();
    ::fcntl(messageIn.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(outputIn.get(), F_SETFL, O_NONBLOCK);

    HelperEnd end;
    const auto started = std::chrono::steady_clock::now();
    const GuardLimits& limits = request.limits;
    double allowedSeconds =
        limits.baseSeconds + kSlowBuildFactor * fileMegabytes * limits.secondsPerFileMegabyte;
    uint64_t watchBytes = 0;  // resident memory allowed (0: not watched)
    std::string pending;
    size_t messageBytes = 0;
    bool reaped = false;
    auto endIt = [&](const std::string& why) {
        if (end.killedFor.empty()) end.killedFor = why;
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    };
    // Reads what is there; false at the end of the pipe.
    auto drain = [&](int fd, bool keep) {
        char buf[4096];
        while (true) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                if (!keep) continue;
                messageBytes += static_cast<size_t>(n);
                pending.append(buf, static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            return n < 0;  // EAGAIN: open, nothing more now; 0: closed
        }
    };
    auto takeLines = [&] {
        size_t at;
        while ((at = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, at);
            pending.erase(0, at + 1);
            const auto w = words(line);
            if (w.size() == 2 && w[0] == "declared") {
                if (auto pixels = number<uint64_t>(w[1]))
                    allowedSeconds =
                        limits.baseSeconds +
                        kSlowBuildFactor *
                            (fileMegabytes * limits.secondsPerFileMegabyte +
                             static_cast<double>(*pixels) / 1e6 * limits.secondsPerMegapixel);
            } else if (w.size() == 2 && w[0] == "watch") {
                if (auto bytes = number<uint64_t>(w[1])) watchBytes = *bytes;
            }
            end.messages.push_back(std::move(line));
        }
    };
    bool messagesOpen = true, outputOpen = true;
    while (!reaped) {
        pollfd fds[2];
        nfds_t n = 0;
        if (messagesOpen) fds[n++] = {messageIn.get(), POLLIN, 0};
        if (outputOpen) fds[n++] = {outputIn.get(), POLLIN, 0};
        if (n > 0)
            ::poll(fds, n, kPollMs);
        else
            ::usleep(1000);  // both pipes closed: the helper is ending
        if (messagesOpen) messagesOpen = drain(messageIn.get(), true);
        if (outputOpen) outputOpen = drain(outputIn.get(), false);
        takeLines();
        if (messageBytes > kMaxMessageBytes) endIt("補助プログラムの出力が多すぎます");
        if (request.pump) request.pump();

        const pid_t r = ::waitpid(pid, &end.status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            reaped = true;
            break;
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (elapsed > allowedSeconds && end.killedFor.empty())
            endIt("読み込みが " + std::to_string(static_cast<long long>(elapsed)) +
                  " 秒で終わりませんでした");
        if (watchBytes > 0 && end.killedFor.empty() && residentBytes(pid) > watchBytes)
            endIt("読み込みがメモリーの上限 " + std::to_string(watchBytes >> 20) +
                  " MB を超えました");
    }
    // What the helper wrote before it ended.
    if (messagesOpen) drain(messageIn.get(), true);
    takeLines();
    return end;
}

// The pixels of a result line, checked against the shared memory; nothing (with the reason)
// when they do not match.
core::Result<form::Picture> takeResult(const std::vector<std::string_view>& w, int memoryFd) {
    const core::Error malformed{"補助プログラムの結果が正しくありません"};
    // Sealed, the memory can change no more, whoever else still holds it.
    if (::fcntl(memoryFd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE) != 0)
        return malformed;
    struct stat st {};
    if (::fstat(memoryFd, &st) != 0) return malformed;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    const auto width = w.size() > 2 ? number<int>(w[1]) : std::nullopt;
    const auto height = w.size() > 2 ? number<int>(w[2]) : std::nullopt;
    if (!width || !height || *width <= 0 || *height <= 0) return malformed;
    const uint64_t pixels = static_cast<uint64_t>(*width) * static_cast<uint64_t>(*height);

    if (w[0] == "picture" && w.size() == 4) {
        const auto layout = number<int>(w[3]);
        if (!layout || *layout < 0 || *layout > 2) return malformed;
        const auto l = static_cast<form::PixelLayout>(*layout);
        const uint64_t bytesPerPixel = l == form::PixelLayout::Rgb888     ? 3
                                       : l == form::PixelLayout::Bgrx8888 ? 4
                                                                          : 1;
        if (pixels * bytesPerPixel != size) return malformed;
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, memoryFd, 0);
        if (p == MAP_FAILED) return core::Error{"画像のためのメモリーが足りません"};
        form::Picture picture;
        picture.width = *width;
        picture.height = *height;
        picture.layout = l;
        picture.stride = static_cast<size_t>(*width * bytesPerPixel);
        picture.bits = static_cast<const uint8_t*>(p);
        picture.owner = std::shared_ptr<const void>(
            p, [size](const void* q) { ::munmap(const_cast<void*>(q), size); });
        return picture;
    }
    if (w[0] != "deep" || w.size() != 7) return malformed;
    const auto channels = number<int>(w[3]);
    const auto offset = number<double>(w[5]);
    const auto scale = number<double>(w[6]);
    if (!channels || (*channels != 1 && *channels != 3) || !offset || !scale) return malformed;
    auto d = std::make_shared<form::DeepSamples>();
    d->width = *width;
    d->height = *height;
    d->channels = *channels;
    d->offset = *offset;
    d->scale = *scale;
    const uint64_t count = pixels * static_cast<uint64_t>(*channels);
    auto fill = [&](auto sample) -> core::Result<void> {
        using T = decltype(sample);
        if (count * sizeof(T) != size) return malformed;
        if (size > core::availableMemoryBytes())
            return core::Error{"メモリーに入りません (" + std::to_string(*width) + " x " +
                               std::to_string(*height) + ")"};
        std::vector<T> v(static_cast<size_t>(count));
        if (core::readAt(memoryFd, v.data(), size, 0) != size) return malformed;
        d->samples = std::move(v);
        return {};
    };
    core::Result<void> filled = malformed;
    try {
        if (w[4] == "u16")
            filled = fill(uint16_t{});
        else if (w[4] == "f32")
            filled = fill(float{});
        else if (w[4] == "f64")
            filled = fill(double{});
    } catch (const std::bad_alloc&) {
        filled = core::Error{"画像のためのメモリーが足りません"};
    }
    if (!filled) return core::Error{filled.error()};
    form::Picture picture;
    picture.width = d->width;
    picture.height = d->height;
    picture.deep = std::move(d);
    return picture;
}

}  // namespace

namespace {

std::string& helperPathGiven() {
    static std::string path;
    return path;
}

}  // namespace

void useDecodeHelper(const std::string& path) {
    helperPathGiven() = path;
}

std::string decodeHelperPath() {
    if (!helperPathGiven().empty()) return helperPathGiven();
    return core::joinPath(core::ProgramFolders::forExecutable().programFolder, kDecodeHelperName);
}

namespace {

// Runs the helper on the file and judges its end: the words of its result line, with the shared
// memory it filled; or the refusal (the reader's own, or why the helper gave none).
core::Result<std::vector<std::string>> helperResult(const std::string& path,
                                                    const HelperRequest& request, Fd& memory) {
    const std::string helper = request.helper.empty() ? decodeHelperPath() : request.helper;
    if (::access(helper.c_str(), X_OK) != 0)
        return core::Error{
            refusedText(path, "読み込みに使う補助プログラムがありません: " + helper)};
    memory.reset(highFd(::memfd_create("orvandel-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING)));
    if (memory.get() < 0)
        return core::Error{
            refusedText(path, std::string("共有メモリーを作れません: ") + std::strerror(errno))};
    std::error_code ec;
    const double fileMegabytes =
        static_cast<double>(std::filesystem::file_size(path, ec)) / (1 << 20);
    const char* reader = request.reader == HelperReader::Fits         ? "fits"
                         : request.reader == HelperReader::FitsHeader ? "header"
                                                                      : "toolkit";
    const std::vector<std::string> args{reader, path, std::to_string(request.allocationLimitMb),
                                        std::to_string(::getpid())};
    std::string failure;
    const auto end =
        runHelper(helper, args, memory.get(), ec ? 0.0 : fileMegabytes, request, failure);
    if (!end) return core::Error{refusedText(path, failure)};
    if (!end->killedFor.empty()) return core::Error{refusedText(path, end->killedFor)};
    if (WIFSIGNALED(end->status))
        return core::Error{refusedText(
            path, "読み込み中に異常終了しました: " + signalName(WTERMSIG(end->status)))};
    if (!WIFEXITED(end->status) || WEXITSTATUS(end->status) != 0)
        return core::Error{refusedText(path, "読み込み中に異常終了しました: 終了コード " +
                                                 std::to_string(WEXITSTATUS(end->status)))};
    // The last message is the outcome.
    if (end->messages.empty())
        return core::Error{refusedText(path, "補助プログラムの結果がありません")};
    const std::string& last = end->messages.back();
    if (last.rfind("refused ", 0) == 0) return core::Error{last.substr(8)};
    std::vector<std::string> result;
    for (std::string_view w : words(last)) result.emplace_back(w);
    if (result.empty())
        return core::Error{refusedText(path, "補助プログラムの結果が正しくありません")};
    return result;
}

// The header of a "header KEYS NAXIS1 NAXIS2 ..." line from the shared memory.
core::Result<detail::PictureHeader> takeHeader(const std::vector<std::string>& w, int memoryFd) {
    const core::Error malformed{"補助プログラムの結果が正しくありません"};
    if (w[0] != "header" || w.size() < 4 || w.size() > 11) return malformed;
    if (::fcntl(memoryFd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE) != 0)
        return malformed;
    struct stat st {};
    const auto keys = number<int>(w[1]);
    if (::fstat(memoryFd, &st) != 0 || !keys || *keys < 0 || *keys > 1000000 ||
        static_cast<uint64_t>(st.st_size) != static_cast<uint64_t>(*keys) * 80)
        return malformed;
    detail::PictureHeader h;
    for (size_t i = 2; i < w.size(); ++i) {
        const auto n = number<long long>(w[i]);
        if (!n || *n <= 0) return malformed;
        h.naxes.push_back(*n);
    }
    h.keys = *keys;
    h.cards.resize(static_cast<size_t>(st.st_size));
    if (core::readAt(memoryFd, h.cards.data(), h.cards.size(), 0) != h.cards.size())
        return malformed;
    return h;
}

}  // namespace

core::Result<form::Picture> decodeInHelper(const std::string& path, const HelperRequest& request) {
    Fd memory;
    const auto result = helperResult(path, request, memory);
    if (!result) return core::Error{result.error()};
    std::vector<std::string_view> w(result->begin(), result->end());
    auto picture = takeResult(w, memory.get());
    if (!picture) return core::Error{refusedText(path, picture.error())};
    return picture;
}

core::Result<detail::PictureHeader> readFitsHeaderInHelper(const std::string& path,
                                                           const Pump& pump) {
    HelperRequest request;
    request.reader = HelperReader::FitsHeader;
    request.pump = pump;
    Fd memory;
    const auto result = helperResult(path, request, memory);
    if (!result) return core::Error{result.error()};
    auto header = takeHeader(result.value(), memory.get());
    if (!header) return core::Error{refusedText(path, header.error())};
    return header;
}

// ---- The helper's side ----

namespace {

// A message line to the program.
void tell(const std::string& line) {
    std::string text = line;
    std::replace(text.begin(), text.end(), '\n', ' ');
    text += '\n';
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(kMessageFd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) std::_Exit(3);
        done += static_cast<size_t>(n);
    }
}

// The helper's own size: its address space (or, sanitized, its resident memory), bytes.
uint64_t ownBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::strtoull(line.c_str() + std::strlen(field), nullptr, 10) << 10;
    return 0;
}

bool writeAll(const uint8_t* data, uint64_t bytes, uint64_t at) {
    for (uint64_t done = 0; done < bytes;) {
        const ssize_t n =
            ::pwrite(kMemoryFd, data + done, bytes - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<uint64_t>(n);
    }
    return true;
}

std::string exact(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// The decoded picture into the shared memory, and its line.
std::string sendPicture(const form::Picture& p) {
    if (p.deep) {
        const form::DeepSamples& d = *p.deep;
        return std::visit(
            [&](const auto& v) -> std::string {
                using T = typename std::decay_t<decltype(v)>::value_type;
                const uint64_t bytes = static_cast<uint64_t>(v.size()) * sizeof(T);
                if (v.size() != d.count() ||
                    ::ftruncate(kMemoryFd, static_cast<off_t>(bytes)) != 0 ||
                    !writeAll(reinterpret_cast<const uint8_t*>(v.data()), bytes, 0))
                    return "refused 画像を受け渡せません";
                const char* type = sizeof(T) == 2 ? "u16" : sizeof(T) == 4 ? "f32" : "f64";
                return "deep " + std::to_string(d.width) + " " + std::to_string(d.height) + " " +
                       std::to_string(d.channels) + " " + type + " " + exact(d.offset) + " " +
                       exact(d.scale);
            },
            d.samples);
    }
    const uint64_t bytesPerPixel = p.layout == form::PixelLayout::Rgb888     ? 3
                                   : p.layout == form::PixelLayout::Bgrx8888 ? 4
                                                                             : 1;
    const uint64_t row = static_cast<uint64_t>(p.width) * bytesPerPixel;
    if (p.empty() || ::ftruncate(kMemoryFd, static_cast<off_t>(row * p.height)) != 0)
        return "refused 画像を受け渡せません";
    for (int y = 0; y < p.height; ++y)
        if (!writeAll(p.row(y), row, row * static_cast<uint64_t>(y)))
            return "refused 画像を受け渡せません";
    return "picture " + std::to_string(p.width) + " " + std::to_string(p.height) + " " +
           std::to_string(static_cast<int>(p.layout));
}

}  // namespace

int runDecodeHelper(int argc, char** argv, const ToolkitDecoder& toolkit,
                    const ToolkitPixels& toolkitPixels) {
    // Ended with the program (in a process group of its own, a Ctrl-C does not reach it).
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc == 5 && ::getppid() != std::atoi(argv[4])) return 3;
    // No core files of a crash: a damaged picture is an expected end here.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::close_range(kMessageFd + 1, ~0U, 0);
    struct stat st {};
    if (argc != 5 || ::fstat(kMemoryFd, &st) != 0 || ::fstat(kMessageFd, &st) != 0) {
        std::fprintf(stderr,
                     "%s is started by orvandel and orvandel-cli to read pictures; it is not run "
                     "by hand.\n",
                     kDecodeHelperName);
        return 2;
    }
    const std::string reader = argv[1], path = argv[2];
    const int limitMb = std::atoi(argv[3]);
    if (reader != "fits" && reader != "header" && reader != "toolkit") return 2;
    // CFITSIO and its libraries are mapped before the limits below (a failure is told when the
    // file is opened).
    if (reader != "toolkit") (void)loadCfitsio();
    std::error_code ec;
    const uint64_t fileBytes = std::filesystem::file_size(path, ec);
    const uint64_t slack = GuardLimits{}.slackBytes + (ec ? 0 : fileBytes);
    // While the header is read: the helper's own size and the slack.
    const uint64_t own = kSanitized ? 0 : ownBytes("VmSize:");
    if (!kSanitized) {
        const rlimit space{own + slack, RLIM_INFINITY};
        ::setrlimit(RLIMIT_AS, &space);
    }

    // 1. What the header announces: pixels, and the bytes the reader may hold for each.
    uint64_t pixels = 0, bytesPerPixel = 16;
    if (reader == "header") {
        auto header = detail::readPictureHeader(path);
        if (!header) {
            tell("refused " + header.error());
            return 0;
        }
        std::string line = "header " + std::to_string(header->keys);
        for (size_t i = 0; i < std::min<size_t>(header->naxes.size(), 9); ++i)
            line += " " + std::to_string(header->naxes[i]);
        const auto* cards = reinterpret_cast<const uint8_t*>(header->cards.data());
        if (::ftruncate(kMemoryFd, static_cast<off_t>(header->cards.size())) != 0 ||
            !writeAll(cards, header->cards.size(), 0))
            line = "refused FITS ファイルの見出しを受け渡せません: " + path;
        tell(line);
        return 0;
    }
    if (reader == "fits") {
        detail::FitsHandle file;
        auto hdu = detail::openPictureHdu(path, file);
        if (!hdu) {
            tell("refused FITS ファイルを読み込めません: " + path + " (" + hdu.error() + ")");
            return 0;
        }
        const auto& n = hdu->naxes;
        const bool rgb = n.size() >= 3 && n[2] == 3;
        pixels = static_cast<uint64_t>(std::min<long long>(n[0], INT32_MAX)) *
                 static_cast<uint64_t>(std::min<long long>(n[1], INT32_MAX)) * (rgb ? 3 : 1);
        bytesPerPixel = 8;
    } else {
        pixels = toolkitPixels(path);
    }
    // 2. The limit: the helper's own size, three times the picture, the file, and slack.
    const long double wanted = static_cast<long double>(pixels) * bytesPerPixel * 3 + slack;
    const uint64_t budget = wanted > static_cast<long double>(uint64_t{1} << 62)
                                ? uint64_t{1} << 62
                                : static_cast<uint64_t>(wanted);
    tell("declared " + std::to_string(pixels));
    bool sanitized = kSanitized;
    if (!sanitized) {
        const rlimit space{own + budget, own + budget};
        sanitized = ::setrlimit(RLIMIT_AS, &space) != 0;
    }
    if (sanitized) tell("watch " + std::to_string(ownBytes("VmRSS:") + budget));

    // 3. The picture, and how it went.
    try {
        if (reader == "fits") {
            auto samples = readFits(path);
            if (!samples) {
                tell("refused " + samples.error());
                return 0;
            }
            form::Picture p;
            p.width = samples->width;
            p.height = samples->height;
            p.deep = std::make_shared<const form::DeepSamples>(std::move(samples.value()));
            tell(sendPicture(p));
            return 0;
        }
        auto picture = toolkit(path, limitMb);
        if (!picture) {
            tell("refused " + picture.error());
            return 0;
        }
        tell(sendPicture(picture.value()));
    } catch (const std::bad_alloc&) {
        tell("refused 画像を読み込めません: " + path + " (メモリーが足りません)");
    }
    return 0;
}

}  // namespace orv::formats
