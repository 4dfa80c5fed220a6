// _orvandel: the engine's entry points for the Python package `orvandel` (python/orvandel/).
// The package checks the arguments and builds the tables; this file turns them into the
// engine's types, runs the engine with the interpreter's lock released, and hands the
// catalogue back column by column (numbers as numpy arrays that own the engine's vectors).
//
// A numpy array is handed to the engine where it lies: an 8-bit one as the picture's rows
// (rows may be apart by any stride, samples next to each other), a deep one (uint16, float32,
// float64, C order) as samples to be stretched. The package keeps the array alive and only
// passes arrays of those kinds.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "catalogue/catalogue_columns.h"
#include "catalogue/picture_catalogue.h"
#include "control/picture_run.h"
#include "control/tiled_detect.h"
#include "core/ini.h"
#include "core/numeric.h"
#include "core/settings.h"
#include "formats/guarded_decode.h"
#include "formats/guarded_picture.h"
#include "formats/stretch.h"
#include "tiles/big_picture.h"
#include "tiles/geometry.h"

namespace py = pybind11;
using namespace orv;

namespace {

// A text of the engine (UTF-8, or file-name bytes that are not) as a Python str.
py::str text(const std::string& s) {
    PyObject* o =
        PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "surrogateescape");
    if (!o) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(o);
}

// A vector as a numpy array that owns it.
template <typename T>
py::array ownedArray(std::vector<T>&& values) {
    auto* held = new std::vector<T>(std::move(values));
    py::capsule owner(held, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(held->size()), held->data(), owner);
}

// The catalogue's columns: (name, type, unit, description, values, missing) with type "int",
// "real" or "text", values a numpy array of int64 or float64, or for texts (the distinct
// texts, the index of each row's text), and missing a numpy array of bools (None when no
// cell is missing).
py::list columnsOf(const catalogue::Catalogue& c) {
    py::list out;
    for (catalogue::CatalogueColumn& column : catalogue::catalogueColumns(c)) {
        py::object values;
        if (auto* w = std::get_if<std::vector<int64_t>>(&column.values)) {
            values = ownedArray(std::move(*w));
        } else if (auto* d = std::get_if<std::vector<double>>(&column.values)) {
            values = ownedArray(std::move(*d));
        } else {
            // Few distinct texts (a picture's name, empty notes): each made once, and where.
            py::list distinct;
            std::unordered_map<std::string, int64_t> seen;
            std::vector<int64_t> at;
            for (const std::string& s : std::get<std::vector<std::string>>(column.values)) {
                auto [it, added] = seen.emplace(s, static_cast<int64_t>(seen.size()));
                if (added) distinct.append(text(s));
                at.push_back(it->second);
            }
            values = py::make_tuple(distinct, ownedArray(std::move(at)));
        }
        py::object missing = py::none();
        if (!column.missing.empty())
            missing = ownedArray(std::move(column.missing)).attr("astype")("bool");
        const char* type = column.type == catalogue::ColumnType::Integer ? "int"
                           : column.type == catalogue::ColumnType::Real  ? "real"
                                                                         : "text";
        out.append(
            py::make_tuple(column.name, type, column.unit, column.description, values, missing));
    }
    return out;
}

// The catalogue's metadata as the catalogue files keep them: [(key, value)], value a str or
// a float (the number its 15-digit text reads as).
py::list metadataOf(const catalogue::Catalogue& c) {
    py::list out;
    for (const catalogue::MetaValue& m : catalogue::catalogueMetadata(c)) {
        py::object value = text(m.text);
        if (m.number) value = py::float_(core::generalFormValue(*m.number, 15));
        out.append(py::make_tuple(m.key, value));
    }
    return out;
}

// The settings file's lines of `s` as (section, key, value text), WorkPath left out.
py::list settingsEntries(const core::Settings& s) {
    py::list out;
    std::string section;
    for (const std::string& line : core::settingsFileLines(s)) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t eq = line.find(" = ");
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        if (key == "WorkPath") continue;
        out.append(py::make_tuple(section, key, text(line.substr(eq + 3))));
    }
    return out;
}

