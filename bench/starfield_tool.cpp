// orvandel-starfield: writes a synthetic star field as BMP (any variant of our writer) or JPEG
// (through Qt), or its 16-bit samples as FITS (through CFITSIO) or 16-bit PNG or TIFF (through
// Qt), and optionally its true catalogue as CSV.

#include <QImage>
#include <QImageWriter>
#include <QString>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bmp_writer.h"
#include "bench/fits_writer.h"
#include "bench/starfield.h"
#include "core/text_file.h"

namespace {

using orv::bench::BmpVariant;

constexpr const char* kUsage = R"(Usage: orvandel-starfield --out FILE [options]

Writes a synthetic star field: sky with a gentle gradient, Gaussian noise and Gaussian stars,
some in close pairs and some saturated. The same options always give the same picture.

  --out FILE        the picture; .bmp or .jpg/.jpeg, or 16-bit grey samples (the G channel)
                    as .fits/.fit/.fts, .png or .tif/.tiff
  --deep-scale K    16-bit sample per level of the 8-bit picture (default 200)
  --deep-offset B   16-bit sample of level 0 (default 1000)
  --width W         width in pixels (default 1024)
  --height H        height in pixels (default: the width)
  --stars N         number of stars, pair members and saturated stars included (default 1000)
  --seed S          random seed (default 1)
  --pairs P         number of close pairs (default: 3 % of the stars in pairs)
  --saturated K     number of saturated stars (default: 1 % of the stars)
  --noise SIGMA     noise standard deviation in levels (default 2)
  --sky LEVEL       sky level at the picture centre (default 30)
  --grey            no star colours: R = G = B everywhere
  --bmp VARIANT     rgb24 (default), rgb24-topdown, rgb32, rgb555, indexed8, indexed4, indexed1
  --quality Q       JPEG quality 0..100 (default 90)
  --truth FILE.csv  also write the true catalogue: one line per star
  --help            show this text
)";

struct Options {
    std::string out;
    std::string truth;
    int width = 1024;
    std::optional<int> height;
    int stars = 1000;
    uint64_t seed = 1;
    std::optional<int> pairs;
    std::optional<int> saturated;
    std::optional<double> noise;
    std::optional<double> sky;
    bool grey = false;
    BmpVariant variant = BmpVariant::Rgb24;
    int quality = 90;
    double deepScale = 200.0;
    double deepOffset = 1000.0;
};

template <typename T>
bool parseNumber(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

// Fills `options`; returns an error message, or "" when the arguments are fine.
std::string parseArguments(const std::vector<std::string_view>& args, Options& o, bool& help) {
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string_view name = args[k];
        if (name == "--help" || name == "-h") {
            help = true;
            return "";
        }
        if (name == "--grey") {
            o.grey = true;
            continue;
        }
        static constexpr std::string_view kValued[] = {
            "--out",     "--truth", "--width",      "--height",     "--stars",
            "--seed",    "--pairs", "--saturated",  "--noise",      "--sky",
            "--quality", "--bmp",   "--deep-scale", "--deep-offset"};
        if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued))
            return "unknown option " + std::string(name);
        if (k + 1 >= args.size()) return std::string(name) + " needs a value";
        const std::string_view v = args[++k];
        auto intIn = [&](int& target, int lo, int hi) {
            return parseNumber(v, target) && target >= lo && target <= hi;
        };
        auto optIntIn = [&](std::optional<int>& target, int lo, int hi) {
            int n = 0;
            if (!intIn(n, lo, hi)) return false;
            target = n;
            return true;
        };
        auto optDoubleIn = [&](std::optional<double>& target, double lo, double hi) {
            double d = 0.0;
            if (!parseNumber(v, d) || !(d >= lo && d <= hi)) return false;
            target = d;
            return true;
        };
        bool ok = true;
        if (name == "--out") {
            o.out = v;
        } else if (name == "--truth") {
            o.truth = v;
        } else if (name == "--width") {
            ok = intIn(o.width, 1, 65535);
        } else if (name == "--height") {
            ok = optIntIn(o.height, 1, 65535);
        } else if (name == "--stars") {
            ok = intIn(o.stars, 0, 10'000'000);
        } else if (name == "--seed") {
            ok = parseNumber(v, o.seed);
        } else if (name == "--pairs") {
            ok = optIntIn(o.pairs, 0, 5'000'000);
        } else if (name == "--saturated") {
            ok = optIntIn(o.saturated, 0, 10'000'000);
        } else if (name == "--noise") {
            ok = optDoubleIn(o.noise, 0.0, 255.0);
        } else if (name == "--sky") {
            ok = optDoubleIn(o.sky, 0.0, 255.0);
        } else if (name == "--deep-scale") {
            ok = parseNumber(v, o.deepScale) && o.deepScale > 0.0 && o.deepScale <= 65535.0;
        } else if (name == "--deep-offset") {
            ok = parseNumber(v, o.deepOffset) && o.deepOffset >= 0.0 && o.deepOffset <= 65535.0;
        } else if (name == "--quality") {
            ok = intIn(o.quality, 0, 100);
        } else {  // --bmp
            const auto variant = orv::bench::bmpVariantFromName(v);
            ok = variant.has_value();
            if (ok) o.variant = *variant;
        }
        if (!ok) return "bad value for " + std::string(name) + ": " + std::string(v);
    }
    if (o.out.empty()) return "--out is required";
    return "";
}

