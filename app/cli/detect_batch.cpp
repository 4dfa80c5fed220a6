// `detect` and `batch`: the window's one-click run over pictures and its batch run over a
// list, with the same result files, processing logs and batch log.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/shards.h"
#include "cli.h"
#include "control/batch.h"
#include "control/headless_run.h"
#include "core/numeric.h"
#include "core/settings.h"
#include "formats/decoder/picture_decoder.h"

namespace orv::cli {
namespace {

using control::HeadlessOptions;
using control::PictureOutcome;

const char* const kDetectUsage =
    "usage: orvandel-cli detect [--channel R|G|B|Y] [--settings FILE] [--hyotan] [--jobs N]\n"
    "                           [--stretch S] [--threshold-sigma K] [--filter SIGMA] IMAGE...\n"
    "\n"
    "For each picture: load it, compute the background, extract the clusters, analyse and\n"
    "classify them, and save the result pair and the processing log beside the picture. One\n"
    "line per picture with the counts by class goes to standard output. Pictures are BMP,\n"
    "JPEG, FITS (.fits, .fit, .fts) or 16-bit PNG or TIFF; the deeper ones are stretched to\n"
    "8-bit levels.\n"
    "\n"
    "  --channel R|G|B|Y  the channel to process (default B, as the window starts)\n"
    "  --settings FILE    detection settings from FILE instead of the program's Orvandel.ini\n"
    "  --hyotan           split touching stars (gourd shapes)\n"
    "  --jobs N           pictures processed in parallel (default: the number of cores)\n"
    "  --stretch S        how FITS and 16-bit pictures become 8-bit levels, linearly between\n"
    "                     a black and a white point: minmax, percentile:LO,HI or range:A,B\n"
    "                     (default: the settings file's, else percentile:0.1,99.9)\n"
    "  --threshold-sigma K\n"
    "                     Siki = K x each picture's noise sigma (measured after the\n"
    "                     background, rounded, at least 1) instead of the settings' Siki;\n"
    "                     the result pair records the Siki used. The window suggests K = 2.75\n"
    "                     (with the detection filter, 3.25 and two decimals)\n"
    "  --filter SIGMA     the detection filter: decide which pixels are bright on the\n"
    "                     difference from the background smoothed by a Gaussian of SIGMA pixels\n"
    "                     (0.5 to 5; 0 = off), instead of the settings file's FilterSigma.\n"
    "                     Finds fainter stars; with it, use --threshold-sigma 3.25\n"
    "\n"
    "Exit status: 0 all pictures done, 1 some picture failed or was not extracted whole (named\n"
    "on standard error; its results are still saved), 2 usage error or unusable settings.\n";

const char* const kBatchUsage =
    "usage: orvandel-cli batch [--channel R|G|B|Y] [--settings FILE] [--hyotan] [--jobs N]\n"
    "                          [--stretch S] [--threshold-sigma K] [--filter SIGMA]\n"
    "                          [--shard K/N] LIST.txt\n"
    "\n"
    "Processes every record of a batch list (lines \"folder\",\"file name\") like the window's\n"
    "batch run: result pair and processing log per picture, and the batch log LIST.txt.log\n"
    "beside the list. A picture that cannot be loaded is logged and skipped. Relative and empty\n"
    "folders are taken in the list's folder.\n"
    "\n"
    "  --channel R|G|B|Y  the channel to process (default B)\n"
    "  --settings FILE    detection settings from FILE instead of the program's Orvandel.ini\n"
    "  --hyotan           split touching stars (gourd shapes)\n"
    "  --jobs N           pictures processed in parallel (default: the number of cores)\n"
    "  --stretch S        how FITS and 16-bit pictures become 8-bit levels: minmax,\n"
    "                     percentile:LO,HI or range:A,B (default: the settings file's)\n"
    "  --threshold-sigma K\n"
    "                     Siki = K x each picture's noise sigma (measured after the\n"
    "                     background, rounded, at least 1) instead of the settings' Siki;\n"
    "                     the result pair records the Siki used. The window suggests K = 2.75\n"
    "                     (with the detection filter, 3.25 and two decimals)\n"
    "  --filter SIGMA     the detection filter: decide which pixels are bright on the\n"
    "                     difference from the background smoothed by a Gaussian of SIGMA pixels\n"
    "                     (0.5 to 5; 0 = off), instead of the settings file's FilterSigma.\n"
    "                     Finds fainter stars; with it, use --threshold-sigma 3.25\n"
    "  --shard K/N        only the records K, K+N, K+2N, ... (counted from 0; 0 <= K < N), with\n"
    "                     the batch log LIST.txt.shardK-of-N.log: N machines sharing the folder\n"
    "                     process one list, each with its own K\n"
    "\n"
    "Exit status: 0 all pictures done, 1 some picture failed or was not extracted whole, or\n"
    "the batch log could not be written, 2 usage error or unusable settings.\n";

// The counts by class; with --threshold-sigma also the Siki it gave and the noise.
std::string countsLine(const PictureOutcome& o, bool showSiki) {
    const auto& c = o.counts[0];
    char buf[320];
    int n = std::snprintf(buf, sizeof buf, "%d results: noise %d, area %d, star %d, elongated %d",
                          o.results, c[1], c[2], c[3], c[4]);
    if (showSiki)
        std::snprintf(buf + n, sizeof buf - n, " (Siki %s, noise sigma %s)",
                      core::generalForm(o.siki).c_str(),
                      core::Format(o.noiseSigma, "0.00").c_str());
    return buf;
}

// Prints outcome lines in the order of the pictures, as soon as every earlier one is done,
// with the progress bar below them.
class OrderedReport {
public:
    OrderedReport(size_t n, bool showSiki)
        : outcomes_(n), progress_(n, "pictures"), showSiki_(showSiki) {}
    void add(size_t i, const PictureOutcome& o) {
        outcomes_[i] = o;
        ++done_;
        progress_.clear();
        for (; next_ < outcomes_.size() && outcomes_[next_]; ++next_) print(*outcomes_[next_]);
        if (done_ < outcomes_.size()) progress_.draw(done_);
    }
    control::OutcomeCallback callback() {
        return [this](size_t i, const PictureOutcome& o) { add(i, o); };
    }
    bool anyFailed() const { return failed_; }

private:
    void print(const PictureOutcome& o) {
        if (o.ok) {
            std::printf("%s: %s\n", o.path.c_str(), countsLine(o, showSiki_).c_str());
            std::fflush(stdout);
            // Saved, but not all of the picture was extracted: not a success.
            if (!o.incomplete.empty()) {
                failed_ = true;
                std::fprintf(stderr, "%s: incomplete: %s\n", o.path.c_str(), o.incomplete.c_str());
            }
        } else {
            failed_ = true;
            std::fprintf(stderr, "%s: failed: %s\n", o.path.c_str(), o.error.c_str());
        }
    }
    std::vector<std::optional<PictureOutcome>> outcomes_;
    Progress progress_;
    size_t next_ = 0, done_ = 0;
    bool showSiki_;
    bool failed_ = false;
};

// --filter SIGMA: 0 (off) or 0.5..5 pixels; nothing when not given. A bad value is a usage
// error (`bad` set).
std::optional<float> filterOption(const ParsedArgs& a, bool& bad) {
    auto text = a.last("--filter");
    if (!text) return std::nullopt;
    const std::optional<double> v = core::parseNumber(*text);
    const float sigma = v ? core::filterSigmaValue(*text) : 0.0f;
    bad = !v || (*v != 0 && sigma == 0);
    return sigma;
}

const char* const kFilterUsage = "--filter takes 0 (off) or a sigma from 0.5 to 5 pixels";

// The engine's options for the settings and choices of a call; nothing (with the reason on
// standard error) when the settings cannot be used.
std::optional<HeadlessOptions> headlessOptions(const EngineOptions& engine,
                                               std::optional<float> filterSigma) {
    HeadlessOptions options;
    options.folders = core::ProgramFolders::forExecutable();
    auto settings = loadSettings(engine.settingsFile, options.folders);
    if (!settings) return std::nullopt;
    options.settings = *settings;
    if (engine.stretch) options.settings.Stretch = *engine.stretch;
    if (filterSigma) options.settings.FilterSigma = *filterSigma;
    options.channel = engine.channel;
    options.hyotan = engine.hyotan;
    options.sikiSigmaFactor = engine.thresholdSigma;
    options.decoder = [](const std::string& path) {
        return formats::decodePictureFileGuarded(path);
    };
    return options;
}

}  // namespace

int runDetect(const std::vector<std::string>& args) {
    int exitCode = kDone;
    std::vector<OptionSpec> specs = kEngineOptions;
    specs.push_back({"--filter", "", true});
    auto parsed = parseArgs(args, specs, kDetectUsage, exitCode);
    if (!parsed) return exitCode;
    auto engine = engineOptions(*parsed, kDetectUsage, exitCode);
    if (!engine) return exitCode;
    bool badFilter = false;
    const auto filter = filterOption(*parsed, badFilter);
    if (badFilter) return usageError(kFilterUsage, kDetectUsage);
    if (parsed->operands.empty()) return usageError("no picture given", kDetectUsage);
    auto options = headlessOptions(*engine, filter);
    if (!options) return kUsageError;
    std::vector<std::pair<std::string, std::string>> pictures;
    for (const auto& operand : parsed->operands) {
        const std::string absolute = absolutePath(operand);
        pictures.emplace_back(core::GetFolderName(absolute), core::fileNameOf(absolute));
    }
    OrderedReport report(pictures.size(), engine->thresholdSigma > 0);
    control::detectPictures(*options, pictures, engine->jobs, report.callback());
    return report.anyFailed() ? kFailed : kDone;
}

int runBatch(const std::vector<std::string>& args) {
    int exitCode = kDone;
    std::vector<OptionSpec> specs = kEngineOptions;
    specs.push_back({"--shard", "", true});
    specs.push_back({"--filter", "", true});
    auto parsed = parseArgs(args, specs, kBatchUsage, exitCode);
    if (!parsed) return exitCode;
    auto engine = engineOptions(*parsed, kBatchUsage, exitCode);
    if (!engine) return exitCode;
    bool badFilter = false;
    const auto filter = filterOption(*parsed, badFilter);
    if (badFilter) return usageError(kFilterUsage, kBatchUsage);
    if (parsed->operands.empty()) return usageError("no batch list given", kBatchUsage);
    if (parsed->operands.size() != 1) return usageError("batch takes one list file", kBatchUsage);
    std::optional<catalogue::Shard> shard;
    if (auto v = parsed->last("--shard")) {
        shard = catalogue::parseShard(*v);
        if (!shard)
            return usageError("--shard takes K/N with whole numbers 0 <= K < N <= " +
                                  std::to_string(catalogue::kMaxShards),
                              kBatchUsage);
    }
    auto options = headlessOptions(*engine, filter);
    if (!options) return kUsageError;
    const std::string& list = parsed->operands[0];
    if (const std::string why = notAFileMessage("batch list", list); !why.empty()) {
        std::fprintf(stderr, "orvandel-cli: %s\n", why.c_str());
        return kFailed;
    }
    const std::string absolute = absolutePath(list);
    auto records = control::readBatchList(absolute);
    if (!records) {
        std::fprintf(stderr, "orvandel-cli: %s\n", records.error().c_str());
        return kFailed;
    }
    const size_t count =
        shard ? catalogue::shardPositions(records->size(), *shard).size() : records->size();
    OrderedReport report(count, engine->thresholdSigma > 0);
    auto run = control::runBatchList(*options, absolute, engine->jobs, report.callback(), shard);
    if (!run) {
        std::fprintf(stderr, "orvandel-cli: %s\n", run.error().c_str());
        return kFailed;
    }
    if (!run->logError.empty()) {
        std::fprintf(stderr, "orvandel-cli: the batch log could not be written: %s\n",
                     run->logError.c_str());
        return kFailed;
    }
    return report.anyFailed() ? kFailed : kDone;
}

}  // namespace orv::cli
