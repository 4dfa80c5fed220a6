#include "control/headless_run.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "control/batch.h"
#include "control/pipeline.h"
#include "control/stage_refresh.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/picture_folder.h"
#include "core/text_file.h"
#include "extract/numbering.h"
#include "extract/table_full.h"
#include "form/context.h"
#include "form/headless_host.h"
#include "input/image_load.h"
#include "results/data_files.h"

namespace orv::control {

namespace {

// A worker keeps one engine for all its pictures, so that the arrays and tables of one
// picture are reused by the next.
struct Engine : HeadlessEngine {
    using HeadlessEngine::HeadlessEngine;

    PictureOutcome detect(const HeadlessOptions& options, const std::string& folder,
                          const std::string& name) {
        prepare(options, folder, name, options.resultRoot);

        PictureOutcome o;
        o.path = core::joinPath(folder, name);
        o.resultFolder = core::resultFolder(ws);
        o.startedAt = form::formatDateTime(host.now());
        try {
            if (!input::cmdDataIn_Click(ctx, input::kSourceNamed)) {
                o.failure = PictureOutcome::Failure::Load;
                o.error = ws.lastLoadError;
            } else {
                cmdDoAll_Click(ctx);
                if (auto saved = results::OV_SaveData(ctx); !saved) {
                    o.failure = PictureOutcome::Failure::Save;
                    o.error = saved.error();
                } else {
                    o.ok = true;
                }
            }
        } catch (const core::ArithmeticFault& e) {
            o.failure = PictureOutcome::Failure::Fault;
            o.error = std::string("実行時エラー: ") + e.what();
        } catch (const std::bad_alloc&) {
            o.failure = PictureOutcome::Failure::Fault;
            o.error = "メモリーが足りません。";
        }
        o.endedAt = form::formatDateTime(host.now());
        if (o.ok) o.incomplete = extract::tableFullMessage(ws);
        if (o.ok) {
            o.counts = ws.StarAtrNo;
            o.siki = ws.settings.Siki;
            o.noiseSigma = ws.NoiseSigma;
            o.incompleteRow = ws.tableFull.stoppedAtRow;
            if (!ws.measures.fromFile) o.measureProblem = ws.measures.problem;
            for (int32_t i = 1; i <= ws.MaxStarNo; ++i)
                o.results += ws.Clusters[i].Used == -1 && ws.Clusters[i].Divided != -1;
        }
        return o;
    }
};

}  // namespace

HeadlessEngine::HeadlessEngine(const HeadlessOptions& options)
    : ctx{ws, frm, host, nullptr, control::stageRefresh()} {
    frm.disableDrawing();
    host.clock = form::systemNow;
    host.decoder = options.decoder;
    ws.folders = options.folders;
    for (int i = 0; i < 4; ++i) frm.optChannel[i].Value = i == options.channel;
    frm.chkHyotan.Value = options.hyotan ? 1 : 0;
    frm.lblVersion.Caption = "ver " + ws.ProgramVersion;
    extract::resetTables(ws);
}

void HeadlessEngine::prepare(const HeadlessOptions& options) {
    ws.settings = options.settings;
    ws.SikiSigmaFactor = options.sikiSigmaFactor;
    // As in a batch run: the steps keep the stage and show no boxes.
    ws.ProcStage = core::kStageBatch;
    ws.CancelRequested = 0;
}

void HeadlessEngine::prepare(const HeadlessOptions& options, const std::string& folder,
                             const std::string& name, const std::string& resultRoot) {
    prepare(options);
    ws.DoFilePath = folder;
    ws.DoFileName = name;
    ws.ResultRoot = resultRoot;
    ws.MeasureOnSave = options.measure;
}

namespace {

// The result folder a picture's files go to, as a key to compare.
std::string folderKey(const HeadlessOptions& options, const std::string& folder,
                      const std::string& name) {
    return std::filesystem::path(core::resultFolderOf(folder, name, options.resultRoot))
        .lexically_normal()
        .string();
}

// Why each picture is refused for sharing its result folder with an earlier one ("" when not).
std::vector<std::string> sharedFolders(
    const HeadlessOptions& options,
    const std::vector<std::pair<std::string, std::string>>& pictures) {
    std::vector<std::string> why(pictures.size());
    std::map<std::string, size_t> first;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const auto& [folder, name] = pictures[i];
        const auto [at, fresh] = first.emplace(folderKey(options, folder, name), i);
        if (!fresh)
            why[i] = "結果フォルダー " + at->first + " が先の画像 " +
                     core::joinPath(pictures[at->second].first, pictures[at->second].second) +
                     " と同じになるため処理しません";
    }
    return why;
}

}  // namespace

