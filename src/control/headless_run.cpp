#include "control/headless_run.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "control/batch.h"
#include "control/pipeline.h"
#include "core/context.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "extract/numbering.h"
#include "input/image_load.h"
#include "results/data_files.h"
#include "ui/headless_host.h"

namespace orv::control {

namespace {

// One window's worth of state without a display; a worker keeps one for all its pictures so
// that the arrays and tables of one picture are reused by the next.
struct Engine {
    core::Workspace ws;
    ui::FrmOrvandel frm;
    ui::HeadlessHost host;
    core::Ctx ctx{ws, frm, host};

    explicit Engine(const HeadlessOptions& options) {
        frm.disableDrawing();
        host.clock = ui::systemNow;
        host.decoder = options.decoder;
        ws.folders = options.folders;
        for (int i = 0; i < 4; ++i) frm.optChannel[i].Value = i == options.channel;
        frm.chkHyotan.Value = options.hyotan ? 1 : 0;
        frm.lblVersion.Caption = "ver " + ws.ProgramVersion;
        extract::resetTables(ws);
    }

    PictureOutcome detect(const HeadlessOptions& options, const std::string& folder,
                          const std::string& name) {
        ws.settings = options.settings;
        ws.SikiSigmaFactor = options.sikiSigmaFactor;
        // As in a batch run: the steps keep the stage and show no boxes.
        ws.ProcStage = core::kStageBatch;
        ws.CancelRequested = 0;
        ws.DoFilePath = folder;
        ws.DoFileName = name;

        PictureOutcome o;
        o.path = core::joinPath(folder, name);
        o.startedAt = ui::formatDateTime(host.now());
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
        o.endedAt = ui::formatDateTime(host.now());
        if (o.ok) {
            o.counts = ws.StarAtrNo;
            o.siki = ws.settings.Siki;
            o.noiseSigma = ws.NoiseSigma;
            for (int32_t i = 1; i <= ws.MaxStarNo; ++i)
                o.results += ws.Clusters[i].Used == -1 && ws.Clusters[i].Divided != -1;
        }
        return o;
    }
};

}  // namespace

std::vector<PictureOutcome> detectPictures(
    const HeadlessOptions& options,
    const std::vector<std::pair<std::string, std::string>>& pictures, int jobs,
    const OutcomeCallback& done) {
    std::vector<PictureOutcome> outcomes(pictures.size());
    std::atomic<size_t> next{0};
    std::mutex doneMutex;
    auto worker = [&] {
        Engine engine(options);
        for (size_t i = next++; i < pictures.size(); i = next++) {
            outcomes[i] = engine.detect(options, pictures[i].first, pictures[i].second);
            if (!done) continue;
            std::lock_guard lock(doneMutex);
            done(i, outcomes[i]);
        }
    };
    const int threads = std::max(1, std::min<int>(jobs, static_cast<int>(pictures.size())));
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
            break;
        case PictureOutcome::Failure::Load:
            lines.push_back(o.endedAt + " " + batchLoadErrorText(o.path));
            break;
        case PictureOutcome::Failure::Save:
            lines.push_back(o.endedAt + " " + batchSaveErrorText(o.path));
            break;
        case PictureOutcome::Failure::Fault:
            lines.push_back(o.endedAt + " " + o.path + " 処理エラー");
            break;
    }
    return lines;
}

core::Result<std::vector<PictureOutcome>> runBatchList(
    const HeadlessOptions& options, const std::string& listPath, int jobs,
    const OutcomeCallback& done, const std::optional<catalogue::Shard>& shard) {
    auto records = readBatchList(listPath);
    if (!records) return core::Error{records.error()};
    const std::vector<size_t> positions =
        catalogue::shardPositions(records->size(), shard.value_or(catalogue::Shard{}));
    std::vector<std::pair<std::string, std::string>> pictures;
    for (size_t p : positions)
        pictures.emplace_back(records.value()[p].folder, records.value()[p].name);

    // Lines go to the log in record order, as soon as every earlier record has finished.
    const std::string log =
        shard ? catalogue::shardLogPath(listPath, *shard)
              : core::joinPath(core::GetFolderName(listPath), core::fileNameOf(listPath) + ".log");
    std::vector<std::optional<PictureOutcome>> finished(pictures.size());
    size_t written = 0;
    auto outcomes = detectPictures(options, pictures, jobs, [&](size_t i, const PictureOutcome& o) {
        finished[i] = o;
        for (; written < pictures.size() && finished[written]; ++written)
            for (const auto& line : batchLogLines(static_cast<int>(positions[written]) + 1,
                                                  pictures[written].second, *finished[written]))
                core::appendLine(log, line);
        if (done) done(i, o);
    });
    core::appendLine(log, ui::formatDateTime(ui::systemNow()) + " " + batchFinishedText(false));
    return outcomes;
}

}  // namespace orv::control