// The settings of a call: from the file at `path` (read as the command line reads
// --settings), from the text of a settings file (the package writes a dict as one), or the
// standard settings; `stretch` replaces the stretch setting. Bad settings raise ValueError
// with the reason.
core::Settings settingsOf(const std::optional<std::string>& path,
                          const std::optional<std::string>& iniText,
                          const std::optional<std::string>& stretch,
                          std::optional<float> filterSigma = std::nullopt) {
    core::Settings s = core::defaultSettings();
    if (path) {
        auto read = core::readSettingsFileStrictly(*path);
        if (!read)
            throw py::value_error("cannot use the settings file " + *path + ": " + read.error());
        s = read.value();
    } else if (iniText) {
        s = core::settingsOf(core::IniFile::fromText(*iniText));
    }
    if (stretch) {
        if (auto parsed = formats::parseStretch(*stretch); !parsed)
            throw py::value_error(
                "stretch takes minmax, percentile:LO,HI (0 <= LO < HI <= 100) or range:A,B "
                "(A < B): " +
                parsed.error());
        s.Stretch = *stretch;
    }
    if (filterSigma) s.FilterSigma = *filterSigma;
    return s;
}

control::HeadlessOptions optionsOf(const core::Settings& settings, int channel, bool hyotan,
                                   double thresholdSigma) {
    control::HeadlessOptions o;
    o.settings = settings;
    o.channel = channel;
    o.hyotan = hyotan;
    o.sikiSigmaFactor = thresholdSigma;
    o.decoder = formats::guardedDecoder();
    return o;
}

// The picture source of `image`: a path (bytes) or an array the package has checked.
control::PictureSource sourceOf(const py::object& image) {
    control::PictureSource source;
    if (py::isinstance<py::bytes>(image)) {
        source.path = image.cast<std::string>();
        return source;
    }
    const py::array a = image.cast<py::array>();
    // The package hands over only these kinds, in native byte order.
    const char kind = a.dtype().kind();
    const py::ssize_t size = a.dtype().itemsize();
    const bool native = a.dtype().byteorder() != '>';
    const bool levels = kind == 'u' && size == 1;
    if (!native ||
        !(levels || (kind == 'u' && size == 2) || (kind == 'f' && (size == 4 || size == 8))))
        throw py::type_error("the engine takes uint8, uint16, float32 or float64 samples");
    if (a.shape(0) > std::numeric_limits<int>::max() ||
        a.shape(1) > std::numeric_limits<int>::max())
        throw py::value_error("the array is too large for a picture");
    const int height = static_cast<int>(a.shape(0)), width = static_cast<int>(a.shape(1));
    form::Picture& p = source.picture;
    p.width = width;
    p.height = height;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (levels) {
        p.bits = static_cast<const uint8_t*>(a.data());
        p.stride = static_cast<size_t>(a.strides(0));
        p.layout = a.ndim() == 3 ? form::PixelLayout::Rgb888 : form::PixelLayout::Grey8;
        return source;
    }
    auto deep = std::make_shared<form::DeepSamples>();
    deep->width = width;
    deep->height = height;
    if (kind == 'u')
        deep->samples = std::span(static_cast<const uint16_t*>(a.data()), count);
    else if (size == 4)
        deep->samples = std::span(static_cast<const float*>(a.data()), count);
    else
        deep->samples = std::span(static_cast<const double*>(a.data()), count);
    p.deep = std::move(deep);
    return source;
}

const char* failureName(control::PictureOutcome::Failure f) {
    using F = control::PictureOutcome::Failure;
    switch (f) {
        case F::Load:
            return "load";
        case F::Fault:
            return "fault";
        default:
            return "";
    }
}

py::dict countsOf(const extract::StarAtrTable& n) {
    py::dict d;
    d["noise"] = n[0][1];
    d["area"] = n[0][2];
    d["star"] = n[0][3];
    d["elongated"] = n[0][4];
    d["noise_released"] = n[0][5];
    d["deleted"] = n[1][1];
    d["added"] = n[1][2];
    return d;
}

py::dict detectPicture(const py::object& image, int channel,
                       const std::optional<std::string>& settingsPath,
                       const std::optional<std::string>& settingsText, double thresholdSigma,
                       std::optional<float> filterSigma, bool hyotan,
                       const std::optional<std::string>& stretch) {
    const core::Settings settings = settingsOf(settingsPath, settingsText, stretch, filterSigma);
    const control::HeadlessOptions options = optionsOf(settings, channel, hyotan, thresholdSigma);
    const control::PictureSource source = sourceOf(image);
    control::DetectedPicture d;
    {
        py::gil_scoped_release unlocked;
        d = control::detectInMemory(options, source);
    }
    py::dict out;
    const control::PictureOutcome& o = d.outcome;
    out["ok"] = o.ok;
    out["failure"] = failureName(o.failure);
    out["error"] = text(o.error);
    out["settings"] = settingsEntries(d.settings);
    out["engine_seconds"] = d.engineSeconds;
    if (!o.ok) return out;
    out["columns"] = columnsOf(d.catalogue);
    out["meta"] = metadataOf(d.catalogue);
    out["measure_problem"] = text(o.measureProblem);
    out["counts"] = countsOf(o.counts);
    out["threshold"] = core::generalFormValue(o.siki);  // as the pair shows it
    out["noise_sigma"] = o.noiseSigma >= 0 ? py::object(py::float_(o.noiseSigma)) : py::none();
    out["width"] = d.width;
    out["height"] = d.height;
    out["stretch"] = text(d.stretch);
    out["stretch_black"] = d.stretchBlack;
    out["stretch_white"] = d.stretchWhite;
    out["table_full"] = text(o.incomplete);
    out["stopped_at_row"] = d.stoppedAtRow;
    out["splits_cut_short"] = d.splitsCutShort;
    py::list missing;
    for (const std::string& why : d.missingColumns) missing.append(text(why));
    out["missing_columns"] = missing;
    return out;
}

