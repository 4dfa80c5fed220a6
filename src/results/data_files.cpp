#include "results/data_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "catalogue/measure/measure_results.h"
#include "core/ini.h"
#include "core/numeric.h"
#include "core/parallel.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/sum_file.h"
#include "core/text_file.h"
#include "extract/numbering.h"
#include "extract/outline_fill.h"
#include "extract/records.h"
#include "form/message_log.h"
#include "form/settings_boxes.h"
#include "form/stage.h"
#include "formats/stretch.h"
#include "input/image_load.h"
#include "results/pair_sum.h"
#include "results/saved_records.h"
#include "tiles/export.h"
#include "tiles/geometry.h"
#include "view/overlay.h"
#include "view/view_switch.h"

// The record file has one line per cluster in use, 25 comma-separated fields:
//
//   12,34,56,4,2,0,0,0,0,"",34.5,56.5,9,900,100,"33557711",1.207107,1.414214,1,0.2071068,...
//   |  seed  Siki |  edit,  note |  centroid  | sum level |  outline  | radii, roundness, spares
//   number   Atr  reserves           pixel count  max level
//
// Text fields are in double quotes; a quote inside a note is written twice (and a plain
// single one is read too). Numbers use the general form: Singles with up to 7 significant
// digits. Reading parses and checks both files completely before anything changes.

namespace orv::results {

using core::Workspace;
using extract::ClusterRec;
using extract::StarRec;
using form::Ctx;

namespace {

constexpr int kRecordFields = 25;

std::string g(float v) {
    return core::generalForm(v);
}
std::string g(int32_t v) {
    return core::generalForm(static_cast<int64_t>(v));
}
std::string g(int16_t v) {
    return core::generalForm(static_cast<int64_t>(v));
}

// A text field: quotes doubled, line breaks (which would break the record) as blanks.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += "\"\"";
        else if (c == '\r' || c == '\n')
            out += ' ';
        else
            out += c;
    }
    return out + "\"";
}

std::string starAtrKey(int i, int j) {
    char key[32];
    std::snprintf(key, sizeof key, "StarAtrNo_%d_%02d", i, j);
    return key;
}

}  // namespace

ResultPaths resultPaths(const Workspace& ws) {
    if (core::isClipboardPicture(ws)) {
        const std::string folder = ws.folders.writableFolder();
        return {"", core::joinPath(folder, "clipboard.ini"),
                core::joinPath(folder, "clipboard.dat")};
    }
    const std::string folder = core::resultFolder(ws);
    return {folder, core::joinPath(folder, ws.DoFileName + ".dat.ini"),
            core::joinPath(folder, ws.DoFileName + ".dat")};
}

std::vector<std::string> resultIniLines(const Ctx& ctx) {
    const Workspace& ws = ctx.ws;
    std::vector<std::string> lines = {
        "[SYSTEM]",
        "ProgramVersion = " + ctx.frm.lblVersion.Caption,
        "ImageWidthP = " + g(ws.ImageWidthP),
        "ImageHeightP = " + g(ws.ImageHeightP),
    };
    for (auto& line : core::detectionSettingLines(ws.settings)) lines.push_back(std::move(line));
    for (std::string line :
         {std::string("[FILE]"), "DoFilePath = " + ws.DoFilePath, "DoFileName = " + ws.DoFileName,
          std::string("[RESULT]"), "MaxStarNo = " + g(ws.MaxStarNo)})
        lines.push_back(std::move(line));
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 10; ++j)
            lines.push_back(starAtrKey(i, j) + " = " + g(ws.StarAtrNo[i][j]));
    // With the detection filter: its sigma and the fractional Siki, read back as they are.
    for (auto& line : core::filterSettingLines(ws.settings, true)) lines.push_back(line);
    // A stretched deep picture: how, so that the result can be reproduced (not read back).
    if (!ws.StretchUsed.empty()) {
        for (auto& line : core::stretchSettingLines(ws.StretchUsed)) lines.push_back(line);
        lines.push_back("StretchBlack = " + formats::exactText(ws.StretchBlack));
        lines.push_back("StretchWhite = " + formats::exactText(ws.StretchWhite));
    }
    return lines;
}

