#include "psf/entries.h"

#include <cctype>
#include <cmath>

#include "core/numeric.h"
#include "core/paths.h"
#include "form/message_log.h"
#include "psf/psf_files.h"
#include "psf/records.h"

namespace orv::psf {

namespace {

std::vector<PSFEntryRec> freshTable() {
    return std::vector<PSFEntryRec>(kMaxEntries + 1);
}

void setLabels(form::FrmOrvandel& f, int first, int last, const char* text) {
    for (int k = first; k <= last; ++k) f.lblPSFInfo[k].Caption = text;
}

void say(form::Ctx& ctx, const std::string& text) {
    ctx.host.msgBox(text, form::MsgButtons::Ok);
}

}  // namespace

void updateAverages(PsfState& state) {
    const int n = state.PSFDataNo;
    if (n <= 0) {
        state.PSFsd = state.PSFsdd = 0;
        return;
    }
    float sum = 0;
    for (int i = 1; i <= n; ++i) sum += state.PSFEntries[i].Sigma;
    state.PSFsd = sum / n;
    float squares = 0;
    for (int i = 1; i <= n; ++i) {
        const float d = state.PSFsd - state.PSFEntries[i].Sigma;
        squares += d * d;
    }
    state.PSFsdd = std::sqrt(squares / n);
}

Adoption adoptProfile(core::Workspace& ws) {
    PsfState& p = ws.psf;
    const int32_t n = p.PSFStarNo;
    if (n <= 0 || !p.ProfileOwn || n >= static_cast<int32_t>(ws.Stars.size()))
        return Adoption::NoProfile;
    if (p.PSFEntries.size() <= 1) return Adoption::TableUnusable;
    Adoption done = Adoption::Full;
    if (p.PSFDataNo < static_cast<int>(p.PSFEntries.size()) - 1) {
        PSFEntryRec& e = p.PSFEntries[++p.PSFDataNo];
        e = PSFEntryRec{};
        e.DoFilePath = ws.DoFilePath;
        e.DoFileName = ws.DoFileName;
        e.StarNo = n;
        e.CenterX = ws.Stars[n].CenterX;
        e.CenterY = ws.Stars[n].CenterY;
        e.PSFAnnulus = ws.settings.PSFAnnulus;
        e.PSFDAnnulus = ws.settings.PSFDAnnulus;
        e.Sigma = p.PSFSigma;
        e.Peak = p.PSFPeak;
        e.Mark = 1.0f;
        done = Adoption::Added;
    }
    updateAverages(p);
    return done;
}

std::string psfFolder(const core::Workspace& ws) {
    return ws.settings.WorkPath.empty() ? ws.folders.writableFolder() : ws.settings.WorkPath;
}

void cmdPSFEntry_Click(form::Ctx& ctx) {
    auto& f = ctx.frm;
    const PsfState& p = ctx.ws.psf;
    const Adoption done = adoptProfile(ctx.ws);
    if (done == Adoption::NoProfile) {
        say(ctx, p.PSFStarNo > 0
                     ? "StarNo " + core::generalForm(p.PSFStarNo) +
                           " のPSFプロフィールは計算できなかったため、採用できません。"
                     : std::string("採用するPSFプロフィールがありません。恒星をクリックして"
                                   "プロフィールを計算してください。"));
        return;
    }
    if (done == Adoption::TableUnusable) {
        say(ctx,
            "PSFプロファイルの読込を中止したため、採用できません。「新規」で作り直してください。");
        return;
    }
    f.lblPSFInfo[2].Caption = core::signPositionForm(int64_t{p.PSFDataNo});
    f.lblPSFInfo[3].Caption = core::Format(p.PSFsd, "#0.##", 7);
    ctx.host.pump();
    f.lblPSFInfo[4].Caption = core::Format(p.PSFsdd, "#0.##", 7);
    ctx.host.pump();
    if (done == Adoption::Full)
        say(ctx, "PSFプロフィールは " + std::to_string(kMaxEntries) +
                     " 件まで採用できます。これ以上は採用できません。");
}

void cmdPSFEntryClear_Click(form::Ctx& ctx) {
    if (ctx.host.msgBox("新しくPSFプロフィールを作成します。よろしいですか？",
                        form::MsgButtons::OkCancel) != form::MsgAnswer::Ok)
        return;
    PsfState& p = ctx.ws.psf;
    p.PSFEntries = freshTable();
    p.PSFDataNo = 0;
    updateAverages(p);
    setLabels(ctx.frm, 0, 4, "----");
}

core::Result<std::string> OV_SavePSFData(form::Ctx& ctx) {
    const std::string folder = psfFolder(ctx.ws);
    if (!core::folderExists(folder)) return core::Error{"ワークフォルダーがありません: " + folder};
    if (auto written = writePsfFiles(folder, ctx.ws.psf, ctx.host.now()); !written)
        return core::Error{written.error()};
    return folder;
}

void cmdPSFSave_Click(form::Ctx& ctx) {
    auto saved = OV_SavePSFData(ctx);
    if (!saved) {
        say(ctx, "PSFプロファイルを保存できませんでした。\n" + saved.error());
        return;
    }
    form::OV_DispMsg(
        ctx, std::string(kPsfDataFile) + " と " + kPsfIniFile + " の保存先: " + saved.value());
    say(ctx, "PSFプロファイルを、ワークフォルダーに保存しました。");
}

void cmdPSFRead_Click(form::Ctx& ctx) {
    auto chosen = ctx.host.openFileDialog(psfFolder(ctx.ws), "PSFプロファイル(*.ini)|*.ini");
    if (!chosen) return;
    const std::string folder = core::GetFolderName(*chosen);
    const std::string name = core::fileNameOf(*chosen);
    if (folder.empty() || name.empty() || !core::fileExists(core::joinPath(folder, name))) return;
    OV_ReadPSFData(ctx, folder, name);
}

void OV_ReadPSFData(form::Ctx& ctx, const std::string& folder, const std::string& fileName) {
    std::string upper = fileName;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper != "PSFDATA.INI") {
        say(ctx, "指定のファイルは、PSFプロファイルデータではありません。");
        return;
    }
    auto files = readPsfFiles(folder, fileName);
    if (!files) {
        say(ctx, files.error() + "\n読み込みを中止しました。");
        return;
    }
    auto& f = ctx.frm;
    PsfState& p = ctx.ws.psf;
    const auto count = static_cast<int>(files->entries.size());
    if (files->dataNo != count) {
        say(ctx, "データ数が一致しません。読み込みを中止します。");
        p.PSFEntries.assign(1, PSFEntryRec{});
        p.PSFDataNo = 0;
        updateAverages(p);
        setLabels(f, 0, 4, "---");
        return;
    }
    p.PSFEntries = freshTable();
    for (int i = 0; i < count; ++i) p.PSFEntries[i + 1] = std::move(files->entries[i]);
    p.PSFDataNo = static_cast<int16_t>(count);
    // The stored mean and spread are taken as they are.
    p.PSFsd = files->sd;
    p.PSFsdd = files->sdd;
    setLabels(f, 0, 1, "---");
    f.lblPSFInfo[2].Caption = core::signPositionForm(int64_t{p.PSFDataNo});
    f.lblPSFInfo[3].Caption = core::Format(p.PSFsd, "0.###", 7);
    f.lblPSFInfo[4].Caption = core::Format(p.PSFsdd, "0.###", 7);
    if (files->restored)
        form::OV_DispMsg(ctx,
                         "保存が途中で止まっていたため、その前に保存されていた PSF ファイル"
                         "の組に戻しました。");
    say(ctx, "PSFプロファイルを読込ました。");
}

}  // namespace orv::psf
