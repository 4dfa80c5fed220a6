"""Orvandel from Python: the star-finding engine of orvandel-cli on pictures and numpy arrays.

    import orvandel
    table = orvandel.detect("m42.fits")          # a picture file, as `orvandel-cli detect`
    table = orvandel.detect(array)               # a 2-D array, or an H x W x 3 uint8 RGB array
    stars = table[table["atr"] == 3]             # the circular results: the stars
    table.meta["noise_sigma"], table.meta["counts"]

The catalogue is an astropy Table (a numpy structured array when astropy is missing) with the
columns and units of `orvandel-cli export`, one row per result, noise included; its numbers
are the ones the command line writes, to the last digit. Nothing is written beside the
picture. The engine runs without the interpreter's lock, so threads can detect pictures at
the same time.

Coordinates: x and y are 0-based with a pixel's centre at index + 0.5 and y counting rows
downwards: for an array, pixel array[j, i] has its centre at (i + 0.5, j + 0.5). An array
read from a FITS file with astropy holds FITS row 1 first, so there y + 0.5 is the FITS y;
`detect` on the FITS file itself shows its rows as a viewer does (row 1 at the bottom) and adds
the columns x_fits and y_fits (and ra and dec with a celestial WCS).
"""

import errno
import math
import numbers
import os
import warnings

import numpy as np

from . import _orvandel

__all__ = ["detect", "read_results", "psf", "TableFull", "CatalogueArray",
           "CatalogueMaskedArray"]
__version__ = _orvandel.program_version

# Pictures from outside (JPEG, PNG, TIFF, a FITS picture in an extension...) are decoded in the
# helper program shipped beside the module, so that a damaged file cannot end the interpreter.
_orvandel.use_decode_helper(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                         "orvandel-decode"))

_CHANNELS = "RGBY"
# Arrays handed to the engine as they lie; other real kinds are converted (a copy).
_HELD_KINDS = (np.uint8, np.uint16, np.float32, np.float64)


class TableFull(RuntimeError):
    """The table of 50000 results filled before the whole picture was extracted.

    row: the picture row (1-based, from the top) from which nothing was extracted, None when
    the extraction finished and only the gourd split was cut short; splits_cut_short: the
    clusters the split could not finish; table: the results that were found (with their meta).
    A higher threshold (threshold_sigma, or Siki in the settings) or tiles help.
    """

    def __init__(self, message, row, splits_cut_short, table):
        super().__init__(message)
        self.row = row
        self.splits_cut_short = splits_cut_short
        self.table = table


class CatalogueArray(np.ndarray):
    """A catalogue as a numpy structured array, for when astropy is missing: the columns as
    fields, `units` (column name -> unit text, "" for none) and `meta` as an astropy Table's."""

    def __array_finalize__(self, obj):
        self.meta = getattr(obj, "meta", {})
        self.units = getattr(obj, "units", {})


class CatalogueMaskedArray(np.ma.MaskedArray):
    """A CatalogueArray with missing cells masked (a numpy masked structured array)."""

    def __array_finalize__(self, obj):
        super().__array_finalize__(obj)
        self.meta = getattr(obj, "meta", {})
        self.units = getattr(obj, "units", {})

    def __getitem__(self, index):
        # A masked array's rows come from its data, which holds no meta.
        out = super().__getitem__(index)
        if isinstance(out, CatalogueMaskedArray):
            out.meta, out.units = self.meta, self.units
        return out


def _astropy_table():
    """astropy's Table class, or None when astropy is missing."""
    try:
        from astropy.table import Table
    except ImportError:
        return None
    return Table


def _values(values):
    """A column's values: an array, or texts as (the distinct texts, each row's index)."""
    if isinstance(values, np.ndarray):
        return values
    distinct, at = values
    if not distinct:
        return np.zeros(0, dtype="<U1")
    return np.array(distinct, dtype=str)[at]


def _table(columns, meta):
    """A table of (name, type, unit, description, values, missing) columns: a column with
    missing cells is masked there (astropy's MaskedColumn, or a numpy masked array)."""
    Table = _astropy_table()
    names = [c[0] for c in columns]
    arrays = [_values(c[4]) for c in columns]
    missing = [c[5] for c in columns]
    if Table is not None:
        from astropy.table import Column, MaskedColumn
        made = [Column(a, name=c[0], unit=c[2] or None, description=c[3], copy=False)
                if m is None else
                MaskedColumn(a, name=c[0], unit=c[2] or None, description=c[3], mask=m,
                             copy=False)
                for c, a, m in zip(columns, arrays, missing)]
        return Table(made, names=names, meta=meta, copy=False)
    rows = len(arrays[0]) if arrays else 0
    dtype = [(name, a.dtype) for name, a in zip(names, arrays)]
    out = np.ma.zeros(rows, dtype=dtype) if any(m is not None for m in missing) \
        else np.zeros(rows, dtype=dtype)
    for name, a, m in zip(names, arrays, missing):
        out[name] = a
        if m is not None:
            out[name] = np.ma.masked_array(a, mask=m)
    if isinstance(out, np.ma.MaskedArray):
        out = out.view(CatalogueMaskedArray)
    else:
        out = out.view(CatalogueArray)
    out.meta = meta
    out.units = {c[0]: c[2] for c in columns}
    return out


