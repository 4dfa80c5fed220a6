"""What detect, read_results and psf refuse, and how."""

import numpy as np
import pytest

import orvandel
from conftest import SAMPLE, star_field, write_bmp

FLAT = np.full((40, 50), 7.5)
GOOD = np.clip(star_field((60, 80), 10, seed=51), 0, 255).astype(np.uint8)


def checkerboard(height, width):
    """Every other pixel bright: each is a cluster of its own (diagonal pixels do not touch)."""
    y, x = np.mgrid[0:height, 0:width]
    return np.where((x + y) % 2 == 0, 200, 0).astype(np.uint8)


@pytest.mark.parametrize("image,kwargs,error,words", [
    ("/nonexistent/m42.bmp", {}, FileNotFoundError, "m42.bmp"),
    (np.zeros((4, 5), complex), {}, TypeError, "complex"),
    (np.zeros((4, 5), bool), {}, TypeError, "bool"),
    (np.zeros((4, 5, 3), np.uint16), {}, TypeError, "uint8"),
    (np.zeros(20, np.uint8), {}, ValueError, "2-D"),
    (np.zeros((0, 5), np.uint8), {}, ValueError, "empty"),
    (FLAT, {}, ValueError, "7.5"),                             # nothing to stretch
    (FLAT + np.eye(40, 50), {"stretch": "range:3"}, ValueError, "stretch"),
    (GOOD, {"channel": "V"}, ValueError, "R, G, B or Y"),
    (GOOD, {"threshold_sigma": 0}, ValueError, "above 0"),
    (GOOD, {"threshold_sigma": 101}, ValueError, "up to 100"),
    (GOOD, {"settings": "/nonexistent/Orvandel.ini"}, FileNotFoundError, "settings file"),
    (GOOD, {"settings": {"Sikii": 4}}, ValueError, "HeikinWidth"),
    (GOOD, {"settings": {"Siki": "4"}}, TypeError, "Siki"),
    (GOOD, {"settings": {"Siki": float("nan")}}, ValueError, "Siki"),
    (GOOD, {"settings": 4}, TypeError, "dict"),
    (GOOD, {"filter": 0.4}, ValueError, "0.5 to 5"),
    (GOOD, {"filter": 5.5}, ValueError, "0.5 to 5"),
    (GOOD, {"filter": -1}, ValueError, "0.5 to 5"),
    (GOOD, {"filter": True}, ValueError, "0.5 to 5"),
    (GOOD, {"filter": "1.5"}, ValueError, "0.5 to 5"),
    (GOOD, {"filter": float("inf")}, ValueError, "0.5 to 5"),
    (GOOD, {"settings": {"FilterSigma": 9}}, ValueError, "0.5 to 5"),
    (GOOD, {"tiles": "big"}, ValueError, "tile step"),
    (GOOD, {"tiles": (10, -1)}, ValueError, "分割マージン"),
])
def test_bad_input_is_refused_with_the_reason(image, kwargs, error, words):
    with pytest.raises(error, match=words.replace("(", r"\(")):
        orvandel.detect(image, **kwargs)


def test_a_file_that_is_no_picture_and_a_settings_file_without_the_settings(tmp_path):
    fake = tmp_path / "fake.bmp"
    fake.write_bytes(b"BM not a picture")
    with pytest.raises(OSError, match="fake.bmp") as raised:
        orvandel.detect(fake)
    assert not isinstance(raised.value, FileNotFoundError)
    assert not (tmp_path / "fake.bmp.dir").exists()  # nothing written beside the picture
    partial = tmp_path / "partial.ini"
    partial.write_text("[SYSTEM]\nSiki = 4\n")
    with pytest.raises(ValueError, match="HeikinWidth"):
        orvandel.detect(GOOD, settings=partial)


def test_results_that_are_missing_or_damaged(tmp_path):
    picture = tmp_path / "m42.bmp"
    write_bmp(picture, GOOD)
    with pytest.raises(FileNotFoundError):
        orvandel.read_results(picture)
    folder = tmp_path / "m42.bmp.dir"
    folder.mkdir()
    (folder / "m42.bmp.dat.ini").write_text("[SYSTEM]\nImageWidthP = 80\nImageHeightP = 60\n")
    (folder / "m42.bmp.dat").write_text("1,2,3\n")
    with pytest.raises(ValueError, match="1"):
        orvandel.read_results(picture)


def test_a_full_table_raises_table_full_with_the_row_reached(tmp_path):
    picture = checkerboard(420, 300)  # 63000 one-pixel clusters, 150 a row
    with pytest.raises(orvandel.TableFull) as raised:
        orvandel.detect(picture)
    full = raised.value
    assert full.row == 50000 // 150 + 1  # the row that did not fit
    assert len(full.table) == 50000 and full.splits_cut_short == 0
    assert str(full.row) in str(full)


def test_psf_refuses_settings_that_fit_no_profile():
    with pytest.raises(ValueError, match="PSFAnnulus"):
        orvandel.psf(GOOD, settings={"PSFAnnulus": 0.2})
