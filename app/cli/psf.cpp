// `psf`: the PSF mode without a window: the profiles of chosen stars of a picture whose results
// are saved, adopted as 採用 adopts them, with the mean and spread of sigma, and optionally the
// PSF files as 保存 writes them.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/picture_catalogue.h"
#include "cli.h"
#include "control/stage_refresh.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "form/context.h"
#include "form/headless_host.h"
#include "formats/guarded_picture.h"
#include "input/image_load.h"
#include "psf/entries.h"
#include "psf/profile.h"
#include "psf/psf_files.h"
#include "psf/records.h"
#include "results/data_files.h"

namespace orv::cli {
namespace {

const char* const kPsfUsage =
    "usage: orvandel-cli psf [--settings FILE] [--star N]... [--save FOLDER]\n"
    "                        [--channel R|G|B|Y] [--stretch S] [--out-dir DIR] IMAGE\n"
    "\n"
    "Measures the point-spread function of a picture whose results are saved (run detect on it\n"
    "first): for each star, the ring profile about its centroid and the Gaussian fitted to it,\n"
    "as the window's PSF page computes them with the PSF settings PSFAnnulus, PSFDAnnulus and\n"
    "PSFFactorRSD. One line per star goes to standard output:\n"
    "\n"
    "  N x y sigma peak sky      (centroid, sigma in pixels, peak and sky in levels)\n"
    "  N skipped: REASON         (within 15 pixels of an edge, no fit, ...)\n"
    "\n"
    "Every profile measured is then adopted as the window's 採用 adopts it, and two lines give\n"
    "the mean of sigma and its population standard deviation:\n"
    "\n"
    "  PSFsd = 1.86\n"
    "  PSFsdd = 0.07\n"
    "\n"
    "  --settings FILE    the PSF settings (and the stretch) from FILE instead of the\n"
    "                     program's Orvandel.ini\n"
    "  --star N           measure result N (repeatable); default: every circular result\n"
    "                     that is not deleted, in number order\n"
    "  --save FOLDER      write PSFData.txt and PSFData.ini into FOLDER as 保存 does\n"
    "  --channel R|G|B|Y  the channel the picture was detected in (default B)\n"
    "  --stretch S        how a FITS or 16-bit picture becomes 8-bit levels (default: the\n"
    "                     settings file's); use the one the detection used\n"
    "  --out-dir DIR      the results are in DIR/IMAGE.dir (as detect --out-dir DIR saved\n"
    "                     them) instead of beside the picture\n"
    "\n"
    "The PSF table holds 100 entries: further profiles are printed but not adopted.\n"
    "Exit status: 0 done, 1 no results or picture, a star named with --star skipped, no profile\n"
    "measured, a profile not adopted, or the files not written, 2 usage error or unusable\n"
    "settings.\n";

const std::vector<OptionSpec> kPsfOptions = {{"--settings", "", true}, {"--star", "", true},
                                             {"--save", "", true},     {"--channel", "", true},
                                             {"--stretch", "", true},  {"--out-dir", "", true}};

// A number without an exponent (the summary lines are read by people and simple scripts).
std::string plainDecimal(float v) {
    const std::string g = core::generalForm(v);
    if (g.find('E') == std::string::npos) return g;
    return core::Format(v, "0.##############################", 7);
}

void fail(const std::string& image, const std::string& why) {
    std::fprintf(stderr, "orvandel-cli: %s: %s\n", image.c_str(), why.c_str());
}

}  // namespace

int runPsf(const std::vector<std::string>& args) {
    int exitCode = kDone;
    auto parsed = parseArgs(args, kPsfOptions, kPsfUsage, exitCode);
    if (!parsed) return exitCode;
    if (parsed->operands.size() != 1)
        return usageError(parsed->operands.empty() ? "no picture given" : "psf takes one picture",
                          kPsfUsage);
    auto engine = engineOptions(*parsed, kPsfUsage, exitCode);
    if (!engine) return exitCode;
    std::vector<int32_t> named;
    for (const std::string& text : parsed->all("--star")) {
        const auto v = core::parseNumber(text);
        if (!v || *v != static_cast<int32_t>(*v) || *v < 1 || *v > extract::kMaxStarNo)
            return usageError("--star takes a result number from 1 to 50000, not " + text,
                              kPsfUsage);
        named.push_back(static_cast<int32_t>(*v));
    }

    auto outDir = outDirOption(*parsed, kPsfUsage, exitCode);
    if (!outDir) return exitCode;
    const std::string image = parsed->operands[0];
    const std::string path = absolutePath(image);
    core::Workspace ws;
    ws.folders = core::ProgramFolders::forExecutable();
    auto settings = loadSettings(engine->settingsFile, ws.folders);
    if (!settings) return kUsageError;
    ws.settings = *settings;
    if (engine->stretch) ws.settings.Stretch = *engine->stretch;
    if (const std::string problem = psf::settingsProblem(ws.settings); !problem.empty()) {
        fail(image, "no profile can be fitted: " + problem);
        return kFailed;
    }

    // The saved results, read without touching anything.
    const std::string name = core::fileNameOf(path);
    const std::string dataFile = catalogue::savedDataFile(path, *outDir);
    if (!core::fileExists(dataFile)) {
        fail(image, "no saved results: " + dataFile + " not found (run orvandel-cli detect first)");
        return kFailed;
    }
    auto results = results::readResultFiles(dataFile + ".ini", dataFile);
    if (!results) {
        fail(image, results.error());
        return kFailed;
    }

    // The picture, loaded as a batch run loads one (quietly, nothing drawn).
    form::FrmOrvandel frm;
    frm.disableDrawing();
    form::HeadlessHost host;
    host.clock = form::systemNow;
    host.decoder = formats::guardedDecoder();
    form::Ctx ctx{ws, frm, host, nullptr, control::stageRefresh()};
    for (int i = 0; i < 4; ++i) frm.optChannel[i].Value = i == engine->channel;
    extract::resetTables(ws);
    ws.ProcStage = core::kStageBatch;
    ws.DoFilePath = core::GetFolderName(path);
    ws.DoFileName = name;
    ws.ResultRoot = *outDir;
    if (!input::cmdDataIn_Click(ctx, input::kSourceNamed)) {
        fail(image, ws.lastLoadError.empty() ? "the picture cannot be read" : ws.lastLoadError);
        return kFailed;
    }
    if (results->imageWidthP > 0 &&
        (results->imageWidthP != ws.ImageWidthP || results->imageHeightP != ws.ImageHeightP)) {
        fail(image, "the results are of a picture of " + std::to_string(results->imageWidthP) +
                        " x " + std::to_string(results->imageHeightP) + ", this one is " +
                        std::to_string(ws.ImageWidthP) + " x " + std::to_string(ws.ImageHeightP));
        return kFailed;
    }
    int32_t highest = 0;
    for (const auto& r : results->records) highest = std::max(highest, r.number);
    ws.MaxStarNo = highest;
    extract::noteTableUse(ws);
    for (auto& r : results->records) {
        ws.Clusters[r.number] = r.cluster;
        ws.Stars[r.number] = r.star;
    }

    // The stars named, in the order given; or every circular result not deleted, by number.
    std::vector<int32_t> stars = named;
    if (named.empty()) {
        for (const auto& r : results->records)
            if (r.cluster.Atr == extract::kAtrCircular &&
                (r.cluster.EditAtr & extract::kEditDeleted) == 0)
                stars.push_back(r.number);
        std::sort(stars.begin(), stars.end());
        stars.erase(std::unique(stars.begin(), stars.end()), stars.end());
    }

    bool complete = true;
    int measured = 0, notAdopted = 0;
    for (int32_t n : stars) {
        const std::string no = std::to_string(n);
        if (n > ws.MaxStarNo || ws.Clusters[n].Used != -1) {
            std::printf("%s skipped: no result %s\n", no.c_str(), no.c_str());
            complete = complete && named.empty();
            continue;
        }
        const auto& s = ws.Stars[n];
        const psf::Measurement m = psf::measureProfile(ws, ws.settings, s.CenterX, s.CenterY);
        if (m.outcome != psf::Measurement::Outcome::Fitted) {
            std::printf("%s skipped: %s\n", no.c_str(), psf::skipReason(m, ws.settings).c_str());
            complete = complete && named.empty();
            continue;
        }
        ++measured;
        std::printf("%s %s %s %s %s %s\n", no.c_str(), core::generalForm(s.CenterX).c_str(),
                    core::generalForm(s.CenterY).c_str(), core::generalForm(m.fit.sigma).c_str(),
                    core::generalForm(m.fit.peak).c_str(), core::generalForm(m.fit.sky).c_str());
        auto& p = ws.psf;
        p.PSFStarNo = n;
        p.PSFSigma = m.fit.sigma;
        p.PSFPeak = m.fit.peak;
        p.PSFSky = m.fit.sky;
        p.ProfileOwn = true;
        if (psf::adoptProfile(ws) != psf::Adoption::Added) ++notAdopted;
    }
    std::printf("PSFsd = %s\nPSFsdd = %s\n", plainDecimal(ws.psf.PSFsd).c_str(),
                plainDecimal(ws.psf.PSFsdd).c_str());
    if (measured == 0) {
        fail(image, stars.empty() ? "no circular result to measure" : "no profile measured");
        complete = false;
    }
    if (notAdopted > 0) {
        fail(image, std::to_string(notAdopted) + " profiles not adopted: the PSF table holds " +
                        std::to_string(psf::kMaxEntries) + " entries");
        complete = false;
    }

    if (auto folder = parsed->last("--save")) {
        std::error_code ec;
        std::filesystem::create_directories(*folder, ec);
        if (auto written = psf::writePsfFiles(*folder, ws.psf, form::systemNow()); !written) {
            fail(image, written.error());
            complete = false;
        } else {
            std::printf("%s and %s written to %s\n", psf::kPsfDataFile, psf::kPsfIniFile,
                        folder->c_str());
        }
    }
    if (std::fflush(stdout) != 0) complete = false;
    return complete ? kDone : kFailed;
}

}  // namespace orv::cli
