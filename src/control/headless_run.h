#pragma once
// Running the engine without a window, as the command line does: the same procedures and
// the same files as the window (results, processing log, batch log), without drawing and
// without the pauses that are there for a person watching.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/shards.h"
#include "core/result.h"
#include "core/workspace.h"
#include "extract/records.h"
#include "form/context.h"
#include "form/frm_orvandel.h"
#include "form/headless_host.h"
#include "form/picture.h"

namespace orv::control {

using PictureDecoder = std::function<core::Result<form::Picture>(const std::string&)>;

struct HeadlessOptions {
    core::Settings settings;
    int channel = core::kChannelB;
    bool hyotan = false;
    // > 0: each picture's Siki is this many times its noise sigma, measured after the
    // background step (Workspace::SikiSigmaFactor); 0: the settings' Siki.
    double sikiSigmaFactor = 0.0;
    core::ProgramFolders folders;  // where clipboard results would go (never used here)
    PictureDecoder decoder;
    // Where the pictures' ".dir" folders (and a batch's log) go: "" beside each picture and
    // the list, else this folder (Workspace::ResultRoot).
    std::string resultRoot;
    // Measure the results and save the measurements beside the pair (Workspace::MeasureOnSave).
    bool measure = true;
};

// One window's worth of state without a display, drawing off, with the channel, the gourd
// split, the decoder and the folders of `options`: what runs a picture for the programs.
struct HeadlessEngine {
    core::Workspace ws;
    form::FrmOrvandel frm;
    form::HeadlessHost host;
    form::Ctx ctx;

    explicit HeadlessEngine(const HeadlessOptions& options);
    // Makes ready for the next picture: the settings and threshold factor of `options`, the
    // steps kept at the batch stage (no boxes shown), no cancel pending.
    void prepare(const HeadlessOptions& options);
    // The same for the picture `name` in `folder` ("" for a picture held in memory), its results
    // under `resultRoot` ("" beside the picture), measured on saving as `options` say.
    void prepare(const HeadlessOptions& options, const std::string& folder, const std::string& name,
                 const std::string& resultRoot);
};

struct PictureOutcome {
    enum class Failure { None, Load, Refused, Save, Fault };
    std::string path;  // the picture, as folder / name
    bool ok = false;
    Failure failure = Failure::None;
    std::string error;               // why it failed
    std::string incomplete;          // what a full cluster table left undone ("" when whole)
    int32_t results = 0;             // clusters in use
    extract::StarAtrTable counts{};  // StarAtrNo after the analysis
    float siki = 0;                  // the threshold the clusters were extracted with
    double noiseSigma = -1.0;        // the picture's noise (< 0: not measured)
    int32_t incompleteRow = 0;       // the row where a full table stopped extraction (0: none)
    std::string measureProblem;      // why results were not measured ("" when all were)
    std::string resultFolder;        // where its files went
    std::string startedAt, endedAt;  // "YYYY/MM/DD HH:MM:SS"
};

// Called as picture i finishes, from a worker thread but never two at a time.
using OutcomeCallback = std::function<void(size_t, const PictureOutcome&)>;

// Processes the pictures with `jobs` threads: each is loaded, run through background, clusters
// and analysis, and its result pair saved, as one record of a batch run is. Outcome i belongs
// to picture i whatever the order of completion; the files do not depend on `jobs`. Jobs beyond
// the number of pictures share each picture's work (Workspace::PictureWorkers). A picture
// whose result folder is that of an earlier one (the same picture twice, or two pictures of
// one name with one resultRoot) is refused, not run.
std::vector<PictureOutcome> detectPictures(
    const HeadlessOptions& options,
    const std::vector<std::pair<std::string, std::string>>& pictures, int jobs,
    const OutcomeCallback& done = {});

// The batch log lines of one processed record (number is 1-based), as the window writes them.
std::vector<std::string> batchLogLines(int number, const std::string& name,
                                       const PictureOutcome& o);

struct BatchRun {
    std::vector<PictureOutcome> outcomes;  // one per record, in list order
    std::string logError;                  // the batch log could not be written ("" when it was)
};

// Runs a batch list: every record through detectPicture with `jobs` threads, the batch log
// "<list>.log" appended in record order as the window writes it. A refused record (see
// readBatchList) is a failed load without being tried. `done` as above. With a shard, only its
// records (catalogue/shards.h), logged with their numbers in the whole list into the shard's
// own log "<list>.shardK-of-N.log"; outcome i is then the shard's record i. Records whose
// result folder is that of an earlier record of the whole list are refused. With a
// resultRoot, the log goes there instead of beside the list.
core::Result<BatchRun> runBatchList(const HeadlessOptions& options, const std::string& listPath,
                                    int jobs, const OutcomeCallback& done = {},
                                    const std::optional<catalogue::Shard>& shard = {});

}  // namespace orv::control