def _channel_index(channel):
    if isinstance(channel, str) and len(channel) == 1 and channel.upper() in _CHANNELS:
        return _CHANNELS.index(channel.upper())
    raise ValueError("channel takes R, G, B or Y, not %r" % (channel,))


def _path_bytes(path):
    return os.fsencode(os.path.abspath(os.fspath(path)))


def _is_path(image):
    return isinstance(image, (str, bytes, os.PathLike))


def _setting_text(key, value):
    """A dict's setting as a settings file writes it."""
    if key == "Stretch":
        if not isinstance(value, str):
            raise TypeError("setting Stretch takes a text such as 'percentile:0.1,99.9'")
        return value
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError("setting %s takes a number, not %r" % (key, value))
    if not math.isfinite(value):
        raise ValueError("setting %s takes a finite number, not %r" % (key, value))
    return repr(int(value)) if isinstance(value, numbers.Integral) else repr(float(value))


def _settings_arguments(settings):
    """(file path, settings text) for the engine."""
    if settings is None:
        return None, None
    if _is_path(settings):
        path = os.fspath(settings)
        if not os.path.exists(path):
            raise FileNotFoundError(errno.ENOENT, "settings file not found: %s" % os.fsdecode(path),
                                    path)
        return _path_bytes(path), None
    if not isinstance(settings, dict):
        raise TypeError("settings takes None, the path of an Orvandel.ini or a dict of settings")
    standard = _orvandel.standard_settings()
    known = [key for _, key, _ in standard] + ["FilterSigma"]
    unknown = [key for key in settings if key not in known]
    if unknown:
        raise ValueError("unknown settings %s; the settings are %s"
                         % (", ".join(map(repr, unknown)), ", ".join(known)))
    lines, section = [], None
    for sect, key, text in standard:
        if sect != section:
            lines.append("[%s]" % sect)
            section = sect
        lines.append("%s = %s" % (key, _setting_text(key, settings[key]) if key in settings
                                  else text))
    if "FilterSigma" in settings:
        lines += ["[DETECT]", "FilterSigma = %s" % _filter_text(settings["FilterSigma"])]
    return None, "\n".join(lines) + "\n"


_FILTER_USAGE = "filter takes 0 (off) or a sigma from 0.5 to 5 pixels"


