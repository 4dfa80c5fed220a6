#include "catalogue/export_results.h"

#include "catalogue/measure/measure_results.h"
#include "catalogue/measure/sidecar.h"
#include "catalogue/output.h"
#include "core/paths.h"
#include "core/picture_folder.h"
#include "formats/fits.h"
#include "results/saved_records.h"

namespace orv::catalogue {

namespace {

std::string startFolder(const core::Workspace& ws) {
    if (!ws.ExportFolder.empty() && core::folderExists(ws.ExportFolder)) return ws.ExportFolder;
    if (core::isClipboardPicture(ws)) return ws.folders.writableFolder();
    return ws.DoFilePath;
}

}  // namespace

CatalogueMeta workspaceMeta(const core::Workspace& ws, const std::string& picture,
                            const std::string& programVersion) {
    CatalogueMeta meta;
    meta.picture = picture;
    meta.programVersion = programVersion;
    meta.settings = ws.settings;
    meta.stretch = ws.StretchUsed;
    if (!ws.StretchUsed.empty()) {
        meta.stretchBlack = ws.StretchBlack;
        meta.stretchWhite = ws.StretchWhite;
    }
    meta.measures = ws.measures.picture;
    return meta;
}

PictureCatalogue workspaceCatalogue(form::Ctx& ctx) {
    core::Workspace& ws = ctx.ws;
    measure::refreshMeasures(ctx);
    PictureCatalogue out;
    Catalogue& c = out.catalogue;
    c.pictureHeight = ws.ImageHeightP;
    for (int32_t i : results::savedNumbers(ws)) {
        const core::ClusterRec& cl = ws.Clusters[i];
        c.records.push_back(fromResult({i, cl, ws.Stars[i]}, ws.DoFileName));
        if (const core::MeasureRec* m = ws.measures.find(i)) c.records.back().measure = *m;
        c.records.back().measure.flags = measure::currentFlags(cl, c.records.back().measure.flags);
    }
    c.meta = workspaceMeta(ws, ws.DoFileName, ctx.frm.lblVersion.Caption);
    if (!ws.measures.problem.empty())
        out.incomplete.push_back("測光できなかった結果があります: " + ws.measures.problem);
    const std::string picture = core::joinPath(ws.DoFilePath, ws.DoFileName);
    if (core::hasPictureFile(ws) && core::fileExists(picture) && formats::isFitsFile(picture))
        if (auto added = addFitsColumns(c, picture, out.incomplete); !added)
            out.incomplete.push_back(added.error());
    return out;
}

void cmdExport_Click(form::Ctx& ctx) {
    core::Workspace& ws = ctx.ws;
    auto chosen = ctx.host.saveFileDialog(startFolder(ws), ws.DoFileName + ".ecsv", kExportFilter);
    if (!chosen) return;
    const auto format = formatOfPath(*chosen);
    if (!format) {
        ctx.host.msgBox(
            "書き出すファイルの名前は .ecsv .csv .fits .reg のどれかで終えてください。\n" + *chosen,
            form::MsgButtons::Ok);
        return;
    }
    ws.ExportFolder = core::GetFolderName(*chosen);
    ctx.host.setBusy(true);
    const PictureCatalogue read = workspaceCatalogue(ctx);
    const core::Result<void> written = writeCatalogueFile(read.catalogue, *chosen, *format);
    ctx.host.setBusy(false);
    if (!written) {
        ctx.host.msgBox("書き出せませんでした。\n" + written.error(), form::MsgButtons::Ok);
        return;
    }
    std::string text =
        std::to_string(read.catalogue.records.size()) + " 件の結果を書き出しました。\n" + *chosen;
    for (const std::string& why : read.incomplete) text += "\n" + why;
    ctx.host.msgBox(text, form::MsgButtons::Ok);
}

}  // namespace orv::catalogue