std::string resultDataLine(const Workspace& ws, int32_t i) {
    const ClusterRec& c = ws.Clusters[i];
    const StarRec& s = ws.Stars[i];
    std::string line;
    line.reserve(160);
    auto add = [&](const std::string& field) {
        if (!line.empty()) line += ',';
        line += field;
    };
    add(g(i));
    add(g(c.StartX));
    add(g(c.StartY));
    add(g(c.Siki));
    for (int16_t v : {c.Atr, c.EditAtr, c.Reserve1, c.Reserve2, c.Reserve3}) add(g(v));
    add(quoted(c.Note));
    add(g(s.CenterX));
    add(g(s.CenterY));
    add(g(s.PixelCount));
    add(g(s.SumLevel));
    add(g(s.MaxLevel));
    add(quoted(s.Outline));
    for (float v : {s.HankeiAve, s.HankeiMax, s.HankeiMin, s.HankeiSD, s.SinendoRatio, s.Spare1,
                    s.Spare2, s.Spare3, s.Spare4})
        add(g(v));
    return line;
}

std::vector<std::string> resultDataLines(const Workspace& ws) {
    const std::vector<int32_t> kept = savedNumbers(ws);
    // Many lines are written on the picture's workers.
    return core::collectInParts(core::pictureWorkers(ws.PictureWorkers),
                                static_cast<int64_t>(kept.size()), core::kManyLines,
                                [&](int64_t k) { return resultDataLine(ws, kept[k]); });
}

core::Result<void> OV_SaveData(Ctx& ctx) {
    const ResultPaths paths = resultPaths(ctx.ws);
    if (!paths.folder.empty() && !core::folderExists(paths.folder) &&
        !core::createFolder(paths.folder))
        return core::Error{"結果フォルダーを作れません: " + paths.folder};
    // The pair and its measurements are written completely before any old file is replaced, ini
    // first, the sum file (which covers the measurements too) last.
    const std::vector<std::string> records = resultDataLines(ctx.ws);
    std::vector<core::FileBytes> files;
    for (const core::FileLines& f : catalogue::measure::withMeasureFile(
             ctx, {{paths.iniFile, resultIniLines(ctx)}, {paths.dataFile, records}},
             paths.dataFile))
        files.push_back({f.path, core::joinLines(f.lines)});
    auto saved = saveSummedPair(ctx.ws, paths, files, static_cast<int64_t>(records.size()));
    if (!saved) return core::Error{saved.error()};
    ctx.ws.Unsaved.clear();  // the window's unsaved-work guard: nothing left to lose
    if (saved.value())
        form::OV_Logout(ctx, "＞手作業の結果を " + core::fileNameOf(backupOf(paths.dataFile)) +
                                 " と " + core::fileNameOf(backupOf(paths.iniFile)) +
                                 " に残しました");
    form::OV_Logout(ctx, "■データ保存完了");
    catalogue::measure::afterSave(ctx, paths.dataFile);
    return {};
}

// ---------------------------------------------------------------------------------------
// Reading

namespace {

using Record = ResultRecord;
using ParsedResults = ResultFiles;

// The picture a record must fit: the size the settings file gives, or, where it gives none,
// a size no picture reaches.
struct PictureBounds {
    double width = 0, height = 0;

