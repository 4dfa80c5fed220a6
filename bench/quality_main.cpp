// orvandel-quality: how well the engine finds and measures stars at given settings, on
// generated grey fields whose true catalogue is known (bench/quality.h says how results and
// stars are matched). One table line per settings set and field:
//
//   completeness of all stars, of isolated single stars, of close-pair members and of the
//   faintest flux quartile; the false-detection rate (results that are not noise and match
//   no star, over all such results); the centroid RMS and mean offset of the brightest tenth
//   of the isolated stars; whether the cluster table filled.
//
// Modes: the recipes of the README's settings guide (default), a sweep of the threshold in
// units of the measured noise (--k), and a grid over HeikinWidth, Siki, NumPixel and the gourd
// split (--grid). Single-threaded; a run on a 2048 x 2048 field takes a few hundredths of a
// second.

#include <charconv>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/quality.h"
#include "bench/starfield.h"
#include "control/stage_refresh.h"
#include "core/numeric.h"
#include "core/settings.h"
#include "extract/analysis.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "form/context.h"
#include "form/headless_host.h"
#include "input/background.h"
#include "input/clusters.h"
#include "input/image_load.h"
#include "input/noise.h"

namespace {

using namespace orv;

constexpr const char* kUsage = R"(Usage: orvandel-quality [options]

Runs the detection on generated grey star fields (one per noise level) and compares the
results with the true catalogue.

  --size N        field width and height in pixels (default 2048)
  --stars N       stars per field (default 4000; 3 % of them in close pairs, 1 % saturated)
  --noise LIST    noise sigma of each field, comma-separated (default 1,2,3)
  --seed S        random seed of the fields (default 1)
  --k LIST        sweep Siki = K x the measured noise sigma over the K values given, the other
                  settings standard, and add a line summing all fields for each K
  --grid          sweep HeikinWidth 2,4,8,15 (the half-width n of the (2n+1)^2 background
                  window), Siki 3,4,5,6,8, NumPixel 2,3,5,8 and the gourd split off/on
  --filter LIST   the detection filter at each sigma given (pixels), with Siki = K x the
                  noise sigma of the smoothed residual for each K of --k (default 3.25), the
                  gourd split off and on, after the standard settings and the suggested
                  2.75 sigma without it
  --heikin LIST   with --filter: the background half-widths n (default 4)
  --numpixel LIST with --filter: the NumPixel values (default 5)
  --split-step S  with --filter: the gourd split's rise per step on the smoothed residual
                  (default 0.2 levels)
  --help          show this text

Without --k or --grid: the recipes of the settings guide, each with the standard Siki 4 and
with Siki = 2.75 sigma: the standard settings; HeikinWidth 15; NumPixel 3; the gourd split.
)";

struct Options {
    int size = 2048;
    int stars = 4000;
    std::vector<double> noise{1.0, 2.0, 3.0};
    uint64_t seed = 1;
    std::vector<double> k;
    bool grid = false;
    std::vector<double> filter;
    std::vector<double> heikin{4};
    std::vector<double> numPixel{5};
    double splitStep = 0.2;
};

std::optional<std::vector<double>> numberList(std::string_view text) {
    std::vector<double> out;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        double v = 0.0;
        auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), v);
        if (ec != std::errc() || ptr != item.data() + item.size() || !(v > 0.0)) return {};
        out.push_back(v);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    }
    if (out.empty()) return {};
    return out;
}

template <typename T>
bool wholeNumber(std::string_view text, T& value, T lo, T hi) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size() && value >= lo && value <= hi;
}

// Fills `o`; returns an error message, or "" when the arguments are fine.
std::string parse(const std::vector<std::string_view>& args, Options& o, bool& help) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--help" || a == "-h") {
            help = true;
            return "";
        }
        if (a == "--grid") {
            o.grid = true;
            continue;
        }
        if (i + 1 >= args.size()) return std::string(a) + " needs a value or is unknown";
        const std::string_view v = args[++i];
        bool ok = true;
        if (a == "--size") {
            ok = wholeNumber(v, o.size, 64, 8192);
        } else if (a == "--stars") {
            ok = wholeNumber(v, o.stars, 0, 1'000'000);
        } else if (a == "--seed") {
            ok = wholeNumber<uint64_t>(v, o.seed, 0, UINT64_MAX);
        } else if (a == "--split-step") {
            auto list = numberList(v);
            ok = list && list->size() == 1;
            if (ok) o.splitStep = list->front();
        } else if (a == "--noise" || a == "--k" || a == "--filter" || a == "--heikin" ||
                   a == "--numpixel") {
            auto list = numberList(v);
            ok = list.has_value();
            if (ok)
                (a == "--noise"    ? o.noise
                 : a == "--k"      ? o.k
                 : a == "--filter" ? o.filter
                 : a == "--heikin" ? o.heikin
                                   : o.numPixel) = *list;
        } else {
            return "unknown option " + std::string(a);
        }
        if (!ok) return "bad value for " + std::string(a) + ": " + std::string(v);
    }
    return "";
}

