// `detect` and `batch`: the window's one-click run over pictures and its batch run over a
// list, with the same result files, processing logs and batch log.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/output.h"
#include "catalogue/picture_catalogue.h"
#include "catalogue/shards.h"
#include "catalogue/table.h"
#include "catalogue_output.h"
#include "cli.h"
#include "control/batch.h"
#include "control/headless_run.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/settings.h"
#include "detect_tiles.h"
#include "formats/guarded_picture.h"

namespace orv::cli {
namespace {

using catalogue::jsonText;
using control::HeadlessOptions;
using control::PictureOutcome;

const char* const kDetectUsage =
    "usage: orvandel-cli detect [--channel R|G|B|Y] [--settings FILE] [--hyotan] [--jobs N]\n"
    "                           [--stretch S] [--threshold-sigma K] [--filter SIGMA]\n"
    "                           [-o FILE|FOLDER] [--format csv|ecsv|fits] [--json]\n"
    "                           [--out-dir DIR] [--no-measure] IMAGE...\n"
    "       orvandel-cli detect --tiles S|auto [--margin M] [-o FILE] [--json] [OPTIONS] IMAGE\n"
    "\n"
    "For each picture: load it, compute the background, extract the clusters, analyse and\n"
    "classify them, measure them on the picture's own samples, and save the result pair, the\n"
    "measurements (IMAGE.dat.meas) and the processing log in IMAGE.dir beside the picture. One\n"
    "line per picture with the counts by class goes to standard output. Pictures are BMP,\n"
    "JPEG, FITS (.fits, .fit, .fts) or 16-bit PNG or TIFF; the deeper ones are stretched to\n"
    "8-bit levels for the detection and measured on their own samples.\n"
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
    "  -o FILE            with one picture: also write its catalogue to FILE (.csv, .ecsv,\n"
    "                     .fits or .reg, as `export` writes it)\n"
    "  -o FOLDER          an existing folder: each picture's catalogue as FOLDER/IMAGE.ecsv\n"
    "  --format F         the catalogues' format in -o FOLDER: csv, ecsv (default) or fits\n"
    "  --json             one JSON object per picture instead of the line of counts: path,\n"
    "                     ok, counts by class, noise_sigma, threshold, incomplete_row, the\n"
    "                     files written (outputs), error\n"
    "  --out-dir DIR      the IMAGE.dir folders go to DIR instead of beside the pictures (a\n"
    "                     read-only data folder can so be processed); two pictures of one\n"
    "                     name are then refused\n"
    "  --no-measure       no measurements: the result pair alone, as fast as the detection\n"
    "                     (an IMAGE.dat.meas of an earlier run is removed)\n"
    "  --tiles S|auto     a picture of any size in one pass: cut in memory into tiles of S x S\n"
    "                     pixels plus the margin on each side, covering the whole picture\n"
    "                     (tiles at the right and bottom edges shifted inward), detected on\n"
    "                     --jobs threads and joined as `merge` joins them, each star once.\n"
    "                     auto: S 2000. A tile whose cluster table fills is cut in four and\n"
    "                     done again (down to S 64). One catalogue goes to -o FILE (.csv,\n"
    "                     .ecsv, .fits, .reg; FOLDER/IMAGE.ecsv for a folder), else to\n"
    "                     IMAGE.dir/IMAGE.ecsv; no result pair is saved\n"
    "  --margin M         with --tiles: the tiles' margin in pixels (default 50)\n"
    "\n"
    "Exit status: 0 all pictures done, 1 some picture failed or was not extracted or measured\n"
    "whole (named on standard error; its results are still saved), 2 usage error or unusable\n"
    "settings.\n";

const char* const kBatchUsage =
    "usage: orvandel-cli batch [--channel R|G|B|Y] [--settings FILE] [--hyotan] [--jobs N]\n"
    "                          [--stretch S] [--threshold-sigma K] [--filter SIGMA]\n"
    "                          [--shard K/N] [--json] [--out-dir DIR] [--no-measure] LIST.txt\n"
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
    "  --json             one JSON object per picture instead of the line of counts\n"
    "  --out-dir DIR      the IMAGE.dir folders and the batch log go to DIR instead of beside\n"
    "                     the pictures and the list; records of one name are then refused\n"
    "  --no-measure       no measurements: the result pairs alone\n"
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

// What a run does with each picture's outcome beyond its saved files.
struct ReportOptions {
    bool showSiki = false;
    bool json = false;
    std::string resultRoot;
    // The catalogue to write for a picture done ("" for none).
    std::function<std::string(const PictureOutcome&)> catalogueFile;
};

// One picture as a JSON object (one line).
std::string jsonLine(const PictureOutcome& o, const std::vector<std::string>& outputs) {
    std::string j = "{\"path\":" + jsonText(o.path) + ",\"ok\":" + (o.ok ? "true" : "false");
    if (o.ok) {
        const auto& c = o.counts[0];
        j += ",\"results\":" + std::to_string(o.results) +
             ",\"counts\":{\"noise\":" + std::to_string(c[1]) +
             ",\"area\":" + std::to_string(c[2]) + ",\"star\":" + std::to_string(c[3]) +
             ",\"elongated\":" + std::to_string(c[4]) + "}";
        j += ",\"noise_sigma\":" +
             (o.noiseSigma >= 0 ? core::generalForm(o.noiseSigma, 7) : std::string("null"));
        j += ",\"threshold\":" + core::generalForm(o.siki);
        j += ",\"incomplete_row\":" +
             (o.incompleteRow > 0 ? std::to_string(o.incompleteRow) : std::string("null"));
        if (!o.incomplete.empty()) j += ",\"incomplete\":" + jsonText(o.incomplete);
        if (!o.measureProblem.empty()) j += ",\"measure_problem\":" + jsonText(o.measureProblem);
        j += ",\"outputs\":[";
        for (size_t k = 0; k < outputs.size(); ++k) j += (k ? "," : "") + jsonText(outputs[k]);
        j += "]";
    } else {
        j += ",\"error\":" + jsonText(o.error);
    }
    return j + "}";
}

// The files a picture's save wrote.
std::vector<std::string> savedFiles(const PictureOutcome& o) {
    const std::string name = core::fileNameOf(o.path);
    std::vector<std::string> files;
    for (const char* ext : {".dat.ini", ".dat", ".dat.meas", ".dat.sum", ".log"})
        if (core::fileExists(core::joinPath(o.resultFolder, name + ext)))
            files.push_back(core::joinPath(o.resultFolder, name + ext));
    return files;
}

// Prints outcome lines in the order of the pictures, as soon as every earlier one is done,
// with the progress bar below them, and writes the catalogues asked for.
class OrderedReport {
public:
    OrderedReport(size_t n, ReportOptions options)
        : outcomes_(n), progress_(n, "pictures"), options_(std::move(options)) {}
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
    void complain(const PictureOutcome& o, const char* what, const std::string& why) {
        failed_ = true;
        std::fprintf(stderr, "%s: %s: %s\n", o.path.c_str(), what, why.c_str());
    }
    // Writes the picture's catalogue; its name when written.
    std::optional<std::string> writeCatalogue(const PictureOutcome& o) {
        const std::string file = options_.catalogueFile ? options_.catalogueFile(o) : "";
        if (file.empty()) return std::nullopt;
        auto read = catalogue::readPictureCatalogue(o.path, options_.resultRoot);
        if (!read) {
            complain(o, "no catalogue", read.error());
            return std::nullopt;
        }
        for (const std::string& why : read->incomplete) complain(o, "catalogue incomplete", why);
        auto written =
            catalogue::writeCatalogueFile(read->catalogue, file, catalogue::OutputFormat::Ecsv);
        if (written) return file;
        complain(o, "no catalogue", written.error());
        return std::nullopt;
    }
    void print(const PictureOutcome& o) {
        if (!o.ok) {
            if (options_.json) std::printf("%s\n", jsonLine(o, {}).c_str());
            std::fflush(stdout);
            complain(o, "failed", o.error);
            return;
        }
        std::vector<std::string> outputs = savedFiles(o);
        if (auto file = writeCatalogue(o)) outputs.push_back(*file);
        if (options_.json)
            std::printf("%s\n", jsonLine(o, outputs).c_str());
        else
            std::printf("%s: %s\n", o.path.c_str(), countsLine(o, options_.showSiki).c_str());
        std::fflush(stdout);
        // Saved, but not all of the picture was extracted or measured: not a success.
        if (!o.incomplete.empty()) complain(o, "incomplete", o.incomplete);
        if (!o.measureProblem.empty()) complain(o, "incomplete: measurements", o.measureProblem);
    }
    std::vector<std::optional<PictureOutcome>> outcomes_;
    Progress progress_;
    size_t next_ = 0, done_ = 0;
    ReportOptions options_;
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
                                               std::optional<float> filterSigma,
                                               const std::string& resultRoot, bool measure) {
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
    options.decoder = formats::guardedDecoder();
    options.resultRoot = resultRoot;
    options.measure = measure;
    return options;
}

// Where detect -o puts each picture's catalogue: the file named for a single picture, or
// FOLDER/NAME.ext. Nothing (with the exit code) for a usage error.
std::optional<std::function<std::string(const PictureOutcome&)>> catalogueTarget(
    const ParsedArgs& a, size_t pictures, int& exitCode) {
    const auto output = a.last("--output");
    const auto formatName = a.last("--format");
    std::optional<catalogue::OutputFormat> format = catalogue::OutputFormat::Ecsv;
    if (formatName) {
        format = catalogue::formatOfName(*formatName);
        if (!format || *format == catalogue::OutputFormat::Ds9) {
            exitCode = usageError("--format takes csv, ecsv or fits", kDetectUsage);
            return std::nullopt;
        }
    }
    if (!output) {
        if (formatName) {
            exitCode = usageError("--format goes with -o FOLDER", kDetectUsage);
            return std::nullopt;
        }
        return std::function<std::string(const PictureOutcome&)>{};
    }
    std::error_code ec;
    if (std::filesystem::is_directory(*output, ec)) {
        const std::string folder = absolutePath(*output);
        return
            [folder, ext = std::string(catalogue::extensionOf(*format))](const PictureOutcome& o) {
                return core::joinPath(folder, core::fileNameOf(o.path) + ext);
            };
    }
    if (pictures > 1) {
        exitCode = usageError("with several pictures -o names an existing folder: " + *output,
                              kDetectUsage);
        return std::nullopt;
    }
    if (auto problem = outputFileProblem(output); !problem.empty()) {
        exitCode = usageError(problem, kDetectUsage);
        return std::nullopt;
    }
    return [file = *output](const PictureOutcome&) { return file; };
}

}  // namespace

int runDetect(const std::vector<std::string>& args) {
    int exitCode = kDone;
    std::vector<OptionSpec> specs = kEngineOptions;
    for (OptionSpec spec :
         {OptionSpec{"--filter", "", true}, OptionSpec{"--output", "-o", true},
          OptionSpec{"--format", "", true}, OptionSpec{"--json", "", false},
          OptionSpec{"--out-dir", "", true}, OptionSpec{"--no-measure", "", false},
          OptionSpec{"--tiles", "", true}, OptionSpec{"--margin", "", true}})
        specs.push_back(spec);
    auto parsed = parseArgs(args, specs, kDetectUsage, exitCode);
    if (!parsed) return exitCode;
    auto engine = engineOptions(*parsed, kDetectUsage, exitCode);
    if (!engine) return exitCode;
    bool badFilter = false;
    const auto filter = filterOption(*parsed, badFilter);
    if (badFilter) return usageError(kFilterUsage, kDetectUsage);
    if (parsed->operands.empty()) return usageError("no picture given", kDetectUsage);
    auto target = catalogueTarget(*parsed, parsed->operands.size(), exitCode);
    if (!target) return exitCode;
    auto outDir = outDirOption(*parsed, kDetectUsage, exitCode, true);
    if (!outDir) return exitCode;
    if (parsed->has("--margin") && !parsed->has("--tiles"))
        return usageError("--margin goes with --tiles", kDetectUsage);
    auto options = headlessOptions(*engine, filter, *outDir, !parsed->has("--no-measure"));
    if (!options) return kUsageError;
    if (parsed->has("--tiles"))
        return runDetectTiles(*parsed, *engine, *options, *target, *outDir, kDetectUsage);
    std::vector<std::pair<std::string, std::string>> pictures;
    for (const auto& operand : parsed->operands) {
        const std::string absolute = absolutePath(operand);
        pictures.emplace_back(core::GetFolderName(absolute), core::fileNameOf(absolute));
    }
    OrderedReport report(pictures.size(),
                         {engine->thresholdSigma > 0, parsed->has("--json"), *outDir, *target});
    control::detectPictures(*options, pictures, engine->jobs, report.callback());
    return report.anyFailed() ? kFailed : kDone;
}

int runBatch(const std::vector<std::string>& args) {
    int exitCode = kDone;
    std::vector<OptionSpec> specs = kEngineOptions;
    specs.push_back({"--shard", "", true});
    specs.push_back({"--filter", "", true});
    specs.push_back({"--json", "", false});
    specs.push_back({"--out-dir", "", true});
    specs.push_back({"--no-measure", "", false});
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
    auto outDir = outDirOption(*parsed, kBatchUsage, exitCode, true);
    if (!outDir) return exitCode;
    auto options = headlessOptions(*engine, filter, *outDir, !parsed->has("--no-measure"));
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
    OrderedReport report(count, {engine->thresholdSigma > 0, parsed->has("--json"), *outDir, {}});
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
