// orvandel-cli: the engine without a window, for scripts and servers. It writes the same
// result files, processing logs and batch logs as the window.

#include <malloc.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/batch.h"
#include "control/headless_run.h"
#include "core/paths.h"
#include "core/settings.h"
#include "ui/qt/picture_decoder.h"

namespace {

using orv::control::HeadlessOptions;
using orv::control::PictureOutcome;

constexpr int kUsageError = 2;

const char* const kUsage =
    "Orvandel ver 2015/09/27 - finds, measures and classifies the star images of pictures\n"
    "\n"
    "usage:\n"
    "  orvandel-cli detect [OPTIONS] IMAGE...   detect the stars of BMP or JPEG pictures\n"
    "  orvandel-cli batch [OPTIONS] LIST.txt    process the pictures of a batch list\n"
    "  orvandel-cli --version | --help\n"
    "\n"
    "Each picture's results go to the folder IMAGE.dir beside it (IMAGE.dat.ini, IMAGE.dat and\n"
    "the processing log IMAGE.log), exactly as the window saves them. Run a subcommand with\n"
    "--help for its options.\n";

const char* const kDetectUsage =
    "usage: orvandel-cli detect [--channel R|G|B|Y] [--settings FILE] [--hyotan] [--jobs N] "
    "IMAGE...\n"
    "\n"
    "For each picture: load it, compute the background, extract the clusters, analyse and\n"
    "classify them, and save the result pair and the processing log beside the picture. One\n"
    "line per picture with the counts by class goes to standard output.\n"
    "\n"
    "  --channel R|G|B|Y  the channel to process (default B, as the window starts)\n"
    "  --settings FILE    detection settings from FILE instead of the program's Orvandel.ini\n"
    "  --hyotan           split touching stars (gourd shapes)\n"
    "  --jobs N           pictures processed in parallel (default: the number of cores)\n"
    "\n"
    "Exit status: 0 all pictures done, 1 some picture failed (named on standard error),\n"
    "2 usage error.\n";

const char* const kBatchUsage =
    "usage: orvandel-cli batch [--channel R|G|B|Y] [--settings FILE] [--hyotan] [--jobs N] "
    "LIST.txt\n"
    "\n"
    "Processes every record of a batch list (lines \"folder\",\"file name\") like the window's\n"
    "batch run: result pair and processing log per picture, and the batch log LIST.txt.log\n"
    "beside the list. A picture that cannot be loaded is logged and skipped.\n"
    "\n"
    "  --channel R|G|B|Y  the channel to process (default B)\n"
    "  --settings FILE    detection settings from FILE instead of the program's Orvandel.ini\n"
    "  --hyotan           split touching stars (gourd shapes)\n"
    "  --jobs N           pictures processed in parallel (default: the number of cores)\n"
    "\n"
    "Exit status: 0 all pictures done, 1 some picture failed, 2 usage error.\n";

struct Options {
    std::string command;
    std::optional<std::string> settingsFile;
    int channel = orv::core::kChannelB;
    bool hyotan = false;
    int jobs = 0;
    std::vector<std::string> operands;
};

int usageError(const std::string& message, const char* usage) {
    std::fprintf(stderr, "orvandel-cli: %s\n\n%s", message.c_str(), usage);
    return kUsageError;
}

// Parses the options of a subcommand; nothing when the arguments were answered (help) or
// wrong, with the exit code in `exitCode`.
std::optional<Options> parseOptions(const std::vector<std::string>& args, int& exitCode) {
    Options o;
    o.command = args[0];
    const char* usage = o.command == "detect" ? kDetectUsage : kBatchUsage;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            exitCode = 0;
            return std::nullopt;
        } else if (a == "--hyotan") {
            o.hyotan = true;
        } else if (a == "--channel") {
            auto v = value();
            const std::string channels = "RGBY";
            if (!v || v->size() != 1 ||
                channels.find(static_cast<char>(std::toupper((*v)[0]))) == std::string::npos) {
                exitCode = usageError("--channel takes R, G, B or Y", usage);
                return std::nullopt;
            }
            o.channel = static_cast<int>(channels.find(static_cast<char>(std::toupper((*v)[0]))));
        } else if (a == "--settings") {
            auto v = value();
            if (!v) {
                exitCode = usageError("--settings needs a file", usage);
                return std::nullopt;
            }
            o.settingsFile = *v;
        } else if (a == "--jobs" || a == "-j") {
            auto v = value();
            char* end = nullptr;
            long n = v ? std::strtol(v->c_str(), &end, 10) : 0;
            if (!v || *end != '\0' || n < 1 || n > 256) {
                exitCode = usageError("--jobs takes a number from 1 to 256", usage);
                return std::nullopt;
            }
            o.jobs = static_cast<int>(n);
        } else if (a.size() > 1 && a[0] == '-') {
            exitCode = usageError("unknown option " + a, usage);
            return std::nullopt;
        } else {
            o.operands.push_back(a);
        }
    }
    if (o.operands.empty()) {
        exitCode =
            usageError(o.command == "detect" ? "no picture given" : "no batch list given", usage);
        return std::nullopt;
    }
    if (o.command == "batch" && o.operands.size() != 1) {
        exitCode = usageError("batch takes one list file", usage);
        return std::nullopt;
    }
    if (o.jobs == 0) o.jobs = std::max(1u, std::thread::hardware_concurrency());
    return o;
}