    static PictureBounds of(int32_t width, int32_t height) {
        constexpr double kNoSize = 1 << 24;
        return {width > 0 ? width : kNoSize, height > 0 ? height : kNoSize};
    }
    // A seed is a ClusterMap index (0 for a star added by hand).
    bool holdsSeed(double x, double y) const {
        return x >= 0 && x <= width + 1 && y >= 0 && y <= height + 1;
    }
    // A centroid lies in the picture; more than a picture's size outside it is damage.
    bool holdsCentre(double x, double y) const {
        return x >= -width && x <= 2 * width && y >= -height && y <= 2 * height;
    }
};

// One line of the record file, or the reason it is refused.
std::optional<std::string> parseRecord(const std::string& line, const PictureBounds& bounds,
                                       Record& r, bool& oddOutline) {
    auto f = core::splitCommaFields(line);
    if (static_cast<int>(f.size()) != kRecordFields)
        return "項目の数が " + std::to_string(f.size()) + " です (" +
               std::to_string(kRecordFields) + " 項目が必要です)";
    std::optional<std::string> bad;
    auto number = [&](int k) -> double {
        auto v = core::parseNumber(f[k - 1]);
        if (!v && !bad) bad = std::to_string(k) + " 番目の項目が数値ではありません: " + f[k - 1];
        return v.value_or(0);
    };
    // A number converted by `convert`, which raises ArithmeticFault when it does not fit.
    auto fitted = [&](int k, auto convert) -> decltype(convert(0.0)) {
        const double v = number(k);
        try {
            return convert(v);
        } catch (const core::ArithmeticFault&) {
            if (!bad) bad = std::to_string(k) + " 番目の項目が範囲を超えています: " + f[k - 1];
            return 0;
        }
    };
    auto single = [&](int k) { return fitted(k, core::CSng); };
    auto integer = [&](int k) { return fitted(k, core::CInt); };
    const double no = number(1);
    if (bad) return bad;
    if (!(no >= 1 && no <= extract::kMaxStarNo) || no != std::floor(no))
        return "番号 " + f[0] + " は 1 から 50000 の整数ではありません";
    r.number = static_cast<int32_t>(no);
    ClusterRec& c = r.cluster;
    StarRec& s = r.star;
    c.StartX = single(2);
    c.StartY = single(3);
    c.Siki = single(4);
    c.Atr = integer(5);
    c.EditAtr = integer(6);
    c.Reserve1 = integer(7);
    c.Reserve2 = integer(8);
    c.Reserve3 = integer(9);
    c.Note = std::move(f[9]);  // the two texts are taken, not copied; no message names them
    s.CenterX = single(11);
    s.CenterY = single(12);
    s.PixelCount = fitted(13, [](double v) {
        if (v < 0) throw core::ArithmeticFault("負のピクセル数");
        return core::CLng(v);
    });
    s.SumLevel = single(14);
    s.MaxLevel = single(15);
    // Drawing stops at a bad character; the text is kept so that the next save loses nothing.
    s.Outline = std::move(f[15]);
    oddOutline = s.Outline.find_first_not_of("01234567") != std::string::npos;
    s.HankeiAve = single(17);
    s.HankeiMax = single(18);
    s.HankeiMin = single(19);
    s.HankeiSD = single(20);
    s.SinendoRatio = single(21);
    s.Spare1 = single(22);
    s.Spare2 = single(23);
    s.Spare3 = single(24);
    s.Spare4 = single(25);
    c.Divided = 0;
    c.Used = -1;
    if (bad) return bad;
    if (!bounds.holdsSeed(c.StartX, c.StartY))
        return "開始位置 (" + f[1] + ", " + f[2] + ") が画像の外です";
    if (!bounds.holdsCentre(s.CenterX, s.CenterY))
        return "重心 (" + f[10] + ", " + f[11] + ") が画像から遠く離れています";
    return std::nullopt;
}

}  // namespace

namespace {

core::Error damaged(const std::string& why, const std::string& dataFile) {
    return core::Error{"データファイルが壊れています: " + why + "\n" + dataFile +
                       "\n読み込みを中止しました。"};
}

}  // namespace

core::Result<ResultRecord> parseResultLine(const std::string& line, int32_t width, int32_t height) {
    Record r;
    bool odd = false;
    if (auto why = parseRecord(line, PictureBounds::of(width, height), r, odd))
        return core::Error{*why};
    return r;
}

