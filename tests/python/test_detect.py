"""detect against the command line and against itself: files, arrays, units."""

import csv
import math
import re
import shutil
import tracemalloc

import numpy as np
import pytest

import orvandel
from conftest import SAMPLE, run_cli, star_field, write_bmp, write_fits, write_png16


def fits_header():
    """A celestial WCS (TAN), so that ra and dec are added."""
    from astropy.io import fits

    h = fits.Header()
    for key, value in [("CTYPE1", "RA---TAN"), ("CTYPE2", "DEC--TAN"), ("CRPIX1", 90.5),
                       ("CRPIX2", 60.5), ("CRVAL1", 83.82), ("CRVAL2", -5.39),
                       ("CDELT1", -0.0003), ("CDELT2", 0.0003)]:
        h[key] = value
    return h


def picture(kind, folder):
    """A picture file of the given kind in `folder`."""
    if kind == "bmp":
        path = folder / "starfield.bmp"
        shutil.copy(SAMPLE, path)
    elif kind == "fits16":
        path = folder / "field16.fits"
        field = star_field((120, 180), 40, seed=3, scale=150) + 1000
        write_fits(path, np.clip(field, 0, 65535).astype(np.uint16), fits_header())
    else:
        path = folder / "field32.fits"
        write_fits(path, star_field((100, 140), 30, seed=5, scale=0.01).astype(np.float32))
    return path