// The dense field of the benchmarks in grey (every channel the same).
bench::FieldSpec fieldSpec(const Options& o, double noise) {
    bench::FieldSpec s = bench::denseField(o.size, o.size, o.stars, 0);
    s.seed = o.seed;
    s.noiseSigma = noise;
    s.colour = false;
    return s;
}

// The engine without a window, as the command line runs it.
class Engine {
public:
    explicit Engine(const form::Picture& picture) {
        frm_.disableDrawing();
        ws_.settings = core::defaultSettings();
        extract::resetTables(ws_);
        ws_.ProcStage = core::kStageBatch;
        ws_.DoFilePath = "/nonexistent";  // no log is written
        ws_.DoFileName = "field.bmp";
        host_.decoder = [picture](const std::string&) -> core::Result<form::Picture> {
            return picture;
        };
        input::cmdDataIn_Click(ctx_, input::kSourceNamed);
    }
    // Background with half-width n (and the detection filter of that sigma, 0 = off); returns
    // the measured noise (of the smoothed residual with the filter).
    double background(int32_t n, float filterSigma = 0) {
        ws_.settings.HeikinWidth = n;
        ws_.settings.FilterSigma = filterSigma;
        input::cmdIdoHeikin_Click(ctx_);
        return ws_.NoiseSigma;
    }
    void setSplitStep(double step) { ws_.FilterSplitStep = step; }
    // Clusters and analysis on the current background.
    void detect(float siki, float numPixel, bool hyotan) {
        ws_.settings.Siki = siki;
        ws_.settings.NumPixel = numPixel;
        frm_.chkHyotan.Value = hyotan ? 1 : 0;
        input::cmdPickup_Click(ctx_);
        clusters_ = ws_.MaxStarNo;
        full_ = ws_.tableFull.stoppedAtRow > 0;
        extract::cmdCenterCal_Click(ctx_);
    }
    // Clusters of every class made by the cluster step, and whether it stopped numbering them
    // because the table was full.
    int32_t clusters() const { return clusters_; }
    bool full() const { return full_; }
    const core::Workspace& ws() const { return ws_; }

private:
    core::Workspace ws_;
    form::FrmOrvandel frm_;
    form::HeadlessHost host_;
    form::Ctx ctx_{ws_, frm_, host_, nullptr, control::stageRefresh()};
    int32_t clusters_ = 0;
    bool full_ = false;
};

struct Field {
    double noise = 0.0;
    bench::StarField stars;
    form::Picture picture;
};

Field makeField(const Options& o, double noise) {
    Field f;
    f.noise = noise;
    f.stars = bench::generateStarField(fieldSpec(o, noise));
    auto rgb = std::make_shared<std::vector<uint8_t>>(std::move(f.stars.rgb));
    f.stars.rgb.clear();
    f.picture = form::Picture::fromRgb(f.stars.width, f.stars.height, rgb);
    return f;
}