core::Result<ResultFiles> readResultFiles(const std::string& iniFile, const std::string& dataFile) {
    if (!core::fileExists(dataFile)) return core::Error{"データファイルが存在しません。"};
    if (!core::fileExists(iniFile))
        return core::Error{"結果の設定ファイルがありません: " + iniFile +
                           "\n読み込みを中止します。"};
    auto pair = readPairBytes(iniFile, dataFile);
    if (!pair) return core::Error{pair.error()};
    ParsedResults p;
    const core::IniFile ini = core::IniFile::fromText(pair->ini);
    auto get = [&](const char* section, const std::string& key) { return ini.get(section, key); };
    core::readDetectionSettings(ini, p.settings);
    p.doFilePath = get("FILE", "DoFilePath");
    p.doFileName = get("FILE", "DoFileName");
    p.imageWidthP = core::ValLng(get("SYSTEM", "ImageWidthP"));
    p.imageHeightP = core::ValLng(get("SYSTEM", "ImageHeightP"));
    p.maxStarNo = core::ValLng(get("RESULT", "MaxStarNo"));
    const PictureBounds bounds = PictureBounds::of(p.imageWidthP, p.imageHeightP);
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 10; ++j)
            p.starAtrNo[i][j] = core::ValLng(get("RESULT", starAtrKey(i, j)));
    if (pair->sum) {
        p.pictureChecksum = pair->sum->picture;
        p.summed = true;
        p.restored = pair->restored;
    }
    p.origin = pairOrigin(pair->data);
    p.iniBytes = pair->ini;
    p.summedWith = std::move(pair->others);

    // Without a sum file the structure is all there is to go by.
    std::optional<PairStructure> structure;
    if (!pair->sum) structure.emplace(p, pair->data);
    if (structure)
        if (auto why = structure->atStart()) return damaged(*why, dataFile);
    int lineNo = 0;
    std::string decoded;
    for (const std::string& line : core::splitLines(core::textOf(pair->data, decoded))) {
        ++lineNo;
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        Record r;
        bool odd = false;
        if (auto why = parseRecord(line, bounds, r, odd))
            return core::Error{"データファイルの " + std::to_string(lineNo) +
                               " 行目を読めません: " + *why + "\n" + dataFile +
                               "\n読み込みを中止しました。"};
        if (structure)
            if (auto why = structure->record(r, lineNo)) return damaged(*why, dataFile);
        p.oddOutlines += odd;
        p.records.push_back(std::move(r));
    }
    if (structure)
        if (auto why = structure->atEnd(p.records.size())) return damaged(*why, dataFile);
    if (pair->sum && static_cast<int64_t>(p.records.size()) != pair->sum->records)
        return damaged("記録が " + std::to_string(p.records.size()) + " 件です (" +
                           sumFileOf(dataFile) + " の記録は " + std::to_string(pair->sum->records) +
                           " 件)",
                       dataFile);
    return p;
}