def cli_catalogue(path, settings, options):
    """The CLI's detection of `path` and its catalogue: (counts line, header, rows, the
    catalogue as ECSV read by astropy)."""
    from astropy.table import Table

    status, out = run_cli("detect", "--jobs", "1", "--settings", settings, *options, path)
    assert status == 0, out
    csv_path, ecsv_path = str(path) + ".csv", str(path) + ".ecsv"
    assert run_cli("export", path, "-o", csv_path)[0] == 0
    assert run_cli("export", path, "-o", ecsv_path)[0] == 0
    with open(csv_path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    return out, rows[0], rows[1:], Table.read(ecsv_path, format="ascii.ecsv")


def cli_options(channel="B", hyotan=False, threshold_sigma=None, stretch=None, filter=None):
    options = ["--channel", channel]
    if filter is not None:
        options += ["--filter", str(filter)]
    if hyotan:
        options.append("--hyotan")
    if threshold_sigma:
        options += ["--threshold-sigma", str(threshold_sigma)]
    if stretch:
        options += ["--stretch", stretch]
    return options


def assert_same_as_csv(table, header, rows):
    """Every cell: an empty one masked, a number the value its text reads as, a text itself."""
    assert table.colnames == header
    assert len(table) == len(rows)
    for k, name in enumerate(header):
        column = table[name]
        mask = np.ma.getmaskarray(column)
        data = np.ma.getdata(column)
        for value, masked, row in zip(data, mask, rows):
            cell = row[k]
            if column.dtype.kind == "U":
                assert value == cell and not masked, name
            elif cell == "":
                assert masked, name
            else:
                assert not masked, (name, cell)
                if column.dtype.kind == "i":
                    assert value == int(cell), name
                else:
                    assert value == float(cell), (name, value, cell)


def assert_same_tables(a, b, skip=()):
    names = [n for n in a.colnames if n not in skip and n in b.colnames]
    assert len(a) == len(b)
    for name in names:
        assert a[name].dtype.kind == b[name].dtype.kind, name
        mask = np.ma.getmaskarray(a[name])
        assert np.array_equal(mask, np.ma.getmaskarray(b[name])), name
        assert np.array_equal(np.ma.getdata(a[name])[~mask], np.ma.getdata(b[name])[~mask]), name


CASES = [
    ("bmp", {}),
    ("bmp", {"channel": "Y", "hyotan": True, "threshold_sigma": 2.75}),
    ("fits16", {}),
    ("fits16", {"stretch": "minmax", "hyotan": True}),
    ("fits32", {"channel": "G"}),
    ("bmp", {"filter": 1.5}),
    ("fits16", {"filter": 0.75, "threshold_sigma": 3}),
]


@pytest.mark.parametrize("kind,options", CASES)
def test_detect_on_a_file_gives_the_cli_catalogue_to_the_last_digit(
        tmp_path, settings_file, kind, options):
    path = picture(kind, tmp_path)
    counts, header, rows, ecsv = cli_catalogue(path, settings_file, cli_options(**options))
    table = orvandel.detect(path, settings=settings_file, **options)
    assert_same_as_csv(table, header, rows)
    assert np.isfinite(np.ma.getdata(table["flux"])).sum() > 10  # measured
    # The metadata the catalogue files keep, units and descriptions: the CLI's.
    for key, value in ecsv.meta.items():
        assert table.meta[key] == value, key
    for name in header:
        assert table[name].unit == ecsv[name].unit, name
        assert table[name].description == ecsv[name].description, name
    c = table.meta["counts"]
    assert ("%d results: noise %d, area %d, star %d, elongated %d"
            % (len(table), c["noise"], c["area"], c["star"], c["elongated"])) in counts
    if options.get("threshold_sigma"):
        siki, sigma = re.search(r"Siki (\S+), noise sigma (\S+)\)", counts).groups()
        assert table.meta["threshold"] == float(siki)
        assert "%.2f" % table.meta["detection_noise_sigma"] == sigma
    # The saved pair reads back as the same table.
    assert_same_tables(orvandel.read_results(path), table)
    assert orvandel.read_results(path).meta["counts"] == c


def test_standard_settings_are_the_cli_standard_ones(tmp_path):
    path = picture("bmp", tmp_path)
    standard = tmp_path / "standard.ini"
    standard.write_text("[SYSTEM]\nHeikinWidth = 4\nSikiTop = 240\nSiki = 4\nNumPixel = 5\n"
                        "NumPixel2 = 12\nSinendo = 2\nSinendoMax = 30\nMargin = 0\n")
    _, header, rows, _ = cli_catalogue(path, standard, [])
    table = orvandel.detect(path)
    assert_same_as_csv(table, header, rows)
    assert table.meta["settings"]["Siki"] == 4 and table.meta["threshold"] == 4
    # A dict names only what differs from the standard settings.
    assert_same_tables(orvandel.detect(path, settings={"Siki": 5, "HeikinWidth": 6}),
                       orvandel.detect(path, settings={"Siki": 5.0, "HeikinWidth": 6,
                                                       "SikiTop": 240}))


def test_the_filter_as_an_option_and_as_a_setting(tmp_path):
    path = picture("fits16", tmp_path)
    plain = orvandel.detect(path)
    filtered = orvandel.detect(path, filter=2)
    assert filtered.meta["filter_sigma"] == 2 and filtered.meta["settings"]["FilterSigma"] == 2
    assert "filter_sigma" not in plain.meta or plain.meta["filter_sigma"] == 0
    assert len(filtered) != len(plain) or not np.array_equal(filtered["x"], plain["x"])
    assert_same_tables(orvandel.detect(path, settings={"FilterSigma": 2}), filtered)
    # 0 is off: the results without the filter.
    assert_same_tables(orvandel.detect(path, filter=0, settings={"FilterSigma": 2}), plain)


def test_units_and_meta(tmp_path):
    import astropy.units as u

    table = orvandel.detect(picture("fits16", tmp_path))
    for name in ("x", "y", "x_fits", "y_fits", "fwhm", "a", "b", "flux_radius", "hankei_ave"):
        assert table[name].unit == u.pix, name
    assert table["ra"].unit == u.deg and table["theta"].unit == u.deg
    for name in ("flux", "flux_err", "flux_iso", "background", "peak"):
        assert table[name].unit == u.adu, name
    for name in ("id", "star", "atr", "edit_atr", "flags", "snr", "sum_level", "siki"):
        assert table[name].unit is None, name
    meta = table.meta
    assert meta["width"] == 180 and meta["height"] == 120 and meta["channel"] == "B"
    assert meta["noise_sigma"] > 0 and meta["threshold"] == 4
    assert meta["flux_unit"] == "adu" and meta["samples"] == "samples"
    assert meta["saturation"] == 65535
    assert meta["stretch"] == "percentile:0.1,99.9"
    assert meta["stretch_black"] < meta["stretch_white"]
    assert sum(meta["counts"][k] for k in ("noise", "area", "star", "elongated")) == len(table)
    assert meta["settings"]["HeikinWidth"] == 4
    assert meta["settings"]["Stretch"] == "percentile:0.1,99.9"
    assert list(table["id"]) == list(range(1, len(table) + 1))


def arrays():
    """Arrays of every kind the engine takes, with a picture file of the same pixels."""
    levels = np.clip(star_field((90, 130), 25, seed=11), 0, 255).astype(np.uint8)
    rgb = np.stack([levels, np.roll(levels, 1, axis=1), levels // 2 + 20], axis=2)
    deep = star_field((90, 130), 25, seed=12, scale=180) + 500
    return [
        ("uint8", levels, "bmp"),
        ("rgb", rgb, "bmp"),
        ("uint16", np.clip(deep, 0, 65535).astype(np.uint16), "fits"),
        ("float32", (deep / 7).astype(np.float32), "fits"),
        ("float64", deep / 3, "fits"),
    ]


@pytest.mark.parametrize("name,array,kind", arrays(), ids=[a[0] for a in arrays()])
def test_detect_on_an_array_equals_detect_on_the_same_pixels_as_a_file(
        tmp_path, name, array, kind):
    path = tmp_path / ("picture." + kind)
    (write_bmp if kind == "bmp" else write_fits)(path, array)
    for channel in ("B", "R"):
        from_file = orvandel.detect(path, channel=channel, hyotan=True)
        from_array = orvandel.detect(array, channel=channel, hyotan=True)
        assert len(from_array) > 10
        assert set(from_array["tile"]) == {""}
        # An array has no FITS header: no FITS pixel columns, ra or dec.
        assert_same_tables(from_array, from_file, skip=("tile", "x_fits", "y_fits"))
        assert np.ma.getmaskarray(from_array["x_fits"]).all()
        for key in ("noise_sigma", "threshold", "counts", "stretch", "width", "height",
                    "flux_unit", "samples", "saturation", "detection_noise_sigma"):
            assert from_array.meta.get(key) == from_file.meta.get(key), key
        assert "picture" not in from_array.meta and from_array.meta["path"] is None


def test_a_picture_decoded_by_the_helper_program(tmp_path):
    """A 16-bit PNG is decoded in orvandel-decode beside the module: the array's results; a
    damaged one is refused with the reason, and the interpreter goes on."""
    samples = np.clip(star_field((90, 130), 25, seed=13, scale=180) + 500, 0, 65535)
    samples = samples.astype(np.uint16)
    path = tmp_path / "field.png"
    write_png16(path, samples)
    from_file = orvandel.detect(path)
    assert len(from_file) > 10 and from_file.meta["samples"] == "samples"
    assert_same_tables(orvandel.detect(samples), from_file, skip=("tile",))
    damaged = tmp_path / "damaged.png"
    damaged.write_bytes(path.read_bytes()[:200])
    with pytest.raises(OSError, match="damaged.png"):
        orvandel.detect(damaged)


def test_arrays_in_other_layouts_and_kinds_give_the_same_results():
    levels = np.clip(star_field((80, 100), 20, seed=21), 0, 255).astype(np.uint8)
    reference = orvandel.detect(levels)
    wide = np.zeros((80, 160), np.uint8)
    wide[:, 20:120] = levels
    for same in (wide[:, 20:120],                 # rows apart: read where they lie
                 np.asfortranarray(levels)):      # converted to C order
        assert_same_tables(orvandel.detect(same), reference)
    deep = star_field((80, 100), 20, seed=22, scale=100).astype(np.int32)
    assert_same_tables(orvandel.detect(deep), orvandel.detect(deep.astype(np.float64)))
    for big_endian in (">u2", ">f4", ">f8"):  # as astropy reads FITS samples: converted
        assert_same_tables(orvandel.detect(deep.astype(big_endian)),
                           orvandel.detect(deep.astype(big_endian[1:])))


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32, np.float64])
def test_a_c_order_array_is_not_copied(dtype):
    scale = 1 if dtype == np.uint8 else 9
    picture = np.ascontiguousarray(star_field((800, 1000), 40, seed=31) * scale, dtype=dtype)
    tracemalloc.start()
    orvandel.detect(picture, threshold_sigma=4)
    peak = tracemalloc.get_traced_memory()[1]
    tracemalloc.stop()
    assert peak < picture.nbytes / 2


def test_without_astropy_the_catalogue_is_a_structured_array(monkeypatch):
    levels = np.clip(star_field((80, 100), 20, seed=41), 0, 255).astype(np.uint8)
    table = orvandel.detect(levels)
    monkeypatch.setattr(orvandel, "_astropy_table", lambda: None)
    plain = orvandel.detect(levels)
    assert isinstance(plain, orvandel.CatalogueMaskedArray)
    assert plain.dtype.names == tuple(table.colnames)
    for name in table.colnames:
        mask = np.ma.getmaskarray(table[name])
        assert np.array_equal(np.ma.getmaskarray(plain[name]), mask), name
        assert np.array_equal(np.ma.getdata(plain[name])[~mask],
                              np.ma.getdata(table[name])[~mask]), name
    assert plain.units["x"] == "pix" and plain.units["star"] == ""
    assert plain.meta["counts"] == table.meta["counts"]
    assert plain[plain["atr"] == 3].meta["counts"] == table.meta["counts"]


@pytest.mark.parametrize("name,array,kind", [a for a in arrays() if a[0] in ("rgb", "uint16")],
                         ids=["bmp", "fits16"])
def test_tiles_give_the_catalogue_of_detect_tiles_and_arrays_the_same(
        tmp_path, name, array, kind):
    """tiles=(S, M): the catalogue of `orvandel-cli detect --tiles S --margin M`, every cell;
    the same pixels as an array give the same results."""
    path = tmp_path / ("picture." + kind)
    (write_bmp if kind == "bmp" else write_fits)(path, array)
    csv_path = str(path) + ".csv"
    status, out = run_cli("detect", "--tiles", 40, "--margin", 10, "-o", csv_path, path)
    assert status == 0, out
    with open(csv_path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    table = orvandel.detect(path, tiles=(40, 10))
    assert_same_as_csv(table, rows[0], rows[1:])
    grid = table.meta["tiles"]
    assert grid["columns"] * grid["rows"] == grid["done"] >= 6
    assert len(set(table["tile"])) >= 6 and table.meta["counts"]["star"] > 0
    from_array = orvandel.detect(array, tiles=(40, 10))
    assert_same_tables(from_array, table, skip=("tile", "x_fits", "y_fits", "ra", "dec"))


@pytest.mark.parametrize("bad", ["big", 0, -5, (10, "x"), True, float("nan")])
def test_bad_tiles_are_refused(bad):
    with pytest.raises(ValueError):
        orvandel.detect(SAMPLE, tiles=bad)
