#pragma once
// The command line's shared parts: the exit-code rule, one option parser for every
// subcommand, the settings every subcommand reads, and the progress bar on a terminal.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/settings.h"
#include "formats/picture_file.h"

namespace orv::cli {

// Exit status of every subcommand: 0 done, 1 some input failed or was incomplete, 2 usage.
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

// One option a subcommand accepts: "--name" (and an optional short alias such as "-j"),
// either a flag or an option that takes the next argument as its value.
struct OptionSpec {
    std::string name;
    std::string alias;
    bool takesValue = false;
};

// The arguments after the subcommand's name, sorted out.
struct ParsedArgs {
    std::map<std::string, std::vector<std::string>> values;  // by name, in the order given
    std::vector<std::string> flags;                          // flags given, by name
    std::vector<std::string> operands;                       // everything that is no option

    bool has(const std::string& name) const;
    // The last value given for the option, if any.
    std::optional<std::string> last(const std::string& name) const;
    const std::vector<std::string>& all(const std::string& name) const;
};

// Parses `args` (without the subcommand's name) against `specs`. "--help"/"-h" prints
// `usage` to standard output; an unknown option or a missing value prints the reason and the
// usage to standard error. Both give nothing, with the exit code in `exitCode`. "--" ends the
// options: what follows is an operand even when it starts with "-".
std::optional<ParsedArgs> parseArgs(const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& specs, const char* usage,
                                    int& exitCode);

// Prints "orvandel-cli: MESSAGE" and the usage to standard error; returns kUsageError.
int usageError(const std::string& message, const char* usage);

// The options every processing subcommand shares.
// --channel --settings --hyotan --jobs --stretch --threshold-sigma
extern const std::vector<OptionSpec> kEngineOptions;

struct EngineOptions {
    std::optional<std::string> settingsFile;
    int channel = core::kChannelB;
    bool hyotan = false;
    int jobs = 0;                        // 0: the number of cores
    std::optional<std::string> stretch;  // of deep pictures, instead of the settings file's
    double thresholdSigma = 0.0;         // > 0: Siki = this many times each picture's noise sigma
};

// Reads --channel, --settings, --hyotan, --jobs, --stretch and --threshold-sigma; a bad value
// is a usage error (nothing, with the exit code in `exitCode`).
std::optional<EngineOptions> engineOptions(const ParsedArgs& a, const char* usage, int& exitCode);

// The settings: from `file` when given, else the program's settings file, else the standard
// settings (said on standard error). Nothing, with the reason on standard error, when the file
// cannot be used (missing, unreadable, or without the eight numeric detection keys).
std::optional<core::Settings> loadSettings(const std::optional<std::string>& file,
                                           const core::ProgramFolders& folders);

// The number given for a tile setting (--size, --margin) in single precision, as the division
// window's text box reads it; `fallback` when the option is not given; nothing when it is not
// a number.
std::optional<float> tileSettingOption(const ParsedArgs& a, const std::string& name,
                                       float fallback);

// --out-dir DIR: the folder that holds the pictures' ".dir" folders instead of their own
// folders, absolute; "" when not given. With `create`, a missing DIR is made; else it must
// exist. Nothing (with the exit code in `exitCode`) when it cannot be used.
std::optional<std::string> outDirOption(const ParsedArgs& a, const char* usage, int& exitCode,
                                        bool create = false);
// Why a file given on the command line cannot be read, after what it is ("batch list"):
// "batch list not found: PATH", "... is a folder, not a file: PATH", "... is not a regular
// file (a FIFO, device or socket): PATH"; "" when it is a regular file.
std::string notAFileMessage(const std::string& what, const std::string& path);

// An absolute, normalised form of a path given on the command line.
std::string absolutePath(const std::string& path);

// A progress bar on standard error, only when it is a terminal.
class Progress {
public:
    Progress(size_t total, const char* unit);
    void clear();
    void draw(size_t done);

private:
    size_t total_;
    const char* unit_;
    bool shown_;
};

// The picture of `tiles`, read whole (tiles/big_picture.h: BMP rows
// streamed, FITS through CFITSIO, the rest through the guarded decoder) with its rows shown
// on a progress bar once per percent.
core::Result<formats::LevelPicture> loadBigPictureShowingRows(const std::string& image,
                                                              const std::string& stretch);

// A subcommand: its name, a one-line summary for the overall usage, and its entry point,
// which receives the arguments after its name and returns the exit status.
struct Command {
    const char* name;
    const char* synopsis;  // "detect [OPTIONS] IMAGE..."
    const char* summary;   // what it does, one line
    std::function<int(const std::vector<std::string>&)> run;
};

// The subcommands, one file each.
int runDetect(const std::vector<std::string>& args);
int runBatch(const std::vector<std::string>& args);
int runTiles(const std::vector<std::string>& args);
int runExport(const std::vector<std::string>& args);
int runMerge(const std::vector<std::string>& args);
int runPsf(const std::vector<std::string>& args);

}  // namespace orv::cli