def _filter_text(value):
    """The detection filter's sigma as its setting's text, checked as --filter checks it."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real) \
            or not math.isfinite(value):
        raise ValueError("%s, not %r" % (_FILTER_USAGE, value))
    text = repr(float(value))
    if value != 0 and _orvandel.filter_sigma(text) == 0:
        raise ValueError("%s, not %r" % (_FILTER_USAGE, value))
    return text


def _settings_dict(entries):
    """The settings a run used, as numbers (the stretch as its text)."""
    out = {}
    for _, key, text in entries:
        if key == "Stretch":
            out[key] = text
            continue
        value = float(text)
        out[key] = int(value) if value.is_integer() else value
    return out


def _array_source(image):
    """The array to hand to the engine: `image` itself where it can be, else a converted copy."""
    a = np.asarray(image)
    if a.dtype.kind not in "uif":
        raise TypeError("a picture array holds numbers (uint8, uint16, float32 or float64), "
                        "not %s" % a.dtype)
    if a.ndim == 3 and a.shape[2] == 3:
        if a.dtype != np.uint8:
            raise TypeError("an H x W x 3 array is an RGB picture and must be uint8, not %s"
                            % a.dtype)
    elif a.ndim != 2:
        raise ValueError("a picture array is 2-D (H x W) or H x W x 3 (RGB), not of shape %s"
                         % (a.shape,))
    if a.shape[0] == 0 or a.shape[1] == 0:
        raise ValueError("the picture array is empty (shape %s)" % (a.shape,))
    if not a.dtype.isnative:
        a = a.astype(a.dtype.newbyteorder("="))
    if a.dtype.type not in _HELD_KINDS:
        a = a.astype(np.float32 if a.dtype == np.float16 else np.float64)
    if a.dtype == np.uint8:
        # Rows may lie apart; the samples of a row must be next to each other.
        row_bytes = a.shape[1] * (3 if a.ndim == 3 else 1)
        inner = a.strides[1:] == ((1,) if a.ndim == 2 else (3, 1))
        if not (inner and a.strides[0] >= row_bytes):
            a = np.ascontiguousarray(a)
    elif not a.flags.c_contiguous:
        a = np.ascontiguousarray(a)
    return a


def _source(image):
    """(what the engine takes, the picture's path or None)."""
    if _is_path(image):
        return _path_bytes(image), os.path.abspath(os.fsdecode(os.fspath(image)))
    return _array_source(image), None


def _raise_failure(result, path):
    message = result["error"] or "the picture could not be loaded"
    if result["failure"] == "fault":
        raise RuntimeError(message)
    if path is None:
        raise ValueError(message)
    if not os.path.exists(path):
        raise FileNotFoundError(errno.ENOENT, message, path)
    raise OSError(message)


def _warn_missing(result, path):
    for why in result["missing_columns"]:
        warnings.warn("%s: %s" % (path, why), RuntimeWarning, stacklevel=3)


def _catalogue_meta(result, path):
    """The meta of a catalogue: what its files keep (picture, program_version, the detection
    settings, stretch, flux_unit, samples, noise_sigma, saturation, gain, filter, the WCS
    frames), then path, width, height, threshold, settings and counts."""
    meta = dict(result["meta"])
    meta["path"] = path
    meta["width"] = result["width"]
    meta["height"] = result["height"]
    meta["threshold"] = result["threshold"]
    meta["settings"] = _settings_dict(result["settings"])
    meta["counts"] = result["counts"]
    return meta


def detect(image, *, channel="B", settings=None, threshold_sigma=None, filter=None,
           hyotan=False, stretch=None, tiles=None):
    """Finds, measures and classifies the star images of a picture, as `orvandel-cli detect`.

    image: the path of a picture file (BMP, JPEG, FITS, 16-bit PNG or TIFF), a 2-D numpy array
        (uint8 levels, or uint16, float32 or float64 samples stretched to 8-bit levels as a
        FITS picture is; other integer and float arrays are converted to float64), or an
        H x W x 3 uint8 RGB array. An array in C order (an 8-bit one with its rows anywhere) is
        read where it lies, not copied.
    channel: "R", "G", "B" or "Y" (luminance), the channel processed; B as the command line.
    settings: None (the standard detection settings), the path of an Orvandel.ini (read as
        --settings reads it), or a dict of settings by their keys (HeikinWidth, Siki, SikiTop,
        NumPixel, NumPixel2, Sinendo, SinendoMax, Margin, PSFFactorRSD, PSFAnnulus,
        PSFDAnnulus, Stretch, FilterSigma), the others standard.
    threshold_sigma: K > 0: Siki = K x the picture's noise sigma (--threshold-sigma).
    filter: the detection filter's sigma in pixels, 0.5 to 5, or 0 (off), instead of the
        settings' FilterSigma (--filter): brightness is decided on the background-subtracted
        picture smoothed by a Gaussian of that sigma. None: the settings'.
    hyotan: split touching stars (gourd shapes).
    stretch: how deep samples become 8-bit levels: "minmax", "percentile:LO,HI" or
        "range:A,B" (--stretch), instead of the settings'.
    tiles: None (the whole picture at once), a tile step S in pixels, "auto" (S 2000), or
        (S, M) with a margin M (50 when not given): the picture is cut into tiles of S x S
        owned pixels plus M on each side, held in memory, detected on every core and joined
        into one catalogue as `orvandel-cli detect --tiles` joins them (every pixel owned by
        exactly one tile; a tile whose table fills is cut in four). Deep samples are
        stretched to 8-bit levels once, and the tiles are measured on those levels. meta
        then holds "tiles" (size, auto, margin, columns, rows, done, split) and no
        engine_seconds; TableFull is never raised, and RuntimeError names a tile that could
        not be done.

    Returns the catalogue (astropy Table, or CatalogueArray / CatalogueMaskedArray) with the
    columns, units and values of the command line's catalogue (`detect -o`, `export`), cells
    the catalogue leaves empty masked, and meta: what the catalogue files keep (picture,
    program_version, the detection settings, stretch with its black and white points,
    flux_unit, samples, noise_sigma: the median sky noise of the results in flux_unit,
    saturation, gain, filter, wcs_frame), then path, width, height, channel, hyotan,
    threshold (the Siki used), threshold_sigma, detection_noise_sigma (the noise in 8-bit
    levels threshold_sigma scales; None without it), settings (as used), counts (by class and
    edit) and engine_seconds (the engine's own time).

    Raises TableFull when the table of 50000 results fills; FileNotFoundError or OSError
    with the loader's reason when a file cannot be read; ValueError for an array the stretch
    cannot use or a bad argument; TypeError for an array of another kind. Warns
    (RuntimeWarning) when some results could not be measured or columns could not be filled.
    """
    tile_step = _tiles_argument(tiles)
    channel_index = _channel_index(channel)
    factor = 0.0
    if threshold_sigma is not None:
        if isinstance(threshold_sigma, bool) or not isinstance(threshold_sigma, numbers.Real) \
                or not 0 < threshold_sigma <= 100:
            raise ValueError("threshold_sigma takes a number above 0 and up to 100, not %r"
                             % (threshold_sigma,))
        factor = float(threshold_sigma)
    filter_sigma = None
    if filter is not None:
        filter_sigma = _orvandel.filter_sigma(_filter_text(filter))
    if stretch is not None and not isinstance(stretch, str):
        raise TypeError("stretch takes a text such as 'minmax' or 'percentile:0.1,99.9'")
    settings_path, settings_text = _settings_arguments(settings)
    source, path = _source(image)
    if tile_step is not None:
        return _detect_tiles(source, path, tile_step, channel_index, settings_path,
                             settings_text, factor, filter_sigma, bool(hyotan), stretch)
    result = _orvandel.detect(source, channel_index, settings_path, settings_text, factor,
                              filter_sigma, bool(hyotan), stretch)
    if not result["ok"]:
        _raise_failure(result, path)
    _warn_missing(result, path)
    if result["measure_problem"]:
        warnings.warn("%s: some results could not be measured: %s"
                      % (path or "array", result["measure_problem"]), RuntimeWarning,
                      stacklevel=2)
    meta = _catalogue_meta(result, path)
    meta.update({
        "channel": _CHANNELS[channel_index],
        "hyotan": bool(hyotan),
        "threshold_sigma": factor or None,
        "detection_noise_sigma": result["noise_sigma"],
        "engine_seconds": result["engine_seconds"],
    })
    table = _table(result["columns"], meta)
    if result["table_full"]:
        row = result["stopped_at_row"] or None
        raise TableFull(result["table_full"], row, result["splits_cut_short"], table)
    return table


def _tiles_argument(tiles):
    """(S, M) of `tiles` (S 0: the automatic step), or None."""
    if tiles is None:
        return None
    if isinstance(tiles, str):
        if tiles != "auto":
            raise ValueError("tiles takes a tile step in pixels, \"auto\" or (step, margin), "
                             "not %r" % (tiles,))
        return (0.0, 50.0)
    step, margin = (tiles if isinstance(tiles, (tuple, list)) else (tiles, 50))
    for v in (step, margin):
        if isinstance(v, bool) or not isinstance(v, numbers.Real) or not math.isfinite(v):
            raise ValueError("tiles takes a tile step in pixels, \"auto\" or (step, margin), "
                             "not %r" % (tiles,))
    if step <= 0:
        raise ValueError("tiles: the tile step must be above 0, not %r" % (step,))
    return (float(step), float(margin))


def _detect_tiles(source, path, tile_step, channel_index, settings_path, settings_text,
                  factor, filter_sigma, hyotan, stretch):
    """detect(tiles=...): the picture in tiles held in memory, one catalogue."""
    step, margin = tile_step
    result = _orvandel.detect_tiles(source, channel_index, settings_path, settings_text, factor,
                                    filter_sigma, hyotan, stretch, step, margin,
                                    os.cpu_count() or 1)
    if not result["ok"]:
        if path is not None and not os.path.exists(path):
            raise FileNotFoundError(errno.ENOENT, result["error"], path)
        raise (OSError if path is not None else ValueError)(result["error"])
    grid = result["tiles"]
    left_out = grid["columns"] * grid["rows"] - grid["done"]
    for why in result["notes"] + result["problems"]:
        warnings.warn("%s: %s" % (path or "array", why), RuntimeWarning, stacklevel=3)
    if left_out:
        raise RuntimeError("%s: %d of %d tiles could not be done: %s"
                           % (path or "array", left_out, grid["columns"] * grid["rows"],
                              "; ".join(result["problems"])))
    meta = _catalogue_meta(result, path)
    meta.update({
        "channel": _CHANNELS[channel_index],
        "hyotan": hyotan,
        "threshold_sigma": factor or None,
        "tiles": dict(grid),
    })
    return _table(result["columns"], meta)


def read_results(picture_path):
    """The catalogue of a picture's saved result pair (PICTURE.dir/PICTURE.dat and .dat.ini, as
    `orvandel-cli detect` and the window save it) and the measurements saved with it: the same
    table `detect` gives, with the meta the catalogue files keep, and path, width, height,
    threshold, settings and counts. Every result is kept, hand-deleted ones too (edit_atr
    tells them). Raises FileNotFoundError when there is no pair, ValueError with the reader's
    reason when it is damaged; warns when the measurements are missing or damaged."""
    path = os.path.abspath(os.fsdecode(os.fspath(picture_path)))
    result = _orvandel.read_results(_path_bytes(path))
    if not result["ok"]:
        name = os.path.basename(path)
        data = os.path.join(os.path.dirname(path), name + ".dir", name + ".dat")
        if not os.path.exists(data):
            raise FileNotFoundError(errno.ENOENT, result["error"], data)
        raise ValueError(result["error"])
    _warn_missing(result, path)
    return _table(result["columns"], _catalogue_meta(result, path))


def _stars_argument(stars, image, channel, settings, stretch):
    """[(number, x, y)] of `stars`: a catalogue, or result numbers of the picture's detection."""
    names = getattr(getattr(stars, "dtype", None), "names", None) or getattr(stars, "colnames", None)
    if names is not None:
        if not {"star", "x", "y"} <= set(names):
            raise ValueError("stars: a catalogue needs the columns star, x and y")
        return [(int(n), float(x), float(y)) for n, x, y in
                zip(stars["star"], stars["x"], stars["y"])]
    numbers_given = [int(n) for n in stars]
    found = detect(image, channel=channel, settings=settings, stretch=stretch)
    where = {int(n): (float(x), float(y)) for n, x, y in
             zip(found["star"], found["x"], found["y"])}
    missing = [n for n in numbers_given if n not in where]
    if missing:
        raise ValueError("no result %s in the picture" % ", ".join(map(str, missing)))
    return [(n,) + where[n] for n in numbers_given]


def psf(image, stars=None, settings=None, *, channel="B", stretch=None):
    """The point-spread function of a picture's stars, as `orvandel-cli psf` measures it.

    For each star, the ring profile about its centroid and the Gaussian fitted to it, with the
    settings' PSFAnnulus, PSFDAnnulus and PSFFactorRSD; every fitted profile is adopted (the
    table holds 100) and the mean and population standard deviation of the adopted sigmas
    are PSFsd and PSFsdd.

    image: as for detect. stars: None (the picture is detected with these settings and every
    circular result not deleted is measured, in number order), a catalogue from detect or
    read_results (its rows' star, x and y), or result numbers of the picture's detection.
    settings, channel, stretch: as for detect.

    Returns a table with the columns star, x, y (the centroid measured at), sigma (pix), peak,
    sky (levels; NaN where there is no profile), adopted and skipped (why there is no
    profile), and meta psf_sd, psf_sdd and entries (profiles adopted). Raises ValueError when
    the PSF settings keep every profile from being fitted, and as detect for the picture.
    """
    channel_index = _channel_index(channel)
    if stretch is not None and not isinstance(stretch, str):
        raise TypeError("stretch takes a text such as 'minmax' or 'percentile:0.1,99.9'")
    chosen = None if stars is None else _stars_argument(stars, image, channel, settings, stretch)
    settings_path, settings_text = _settings_arguments(settings)
    source, path = _source(image)
    result = _orvandel.psf(source, chosen, channel_index, settings_path, settings_text, stretch)
    if result["settings_problem"]:
        raise ValueError("no profile can be fitted: " + result["settings_problem"])
    if not result["ok"]:
        _raise_failure(result, path)
    columns = [(name, kind, unit, description, values, None)
               for name, kind, unit, description, values in [
        ("star", "int", "", "result number", result["star"]),
        ("x", "real", "pix", "centroid x measured at", result["x"]),
        ("y", "real", "pix", "centroid y measured at", result["y"]),
        ("sigma", "real", "pix", "sigma of the fitted Gaussian", result["sigma"]),
        ("peak", "real", "", "fitted peak above the sky, in levels", result["peak"]),
        ("sky", "real", "", "sky level", result["sky"]),
        ("adopted", "int", "", "taken into the PSF table", result["adopted"].astype(bool)),
        ("skipped", "text", "", "why there is no profile",
         np.array(result["skipped"], dtype=str)),
    ]]
    meta = {
        "picture": path,
        "psf_sd": result["psf_sd"],
        "psf_sdd": result["psf_sdd"],
        "entries": result["entries"],
        "program_version": __version__,
    }
    return _table(columns, meta)