namespace {

void applyResults(Ctx& ctx, ParsedResults& p) {
    Workspace& ws = ctx.ws;
    extract::resetTables(ws);
    core::Settings& s = ws.settings;
    s.HeikinWidth = p.settings.HeikinWidth;
    s.SikiTop = p.settings.SikiTop;
    s.Siki = p.settings.Siki;
    s.NumPixel = p.settings.NumPixel;
    s.NumPixel2 = p.settings.NumPixel2;
    s.Sinendo = p.settings.Sinendo;
    s.SinendoMax = p.settings.SinendoMax;
    s.Margin = p.settings.Margin;
    s.FilterSigma = p.settings.FilterSigma;
    ws.DoFilePath = p.doFilePath;
    ws.DoFileName = p.doFileName;
    ws.StarAtrNo = p.starAtrNo;
    ws.ResultsFrom = p.origin;
    // Every number in use must lie within 1..MaxStarNo, whatever the file says.
    int32_t highest = 0;
    for (const Record& r : p.records) highest = std::max(highest, r.number);
    ws.MaxStarNo = std::clamp(std::max(p.maxStarNo, highest), 0, extract::kMaxStarNo);
    extract::noteTableUse(ws);
    form::showDetectionSettings(ctx);
    for (Record& r : p.records) {
        ws.Clusters[r.number] = std::move(r.cluster);
        ws.Stars[r.number] = std::move(r.star);
    }
}

struct ReadPaths {
    std::string iniFile, dataFile;
};

ReadPaths readPaths(const Workspace& ws, const std::string& dataPath, const std::string& dataName) {
    if (dataPath == "clipboard") {
        const std::string folder = ws.folders.writableFolder();
        return {core::joinPath(folder, "clipboard.ini"), core::joinPath(folder, "clipboard.dat")};
    }
    return {core::joinPath(dataPath, dataName + ".ini"), core::joinPath(dataPath, dataName)};
}

// Takes checked results (with the measurements saved beside them) into the working state and
// logs the reading.
void takeResults(Ctx& ctx, ParsedResults& parsed, const std::string& dataFile) {
    applyResults(ctx, parsed);
    catalogue::measure::takeSavedMeasures(ctx.ws, parsed, dataFile);
    ctx.ws.Unsaved.clear();  // the window's unsaved-work guard: the results are as on disk
    form::OV_Logout(ctx, "■データ読込完了");
}

std::string replaceHandWorkQuestion(const ResultPaths& paths) {
    return "保存先の結果には手作業の編集（削除・手動追加・メモ・ノイズ解除）があります。\n"
           "いまの結果はその結果から作ったものではないため、保存すると編集が置き換わります。\n"
           "置き換える前の結果は " +
           core::fileNameOf(backupOf(paths.dataFile)) + " と " +
           core::fileNameOf(backupOf(paths.iniFile)) + " として残します。保存しますか？";
}

// The tile file of a tile processed alone (its name without ".bmp") is looked for in the tile
// folder; a tile cut but never saved has none.
std::string missingPictureMessage(const std::string& folder, const std::string& name) {
    if (tiles::isTileId(name))
        return "分割画像のファイルが見つかりません: " + core::joinPath(folder, name + ".bmp") +
               "\nこの結果の分割画像は切り出されただけで、ファイルに保存されていません。"
               "分割画像指定の画面で「分割画像出力」か「全分割画像出力」で保存してから、"
               "もう一度読み込んでください。";
    return "結果が指す画像ファイルが見つかりません: " + core::joinPath(folder, name) +
           "\n読み込みを中止しました。";
}

// Said on the message line once the results are shown.
std::string readNotice(const ParsedResults& p) {
    std::string notice;
    if (p.restored)
        notice = "保存が途中で止まっていたため、その前に保存されていた結果の組に戻しました。";
    if (p.oddOutlines > 0)
        notice += std::to_string(p.oddOutlines) +
                  " 個の外形データに 0〜7 以外の文字があります。外形はその文字の手前まで描きます。";
    return notice;
}

}  // namespace

core::Result<void> OV_ReadData(Ctx& ctx, const std::string& dataPath, const std::string& dataName) {
    const ReadPaths paths = readPaths(ctx.ws, dataPath, dataName);
    auto parsed = readResultFiles(paths.iniFile, paths.dataFile);
    if (!parsed) return core::Error{parsed.error()};
    takeResults(ctx, parsed.value(), paths.dataFile);
    ctx.frm.lblMsg.Caption = readNotice(parsed.value());
    return {};
}