std::string fixed(double v, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

void printHeader() {
    std::printf(
        "| noise (measured) | HeikinWidth | Siki | NumPixel | gourd | results | all | isolated "
        "| pairs | faint 1/4 | false | RMS px | bias x, y px | clusters |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
}

void printLine(const std::string& field, int32_t n, const std::string& siki, float numPixel,
               bool hyotan, const bench::QualityFigures& q, int32_t clusters, bool full) {
    std::printf("| %s | %d | %s | %s | %s | %d | %s | %s | %s | %s | %s | %s | %s, %s | %s |\n",
                field.c_str(), n, siki.c_str(), core::generalForm(numPixel).c_str(),
                hyotan ? "on" : "off", q.results, fixed(q.completeness(), 3).c_str(),
                fixed(q.completenessIsolated(), 3).c_str(), fixed(q.completenessPairs(), 3).c_str(),
                fixed(q.completenessFaint(), 3).c_str(), fixed(q.falseRate(), 3).c_str(),
                fixed(q.rms, 3).c_str(), fixed(q.biasX, 3).c_str(), fixed(q.biasY, 3).c_str(),
                (std::to_string(clusters) + (full ? " FULL" : "")).c_str());
    std::fflush(stdout);
}

std::string fieldName(const Field& f, double measured) {
    return fixed(f.noise, 1) + " (" + fixed(measured, 2) + ")";
}

bench::QualityFigures run(Engine& e, const Field& f, float siki, float numPixel, bool hyotan) {
    e.detect(siki, numPixel, hyotan);
    return bench::assess(f.stars.stars, bench::resultsOf(e.ws()));
}

// The settings guide's recipes on every field: the standard settings, a wide background
// window, a low NumPixel and the gourd split, each with the standard Siki and with the
// suggested Siki = K sigma.
void recipes(const std::vector<Field>& fields) {
    const core::Settings standard = core::defaultSettings();
    constexpr int32_t kWide = 15;
    for (const Field& f : fields) {
        Engine e(f.picture);
        const double sigma = e.background(standard.HeikinWidth);
        const int32_t suggested = input::suggestedSiki(sigma, input::kSuggestedSigmaFactor);
        const std::string name = fieldName(f, sigma);
        const struct {
            float siki;
            std::string text;
        } thresholds[] = {
            {standard.Siki, core::generalForm(standard.Siki)},
            {static_cast<float>(suggested),
             core::generalForm(suggested) + " = " +
                 core::generalForm(static_cast<float>(input::kSuggestedSigmaFactor)) + "σ"}};
        for (const auto& t : thresholds) {
            auto line = [&](float numPixel, bool hyotan) {
                const auto q = run(e, f, t.siki, numPixel, hyotan);
                printLine(name, e.ws().settings.HeikinWidth, t.text, numPixel, hyotan, q,
                          e.clusters(), e.full());
            };
            e.background(standard.HeikinWidth);
            line(standard.NumPixel, false);
            line(3, false);
            line(standard.NumPixel, true);
            e.background(kWide);
            line(standard.NumPixel, false);
        }
    }
}

// Siki = K sigma for every K on every field, and the sum over the fields per K. Then how many
// clusters the sky alone makes at each of those thresholds (the same field without stars),
// and so from what picture size on the cluster table fills with sky.
void sweepK(const Options& o, const std::vector<Field>& fields, const std::vector<double>& ks) {
    const core::Settings standard = core::defaultSettings();
    auto kText = [](double k) { return core::generalForm(static_cast<float>(k)) + "σ"; };
    std::vector<bench::QualityFigures> sums(ks.size());
    std::vector<int32_t> clusters(ks.size(), 0);
    std::vector<bool> full(ks.size(), false);
    std::vector<std::vector<int32_t>> sikis(fields.size());
    for (size_t j = 0; j < fields.size(); ++j) {
        const Field& f = fields[j];
        Engine e(f.picture);
        const double sigma = e.background(standard.HeikinWidth);
        for (size_t i = 0; i < ks.size(); ++i) {
            const int32_t siki = input::suggestedSiki(sigma, ks[i]);
            sikis[j].push_back(siki);
            const auto q = run(e, f, static_cast<float>(siki), standard.NumPixel, false);
            printLine(fieldName(f, sigma), standard.HeikinWidth,
                      core::generalForm(siki) + " = " + kText(ks[i]), standard.NumPixel, false, q,
                      e.clusters(), e.full());
            sums[i].add(q);
            clusters[i] = std::max(clusters[i], e.clusters());
            full[i] = full[i] || e.full();
        }
    }
    for (size_t i = 0; i < ks.size(); ++i)
        printLine("all fields", standard.HeikinWidth, kText(ks[i]), standard.NumPixel, false,
                  sums[i], clusters[i], full[i]);

    std::printf(
        "\n| noise | K | Siki | Siki / sky sigma | sky clusters per Mpx | sky fills the table "
        "from (Mpx) |\n|---|---|---|---|---|---|\n");
    Options sky = o;
    sky.stars = 0;
    const double mpx = static_cast<double>(o.size) * o.size / 1e6;
    for (size_t j = 0; j < fields.size(); ++j) {
        Engine e(makeField(sky, fields[j].noise).picture);
        const double sigma = e.background(standard.HeikinWidth);
        for (size_t i = 0; i < ks.size(); ++i) {
            e.detect(static_cast<float>(sikis[j][i]), standard.NumPixel, false);
            const double perMpx = e.clusters() / mpx;
            const bool skyFull = e.full();
            const std::string fills = skyFull             ? "-"
                                      : e.clusters() == 0 ? "never seen"
                                                          : fixed(extract::kMaxStarNo / perMpx, 0);
            std::printf("| %s | %s | %d | %s | %s%s | %s |\n", fixed(fields[j].noise, 1).c_str(),
                        kText(ks[i]).c_str(), sikis[j][i], fixed(sikis[j][i] / sigma, 2).c_str(),
                        skyFull ? "> " : "", fixed(perMpx, 0).c_str(), fills.c_str());
        }
    }
}

void printFilterHeader() {
    std::printf(
        "| noise (measured) | filter σ | HeikinWidth | Siki | NumPixel | gourd | results | all | "
        "isolated | pairs | faint 1/4 | false | RMS px | clusters |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
}

void printFilterLine(const std::string& field, float filter, int32_t n, const std::string& siki,
                     float numPixel, bool hyotan, const bench::QualityFigures& q, int32_t clusters,
                     bool full) {
    std::printf("| %s | %s | %d | %s | %s | %s | %d | %s | %s | %s | %s | %s | %s | %s |\n",
                field.c_str(), filter > 0 ? core::generalForm(filter).c_str() : "off", n,
                siki.c_str(), core::generalForm(numPixel).c_str(), hyotan ? "on" : "off", q.results,
                fixed(q.completeness(), 3).c_str(), fixed(q.completenessIsolated(), 3).c_str(),
                fixed(q.completenessPairs(), 3).c_str(), fixed(q.completenessFaint(), 3).c_str(),
                fixed(q.falseRate(), 3).c_str(), fixed(q.rms, 3).c_str(),
                (std::to_string(clusters) + (full ? " FULL" : "")).c_str());
    std::fflush(stdout);
}

// The detection filter on every field: first the standard settings and the suggested 2.75
// sigma without it, then each filter sigma, background half-width, K (Siki = K x the smoothed
// residual's sigma, two decimals), NumPixel, and the gourd split off and on.
void filterSweep(const Options& o, const std::vector<Field>& fields) {
    const core::Settings standard = core::defaultSettings();
    const std::vector<double> ks =
        o.k.empty() ? std::vector<double>{input::kSuggestedFilterSigmaFactor} : o.k;
    printFilterHeader();
    for (const Field& f : fields) {
        Engine e(f.picture);
        e.setSplitStep(o.splitStep);
        const double sigma = e.background(standard.HeikinWidth);
        const int32_t suggested = input::suggestedSiki(sigma, input::kSuggestedSigmaFactor);
        const std::string name = fieldName(f, sigma);
        for (bool hyotan : {false, true}) {
            for (float siki : {standard.Siki, static_cast<float>(suggested)}) {
                const auto q = run(e, f, siki, standard.NumPixel, hyotan);
                printFilterLine(name, 0, standard.HeikinWidth, core::generalForm(siki),
                                standard.NumPixel, hyotan, q, e.clusters(), e.full());
            }
        }
        for (double filter : o.filter)
            for (double n : o.heikin) {
                const double smoothedSigma =
                    e.background(static_cast<int32_t>(n), static_cast<float>(filter));
                const std::string smoothedName =
                    fixed(f.noise, 1) + " (" + fixed(smoothedSigma, 3) + " smoothed)";
                for (double k : ks) {
                    const float siki = input::suggestedFilterSiki(smoothedSigma, k);
                    const std::string text = core::generalForm(siki) + " = " +
                                             core::generalForm(static_cast<float>(k)) + "σ";
                    for (double numPixel : o.numPixel)
                        for (bool hyotan : {false, true}) {
                            const auto q = run(e, f, siki, static_cast<float>(numPixel), hyotan);
                            printFilterLine(smoothedName, static_cast<float>(filter),
                                            static_cast<int32_t>(n), text,
                                            static_cast<float>(numPixel), hyotan, q, e.clusters(),
                                            e.full());
                        }
                }
            }
    }
}

void grid(const std::vector<Field>& fields) {
    for (const Field& f : fields) {
        Engine e(f.picture);
        for (int32_t n : {2, 4, 8, 15}) {
            const std::string name = fieldName(f, e.background(n));
            for (float siki : {3.0f, 4.0f, 5.0f, 6.0f, 8.0f})
                for (float numPixel : {2.0f, 3.0f, 5.0f, 8.0f})
                    for (bool hyotan : {false, true}) {
                        const auto q = run(e, f, siki, numPixel, hyotan);
                        printLine(name, n, core::generalForm(siki), numPixel, hyotan, q,
                                  e.clusters(), e.full());
                    }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    bool help = false;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const std::string error = parse(args, o, help); !error.empty()) {
        std::fprintf(stderr, "orvandel-quality: %s\n\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::vector<Field> fields;
    try {
        for (double noise : o.noise) fields.push_back(makeField(o, noise));
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "orvandel-quality: %s\n", e.what());
        return 2;
    }
    const bench::FieldSpec spec = fieldSpec(o, 0.0);
    std::printf("%d x %d grey fields, %d stars each (%d close pairs, %d saturated), seed %llu\n\n",
                o.size, o.size, o.stars, spec.pairCount, spec.saturatedCount,
                static_cast<unsigned long long>(o.seed));
    if (!o.filter.empty()) {
        filterSweep(o, fields);
        return 0;
    }
    printHeader();
    if (o.grid)
        grid(fields);
    else if (!o.k.empty())
        sweepK(o, fields, o.k);
    else
        recipes(fields);
    return 0;
}
