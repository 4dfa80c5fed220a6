// The command line's shared parts: option parser, engine options, settings, progress bar.

#include "cli.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/numeric.h"
#include "formats/guarded_picture.h"
#include "formats/stretch.h"
#include "tiles/big_picture.h"
#include "tiles/geometry.h"

namespace orv::cli {

bool ParsedArgs::has(const std::string& name) const {
    return values.count(name) != 0 || std::find(flags.begin(), flags.end(), name) != flags.end();
}

std::optional<std::string> ParsedArgs::last(const std::string& name) const {
    auto it = values.find(name);
    if (it == values.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

const std::vector<std::string>& ParsedArgs::all(const std::string& name) const {
    static const std::vector<std::string> none;
    auto it = values.find(name);
    return it == values.end() ? none : it->second;
}

int usageError(const std::string& message, const char* usage) {
    std::fprintf(stderr, "orvandel-cli: %s\n\n%s", message.c_str(), usage);
    return kUsageError;
}

std::optional<ParsedArgs> parseArgs(const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& specs, const char* usage,
                                    int& exitCode) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            parsed.operands.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            exitCode = kDone;
            return std::nullopt;
        }
        auto spec = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) {
            return a == s.name || (!s.alias.empty() && a == s.alias);
        });
        if (spec == specs.end()) {
            exitCode = usageError("unknown option " + a, usage);
            return std::nullopt;
        }
        if (!spec->takesValue) {
            parsed.flags.push_back(spec->name);
        } else if (i + 1 < args.size()) {
            parsed.values[spec->name].push_back(args[++i]);
        } else {
            exitCode = usageError(spec->name + " needs a value", usage);
            return std::nullopt;
        }
    }
    return parsed;
}

const std::vector<OptionSpec> kEngineOptions = {
    {"--channel", "", true}, {"--settings", "", true}, {"--hyotan", "", false},
    {"--jobs", "-j", true},  {"--stretch", "", true},  {"--threshold-sigma", "", true}};

std::optional<EngineOptions> engineOptions(const ParsedArgs& a, const char* usage, int& exitCode) {
    EngineOptions o;
    if (auto v = a.last("--channel")) {
        const std::string channels = "RGBY";
        const size_t at = v->size() == 1 ? channels.find(static_cast<char>(std::toupper((*v)[0])))
                                         : std::string::npos;
        if (at == std::string::npos) {
            exitCode = usageError("--channel takes R, G, B or Y", usage);
            return std::nullopt;
        }
        o.channel = static_cast<int>(at);
    }
    o.settingsFile = a.last("--settings");
    o.hyotan = a.has("--hyotan");
    if (auto v = a.last("--jobs")) {
        char* end = nullptr;
        const long n = std::strtol(v->c_str(), &end, 10);
        if (v->empty() || *end != '\0' || n < 1 || n > 256) {
            exitCode = usageError("--jobs takes a number from 1 to 256", usage);
            return std::nullopt;
        }
        o.jobs = static_cast<int>(n);
    }
    if (auto v = a.last("--stretch")) {
        if (!formats::parseStretch(*v)) {
            exitCode = usageError(
                "--stretch takes minmax, percentile:LO,HI (0 <= LO < HI <= 100) or range:A,B "
                "(A < B)",
                usage);
            return std::nullopt;
        }
        o.stretch = *v;
    }
    if (auto v = a.last("--threshold-sigma")) {
        char* end = nullptr;
        const double k = std::strtod(v->c_str(), &end);
        if (v->empty() || *end != '\0' || !(k > 0.0 && k <= 100.0)) {
            exitCode = usageError("--threshold-sigma takes a number above 0 and up to 100", usage);
            return std::nullopt;
        }
        o.thresholdSigma = k;
    }
    if (o.jobs == 0) o.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return o;
}