std::vector<PictureOutcome> detectPictures(
    const HeadlessOptions& options,
    const std::vector<std::pair<std::string, std::string>>& pictures, int jobs,
    const OutcomeCallback& done) {
    std::vector<PictureOutcome> outcomes(pictures.size());
    const std::vector<std::string> refused = sharedFolders(options, pictures);
    std::atomic<size_t> next{0};
    std::mutex doneMutex;
    const int threads = std::max(1, std::min<int>(jobs, static_cast<int>(pictures.size())));
    // The jobs that no picture of its own keeps busy share each picture's work.
    const int perPicture = std::max(1, jobs / threads);
    auto worker = [&] {
        Engine engine(options);
        engine.ws.PictureWorkers = perPicture;
        for (size_t i = next++; i < pictures.size(); i = next++) {
            if (refused[i].empty()) {
                outcomes[i] = engine.detect(options, pictures[i].first, pictures[i].second);
            } else {
                PictureOutcome& o = outcomes[i];
                o.path = core::joinPath(pictures[i].first, pictures[i].second);
                o.failure = PictureOutcome::Failure::Refused;
                o.error = refused[i];
                o.startedAt = o.endedAt = form::formatDateTime(form::systemNow());
            }
            if (!done) continue;
            std::lock_guard lock(doneMutex);
            done(i, outcomes[i]);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
    worker();
    for (auto& t : pool) t.join();
    return outcomes;
}

std::vector<std::string> batchLogLines(int number, const std::string& name,
                                       const PictureOutcome& o) {
    std::vector<std::string> lines{o.startedAt + " " + batchStartText(number, name)};
    switch (o.failure) {
        case PictureOutcome::Failure::None:
            lines.push_back(o.endedAt + " " + batchEndText(o.path));
            if (!o.incomplete.empty())
                lines.push_back(o.endedAt + " " + batchIncompleteText(o.path, o.incomplete));
            if (!o.measureProblem.empty())
                lines.push_back(o.endedAt + " " +
                                batchIncompleteText(
                                    o.path, "測光できなかった結果があります: " + o.measureProblem));
            break;
        case PictureOutcome::Failure::Load:
            lines.push_back(o.endedAt + " " + batchLoadErrorText(o.path, o.error));
            break;
        case PictureOutcome::Failure::Refused:
            lines.push_back(o.endedAt + " " + batchRefusedText(o.path, o.error));
            break;
        case PictureOutcome::Failure::Save:
            lines.push_back(o.endedAt + " " + batchSaveErrorText(o.path));
            break;
        case PictureOutcome::Failure::Fault:
            lines.push_back(o.endedAt + " " + batchFaultText(o.path, o.error));
            break;
    }
    return lines;
}

core::Result<BatchRun> runBatchList(const HeadlessOptions& options, const std::string& listPath,
                                    int jobs, const OutcomeCallback& done,
                                    const std::optional<catalogue::Shard>& shard) {
    auto records = readBatchList(listPath);
    if (!records) return core::Error{records.error()};
    const std::vector<size_t> positions =
        catalogue::shardPositions(records->size(), shard.value_or(catalogue::Shard{}));
    const size_t n = positions.size();
    BatchRun run;
    run.outcomes.resize(n);
    // Records that would share a result folder with an earlier one of the whole list.
    {
        std::vector<std::pair<std::string, std::string>> all;
        for (const BatchRecord& r : records.value()) all.emplace_back(r.folder, r.name);
        const std::vector<std::string> shared = sharedFolders(options, all);
        for (size_t k = 0; k < all.size(); ++k)
            if (records.value()[k].refused.empty() && !shared[k].empty())
                records.value()[k].refused = shared[k];
    }
    std::vector<bool> finished(n, false);
    // The records that can be tried, and their place among the shard's records.
    std::vector<std::pair<std::string, std::string>> pictures;
    std::vector<size_t> place;
    for (size_t i = 0; i < n; ++i) {
        const BatchRecord& r = records.value()[positions[i]];
        if (r.refused.empty()) {
            pictures.emplace_back(r.folder, r.name);
            place.push_back(i);
            continue;
        }
        PictureOutcome& o = run.outcomes[i];
        o.path = core::joinPath(r.folder, r.name);
        o.failure = PictureOutcome::Failure::Refused;
        o.error = r.refused;
        o.startedAt = o.endedAt = form::formatDateTime(form::systemNow());
    }

    // Lines go to the log in record order, as soon as every earlier record has finished.
    std::string log =
        shard ? catalogue::shardLogPath(listPath, *shard)
              : core::joinPath(core::GetFolderName(listPath), core::fileNameOf(listPath) + ".log");
    if (!options.resultRoot.empty())
        log = core::joinPath(options.resultRoot, core::fileNameOf(log));
    auto append = [&](const std::string& line) {
        auto written = core::appendLine(log, line);
        if (!written && run.logError.empty()) run.logError = written.error();
    };
    size_t written = 0;
    int failed = 0;
    auto finish = [&](size_t i) {
        finished[i] = true;
        for (; written < n && finished[written]; ++written) {
            const PictureOutcome& o = run.outcomes[written];
            failed += !o.ok;
            for (const auto& line : batchLogLines(static_cast<int>(positions[written]) + 1,
                                                  records.value()[positions[written]].name, o))
                append(line);
        }
        if (done) done(i, run.outcomes[i]);
    };
    for (size_t i = 0; i < n; ++i)
        if (run.outcomes[i].failure == PictureOutcome::Failure::Refused) finish(i);
    detectPictures(options, pictures, jobs, [&](size_t k, const PictureOutcome& o) {
        run.outcomes[place[k]] = o;
        finish(place[k]);
    });
    append(form::formatDateTime(form::systemNow()) + " " + batchFinishedText(false, failed));
    return run;
}

}  // namespace orv::control