// Counts by class and edit from a catalogue's records, as countsOf gives them from a pair.
py::dict countsOfRecords(const catalogue::Catalogue& c) {
    extract::StarAtrTable n{};
    for (const catalogue::CatalogueRecord& r : c.records) {
        if (r.atr >= 1 && r.atr <= 5) ++n[0][r.atr];
        if (r.editAtr >= 1 && r.editAtr <= 2) ++n[1][r.editAtr];
    }
    return countsOf(n);
}

// Detection in tiles held in memory (`size` the tile step, 0 for the automatic one, `margin`
// on each side, `jobs` threads), joined into one catalogue as the command line's
// `detect --tiles` joins them. A path is read as that command reads it; an array is taken as
// its 8-bit levels, or its samples stretched to them.
py::dict detectPictureInTiles(const py::object& image, int channel,
                              const std::optional<std::string>& settingsPath,
                              const std::optional<std::string>& settingsText, double thresholdSigma,
                              std::optional<float> filterSigma, bool hyotan,
                              const std::optional<std::string>& stretch, float size, float margin,
                              int jobs) {
    const core::Settings settings = settingsOf(settingsPath, settingsText, stretch, filterSigma);
    const control::HeadlessOptions options = optionsOf(settings, channel, hyotan, thresholdSigma);
    const control::PictureSource source = sourceOf(image);
    const bool chosen = size == 0;
    if (chosen) size = control::kAutoTileSize;
    if (auto ok = tiles::checkSettings(size, margin); !ok) throw py::value_error(ok.error());
    py::dict out;
    std::optional<control::TiledDetection> d;
    std::string error;
    {
        py::gil_scoped_release unlocked;
        auto levels = source.path.empty()
                          ? formats::toLevels(source.picture, settings.Stretch)
                          : tiles::loadBigPicture(source.path, options.decoder, settings.Stretch);
        if (!levels) {
            error = levels.error();
        } else if (auto fits = tiles::checkGrid(size, margin, levels->picture.width,
                                                levels->picture.height, true);
                   !fits) {
            error = fits.error();
        } else {
            d = control::detectTiled(options, std::move(levels.value()), source.path, size, margin,
                                     jobs);
        }
    }
    out["ok"] = d.has_value();
    out["error"] = text(error);
    out["settings"] = settingsEntries(settings);
    if (!d) return out;
    out["columns"] = columnsOf(d->catalogue);
    out["meta"] = metadataOf(d->catalogue);
    out["counts"] = countsOfRecords(d->catalogue);
    // With threshold_sigma every tile takes its own threshold from its own noise.
    out["threshold"] = thresholdSigma > 0
                           ? py::object(py::none())
                           : py::object(py::float_(core::generalFormValue(settings.Siki)));
    py::dict grid;
    grid["size"] = d->grid.size;
    grid["auto"] = chosen;
    grid["margin"] = d->grid.margin;
    grid["columns"] = d->grid.columns;
    grid["rows"] = d->grid.rows;
    grid["done"] = d->tilesDone;
    py::list split, problems, notes;
    for (const std::string& t : d->split) split.append(text(t));
    for (const std::string& t : d->problems) problems.append(text(t));
    for (const std::string& t : d->notes) notes.append(text(t));
    grid["split"] = split;
    out["tiles"] = grid;
    out["problems"] = problems;
    out["notes"] = notes;
    out["width"] = d->grid.width;
    out["height"] = d->grid.height;
    return out;
}