// The settings: from --settings, else the program's settings file, else the defaults.
std::optional<orv::core::Settings> loadSettings(const Options& o,
                                                const orv::core::ProgramFolders& folders) {
    if (o.settingsFile) {
        if (!orv::core::fileExists(*o.settingsFile)) {
            std::fprintf(stderr, "orvandel-cli: settings file not found: %s\n",
                         o.settingsFile->c_str());
            return std::nullopt;
        }
        return orv::core::readSettingsFile(*o.settingsFile);
    }
    const std::string path = folders.settingsFileToRead();
    if (orv::core::fileExists(path)) return orv::core::readSettingsFile(path);
    std::fprintf(stderr, "orvandel-cli: no %s yet; using the standard detection settings\n",
                 path.c_str());
    return orv::core::defaultSettings();
}

// A progress bar on standard error, only when it is a terminal.
class Progress {
public:
    explicit Progress(size_t total) : total_(total), shown_(isatty(STDERR_FILENO) == 1) { draw(0); }
    void clear() {
        if (shown_) std::fprintf(stderr, "\r%*s\r", 60, "");
    }
    void draw(size_t done) {
        if (!shown_) return;
        const int width = 30;
        const int filled = total_ == 0 ? width : static_cast<int>(done * width / total_);
        std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu pictures", filled,
                     "##############################", width - filled, "", done, total_);
        std::fflush(stderr);
    }

private:
    size_t total_;
    bool shown_;
};

std::string countsLine(const PictureOutcome& o) {
    const auto& c = o.counts[0];
    char buf[256];
    std::snprintf(buf, sizeof buf, "%d results: noise %d, area %d, star %d, elongated %d",
                  o.results, c[1], c[2], c[3], c[4]);
    return buf;
}

// Prints outcome lines in the order of the pictures, as soon as every earlier one is done,
// with the progress bar below them.
class OrderedReport {
public:
    explicit OrderedReport(size_t n) : outcomes_(n), progress_(n) {}
    void add(size_t i, const PictureOutcome& o) {
        outcomes_[i] = o;
        ++done_;
        progress_.clear();
        for (; next_ < outcomes_.size() && outcomes_[next_]; ++next_) print(*outcomes_[next_]);
        if (done_ < outcomes_.size()) progress_.draw(done_);
    }
    orv::control::OutcomeCallback callback() {
        return [this](size_t i, const PictureOutcome& o) { add(i, o); };
    }
    bool anyFailed() const { return failed_; }

private:
    void print(const PictureOutcome& o) {
        if (o.ok) {
            std::printf("%s: %s\n", o.path.c_str(), countsLine(o).c_str());
            std::fflush(stdout);
        } else {
            failed_ = true;
            std::fprintf(stderr, "%s: failed: %s\n", o.path.c_str(), o.error.c_str());
        }
    }
    std::vector<std::optional<PictureOutcome>> outcomes_;
    Progress progress_;
    size_t next_ = 0, done_ = 0;
    bool failed_ = false;
};

int run(const Options& o) {
    HeadlessOptions options;
    options.folders = orv::core::ProgramFolders::forExecutable();
    auto settings = loadSettings(o, options.folders);
    if (!settings) return kUsageError;
    options.settings = *settings;
    options.channel = o.channel;
    options.hyotan = o.hyotan;
    options.decoder = orv::qt::decodePictureFile;

    if (o.command == "detect") {
        std::vector<std::pair<std::string, std::string>> pictures;
        for (const auto& operand : o.operands) {
            std::error_code ec;
            std::string absolute =
                std::filesystem::absolute(operand, ec).lexically_normal().string();
            pictures.emplace_back(orv::core::GetFolderName(absolute),
                                  orv::core::fileNameOf(absolute));
        }
        OrderedReport report(pictures.size());
        orv::control::detectPictures(options, pictures, o.jobs, report.callback());
        return report.anyFailed() ? 1 : 0;
    }

    const std::string& list = o.operands[0];
    if (!orv::core::fileExists(list)) {
        std::fprintf(stderr, "orvandel-cli: batch list not found: %s\n", list.c_str());
        return 1;
    }
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(list, ec).lexically_normal().string();
    auto records = orv::control::readBatchList(absolute);
    if (!records) {
        std::fprintf(stderr, "orvandel-cli: %s\n", records.error().c_str());
        return 1;
    }
    OrderedReport report(records->size());
    auto outcomes = orv::control::runBatchList(options, absolute, o.jobs, report.callback());
    if (!outcomes) {
        std::fprintf(stderr, "orvandel-cli: %s\n", outcomes.error().c_str());
        return 1;
    }
    return report.anyFailed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures come and go at the same sizes: keep freed memory for the next one instead of
    // handing it back to the system (fresh pages cost a fault each).
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    QCoreApplication app(argc, argv);  // for Qt's image format plug-ins (JPEG)
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    if (args[0] == "--version") {
        std::printf("orvandel-cli ver %s\n", orv::core::kProgramVersion);
        return 0;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args[0] != "detect" && args[0] != "batch")
        return usageError("unknown command " + args[0], kUsage);
    int exitCode = 0;
    auto options = parseOptions(args, exitCode);
    if (!options) return exitCode;
    return run(*options);
}