std::optional<core::Settings> loadSettings(const std::optional<std::string>& file,
                                           const core::ProgramFolders& folders) {
    // Settings that cannot be read would run as all zeros and overwrite good results.
    auto strictly = [](const std::string& path) -> std::optional<core::Settings> {
        auto settings = core::readSettingsFileStrictly(path);
        // A stretch that cannot be used is refused now, not at the first deep picture.
        if (settings && !settings->Stretch.empty())
            if (auto stretch = formats::parseStretch(settings->Stretch); !stretch)
                settings = core::Error{"[STRETCH] Stretch: " + stretch.error()};
        if (settings) return settings.value();
        std::fprintf(stderr, "orvandel-cli: cannot use the settings file %s: %s\n", path.c_str(),
                     settings.error().c_str());
        return std::nullopt;
    };
    if (file) {
        if (!std::filesystem::exists(*file)) {
            std::fprintf(stderr, "orvandel-cli: settings file not found: %s\n", file->c_str());
            return std::nullopt;
        }
        return strictly(*file);
    }
    const std::string path = folders.settingsFileToRead();
    if (core::fileExists(path)) return strictly(path);
    std::fprintf(stderr, "orvandel-cli: no %s yet; using the standard detection settings\n",
                 path.c_str());
    return core::defaultSettings();
}

std::optional<float> tileSettingOption(const ParsedArgs& a, const std::string& name,
                                       float fallback) {
    auto text = a.last(name);
    if (!text) return fallback;
    auto v = core::parseNumber(*text);
    if (!v) return std::nullopt;
    return tiles::settingValue(*v);
}

std::optional<std::string> outDirOption(const ParsedArgs& a, const char* usage, int& exitCode,
                                        bool create) {
    auto dir = a.last("--out-dir");
    if (!dir) return std::string();
    if (dir->empty()) {
        exitCode = usageError("--out-dir takes a folder", usage);
        return std::nullopt;
    }
    std::error_code ec;
    if (create && !std::filesystem::exists(*dir, ec)) std::filesystem::create_directories(*dir, ec);
    if (!std::filesystem::is_directory(*dir, ec)) {
        std::fprintf(stderr, "orvandel-cli: --out-dir %s: %s\n", dir->c_str(),
                     create ? "cannot be made as a folder" : "no such folder");
        exitCode = kFailed;
        return std::nullopt;
    }
    return absolutePath(*dir);
}

std::string notAFileMessage(const std::string& what, const std::string& path) {
    switch (core::pathKind(path)) {
        case core::PathKind::RegularFile:
            return "";
        case core::PathKind::Missing:
            return what + " not found: " + path;
        case core::PathKind::Folder:
            return what + " is a folder, not a file: " + path;
        case core::PathKind::Other:
            break;
    }
    return what + " is not a regular file (a FIFO, device or socket): " + path;
}

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    return std::filesystem::absolute(path, ec).lexically_normal().string();
}

Progress::Progress(size_t total, const char* unit)
    : total_(total), unit_(unit), shown_(isatty(STDERR_FILENO) == 1) {
    draw(0);
}

void Progress::clear() {
    if (shown_) std::fprintf(stderr, "\r%*s\r", 60, "");
}

void Progress::draw(size_t done) {
    if (!shown_) return;
    const int width = 30;
    const int filled = total_ == 0 ? width : static_cast<int>(done * width / total_);
    std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu %s", filled, "##############################",
                 width - filled, "", done, total_, unit_);
    std::fflush(stderr);
}

core::Result<formats::LevelPicture> loadBigPictureShowingRows(const std::string& image,
                                                              const std::string& stretch) {
    std::optional<Progress> reading;
    int shownPercent = -1;
    auto picture =
        tiles::loadBigPicture(image, formats::guardedDecoder(), stretch, [&](int rows, int total) {
            if (!reading) reading.emplace(static_cast<size_t>(total), "rows read");
            if (rows * 100LL / total == shownPercent) return;
            shownPercent = static_cast<int>(rows * 100LL / total);
            reading->draw(static_cast<size_t>(rows));
        });
    if (reading) reading->clear();
    return picture;
}

}  // namespace orv::cli