void cmdSaveData_Click(Ctx& ctx) {
    const int16_t before = ctx.ws.ProcStage;
    form::setStage(ctx, core::kStageSaving);
    // Hand work saved earlier is never replaced without asking, and then kept as ".bak".
    const ResultPaths paths = resultPaths(ctx.ws);
    const bool replacing = replacesHandWork(ctx.ws, paths);
    if (replacing && ctx.host.msgBox(replaceHandWorkQuestion(paths), form::MsgButtons::OkCancel) !=
                         form::MsgAnswer::Ok) {
        form::setStage(ctx, before);
        form::OV_DispMsg(ctx, "保存を取りやめました。保存済みの結果はそのままです。");
        return;
    }
    auto saved = OV_SaveData(ctx);
    if (!saved) {
        ctx.host.msgBox("結果を保存できませんでした。\n" + saved.error(), form::MsgButtons::Ok);
        form::setStage(ctx, before);
        return;
    }
    ctx.host.msgBox(core::isClipboardPicture(ctx.ws)
                        ? "結果をプログラムの起動フォルダーに保存しました。"
                        : "結果を画像ファイル名と同じ名前のフォルダに保存しました。",
                    form::MsgButtons::Ok);
    form::setStage(ctx, core::kStageSaved);
    if (replacing)
        form::OV_DispMsg(ctx, "置き換える前の結果を " + core::fileNameOf(backupOf(paths.dataFile)) +
                                  " と " + core::fileNameOf(backupOf(paths.iniFile)) +
                                  " に残しました。");
}

void cmdReadData_Click(Ctx& ctx) {
    Workspace& ws = ctx.ws;
    const int16_t before = ws.ProcStage;
    const view::ShownViews viewsBefore = view::shownViews(ctx);
    form::setStage(ctx, core::kStageReading);
    auto restore = [&] {
        form::setStage(ctx, before);
        view::restoreViews(ctx, viewsBefore);
    };

    // Without a working folder the dialog starts in the current picture's result folder.
    std::string startFolder = ws.settings.WorkPath;
    if (startFolder.empty() && !ws.DoFileName.empty() && !core::isClipboardPicture(ws) &&
        core::folderExists(core::resultFolder(ws)))
        startFolder = core::resultFolder(ws);
    auto chosen = ctx.host.openFileDialog(startFolder, "抽出結果データファイル(*.dat)|*.dat");
    const std::string folder = chosen ? core::GetFolderName(*chosen) : "";
    const std::string name = chosen ? core::fileNameOf(*chosen) : "";
    if (folder.empty() || name.empty()) return restore();
    if (!core::fileExists(core::joinPath(folder, name))) {
        ctx.host.msgBox("データファイルが存在しません。", form::MsgButtons::Ok);
        return restore();
    }

    // Everything is checked before anything changes: both files, and the picture they name.
    const ReadPaths paths = readPaths(ws, folder, name);
    auto parsed = readResultFiles(paths.iniFile, paths.dataFile);
    if (!parsed) {
        ctx.host.msgBox(parsed.error(), form::MsgButtons::Ok);
        restore();
        // Why stays on the message line once the box is closed.
        form::OV_DispMsg(ctx, parsed.error().substr(0, parsed.error().find('\n')));
        return;
    }
    // A tile processed alone is named without ".bmp"; its picture is the tile's file.
    const std::string picture = tiles::pictureFileOf(parsed->doFilePath, parsed->doFileName);
    if (parsed->doFileName.empty() || !core::fileExists(picture)) {
        ctx.host.msgBox(missingPictureMessage(parsed->doFilePath, parsed->doFileName),
                        form::MsgButtons::Ok);
        return restore();
    }
    takeResults(ctx, parsed.value(), paths.dataFile);

    // A picture that no longer decodes ends here with the loader's "Error!" and stage 0.
    if (!input::cmdDataIn_Click(ctx, input::kSourceNamed)) return;
    extract::rebuildReadMap(ws);
    view::cmdReDisp_Click(ctx);
    form::OV_DispMsg(ctx, readNotice(parsed.value()));
    ctx.host.msgBox("抽出結果を読み込みました。確認や編集作業が行えます。", form::MsgButtons::Ok);
    form::setStage(ctx, core::kStageRead);
}

}  // namespace orv::results