std::string lowerSuffix(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string s = path.substr(dot);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Locale-independent fixed notation.
std::string fixed(double v, int decimals) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buf, ptr) : "nan";
}

std::vector<std::string> truthLines(const orv::bench::StarField& field) {
    std::vector<std::string> lines{"x,y,sigma,flux,peak,tint_r,tint_g,tint_b,saturated,pair"};
    for (const auto& s : field.stars) {
        lines.push_back(fixed(s.x, 4) + "," + fixed(s.y, 4) + "," + fixed(s.sigma, 4) + "," +
                        fixed(s.flux, 2) + "," + fixed(s.peak, 3) + "," + fixed(s.tint[0], 4) +
                        "," + fixed(s.tint[1], 4) + "," + fixed(s.tint[2], 4) + "," +
                        (s.saturated ? "1" : "0") + "," + std::to_string(s.pairId));
    }
    return lines;
}

std::string writeJpeg(const std::string& path, const orv::bench::StarField& field, int quality) {
    const QImage image(field.rgb.data(), field.width, field.height, field.width * 3,
                       QImage::Format_RGB888);
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image))
        return "cannot write " + path + ": " + writer.errorString().toStdString();
    return "";
}

// 16-bit grey samples through Qt's PNG or TIFF writer.
std::string writeDeepImage(const std::string& path, const orv::bench::StarField& field) {
    QImage image(field.width, field.height, QImage::Format_Grayscale16);
    for (int y = 0; y < field.height; ++y)
        std::copy_n(field.deep.data() + static_cast<size_t>(y) * field.width, field.width,
                    reinterpret_cast<uint16_t*>(image.scanLine(y)));
    QImageWriter writer(QString::fromStdString(path));
    if (!writer.write(image))
        return "cannot write " + path + ": " + writer.errorString().toStdString();
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    bool help = false;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const std::string error = parseArguments(args, o, help); !error.empty()) {
        std::fprintf(stderr, "orvandel-starfield: %s\n\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const std::string suffix = lowerSuffix(o.out);
    const bool jpeg = suffix == ".jpg" || suffix == ".jpeg";
    const bool fits = suffix == ".fits" || suffix == ".fit" || suffix == ".fts";
    const bool deepImage = suffix == ".png" || suffix == ".tif" || suffix == ".tiff";
    if (!jpeg && !fits && !deepImage && suffix != ".bmp") {
        std::fprintf(stderr,
                     "orvandel-starfield: --out must end in .bmp, .jpg, .jpeg, .fits, .fit, "
                     ".fts, .png, .tif or .tiff\n");
        return 2;
    }

    orv::bench::FieldSpec params =
        orv::bench::denseField(o.width, o.height.value_or(o.width), o.stars, 0);
    params.seed = o.seed;
    if (o.pairs) params.pairCount = *o.pairs;
    if (o.saturated) params.saturatedCount = *o.saturated;
    if (o.noise) params.noiseSigma = *o.noise;
    if (o.sky) params.sky = *o.sky;
    if (o.grey) params.colour = false;
    if (fits || deepImage) {
        params.deepScale = o.deepScale;
        params.deepOffset = o.deepOffset;
    }

    orv::bench::StarField field;
    try {
        field = orv::bench::generateStarField(params);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "orvandel-starfield: %s\n", e.what());
        return 2;
    }

    std::string error;
    if (jpeg) {
        error = writeJpeg(o.out, field, o.quality);
    } else if (fits) {
        if (auto r = orv::bench::writeFits16(o.out, field.width, field.height, field.deep); !r)
            error = r.error();
    } else if (deepImage) {
        error = writeDeepImage(o.out, field);
    } else if (auto r =
                   orv::bench::writeBmp(o.out, field.width, field.height, field.rgb, o.variant);
               !r) {
        error = r.error();
    }
    if (error.empty() && !o.truth.empty()) {
        if (auto r = orv::core::writeLinesAnew(o.truth, truthLines(field)); !r) error = r.error();
    }
    if (!error.empty()) {
        std::fprintf(stderr, "orvandel-starfield: %s\n", error.c_str());
        return 1;
    }
    int saturated = 0;
    for (const auto& s : field.stars) saturated += s.saturated ? 1 : 0;
    std::printf("%s: %d x %d, %zu stars (%d pairs, %d read 255 at the centre)\n", o.out.c_str(),
                field.width, field.height, field.stars.size(), params.pairCount, saturated);
    return 0;
}