py::dict readResultPair(const std::string& picturePath) {
    py::dict out;
    std::optional<catalogue::PictureCatalogue> read;
    std::optional<results::ResultFiles> files;
    std::string error;
    {
        py::gil_scoped_release unlocked;
        auto pair = catalogue::readSavedResults(picturePath);
        auto c = pair ? catalogue::readPictureCatalogue(picturePath)
                      : core::Result<catalogue::PictureCatalogue>(core::Error{pair.error()});
        if (c) {
            read = std::move(c.value());
            files = std::move(pair.value());
        } else {
            error = c.error();
        }
    }
    out["ok"] = read.has_value();
    out["error"] = text(error);
    if (!read) return out;
    out["columns"] = columnsOf(read->catalogue);
    out["meta"] = metadataOf(read->catalogue);
    out["counts"] = countsOf(files->starAtrNo);
    out["threshold"] = core::generalFormValue(files->settings.Siki);
    out["settings"] = settingsEntries(files->settings);
    out["width"] = files->imageWidthP;
    out["height"] = files->imageHeightP;
    py::list missing;
    for (const std::string& why : read->incomplete) missing.append(text(why));
    for (const std::string& why : read->notes) missing.append(text(why));
    out["missing_columns"] = missing;
    return out;
}

py::dict psfProfiles(const py::object& image,
                     const std::optional<std::vector<std::tuple<int32_t, float, float>>>& stars,
                     int channel, const std::optional<std::string>& settingsPath,
                     const std::optional<std::string>& settingsText,
                     const std::optional<std::string>& stretch) {
    const core::Settings settings = settingsOf(settingsPath, settingsText, stretch);
    const control::HeadlessOptions options = optionsOf(settings, channel, false, 0.0);
    const control::PictureSource source = sourceOf(image);
    std::optional<std::vector<control::PsfStar>> chosen;
    if (stars) {
        chosen.emplace();
        for (auto [n, x, y] : *stars) chosen->push_back({n, x, y});
    }
    control::PsfRun run;
    {
        py::gil_scoped_release unlocked;
        run = control::psfInMemory(options, source, chosen);
    }
    py::dict out;
    const control::PictureOutcome& o = run.outcome;
    out["settings_problem"] = text(run.settingsProblem);
    out["ok"] = o.ok;
    out["failure"] = failureName(o.failure);
    out["error"] = text(o.error);
    std::vector<int64_t> number;
    std::vector<double> x, y, sigma, peak, sky;
    std::vector<uint8_t> adopted;
    py::list skipped;
    for (const control::PsfStarProfile& p : run.stars) {
        // The numbers as the command line prints them.
        auto shown = [](float v) { return core::generalFormValue(v); };
        number.push_back(p.star.number);
        x.push_back(shown(p.star.x));
        y.push_back(shown(p.star.y));
        const bool fitted = p.skipped.empty();
        constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
        sigma.push_back(fitted ? shown(p.sigma) : kNone);
        peak.push_back(fitted ? shown(p.peak) : kNone);
        sky.push_back(fitted ? shown(p.sky) : kNone);
        adopted.push_back(p.adopted);
        skipped.append(text(p.skipped));
    }
    out["star"] = ownedArray(std::move(number));
    out["x"] = ownedArray(std::move(x));
    out["y"] = ownedArray(std::move(y));
    out["sigma"] = ownedArray(std::move(sigma));
    out["peak"] = ownedArray(std::move(peak));
    out["sky"] = ownedArray(std::move(sky));
    out["adopted"] = ownedArray(std::move(adopted));
    out["skipped"] = skipped;
    out["entries"] = run.entries;
    out["psf_sd"] = core::generalFormValue(run.sd);
    out["psf_sdd"] = core::generalFormValue(run.sdd);
    return out;
}

}  // namespace

PYBIND11_MODULE(_orvandel, m) {
    m.doc() = "The Orvandel engine; use the package orvandel.";
    m.attr("program_version") = core::kProgramVersion;
    m.def("detect", &detectPicture, py::arg("image"), py::arg("channel"), py::arg("settings_path"),
          py::arg("settings_text"), py::arg("threshold_sigma"), py::arg("filter_sigma"),
          py::arg("hyotan"), py::arg("stretch"));
    m.def("detect_tiles", &detectPictureInTiles, py::arg("image"), py::arg("channel"),
          py::arg("settings_path"), py::arg("settings_text"), py::arg("threshold_sigma"),
          py::arg("filter_sigma"), py::arg("hyotan"), py::arg("stretch"), py::arg("size"),
          py::arg("margin"), py::arg("jobs"));
    m.def("filter_sigma", [](const std::string& t) { return core::filterSigmaValue(t); });
    m.def("use_decode_helper", &formats::useDecodeHelper, py::arg("path"));
    m.def("read_results", &readResultPair, py::arg("picture_path"));
    m.def("psf", &psfProfiles, py::arg("image"), py::arg("stars"), py::arg("channel"),
          py::arg("settings_path"), py::arg("settings_text"), py::arg("stretch"));
    m.def("standard_settings", [] { return settingsEntries(core::defaultSettings()); });
}
