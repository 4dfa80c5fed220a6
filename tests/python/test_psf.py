"""psf against the command line."""

import re
import shutil

import numpy as np

import orvandel
from conftest import SAMPLE, run_cli


def test_psf_gives_the_cli_profiles_and_spread(tmp_path, settings_file):
    path = tmp_path / "starfield.bmp"
    shutil.copy(SAMPLE, path)
    assert run_cli("detect", "--settings", settings_file, path)[0] == 0
    # More profiles than the PSF table holds: the command says so in its exit status.
    status, out = run_cli("psf", "--settings", settings_file, path)
    assert status == 1, out
    lines = out.splitlines()
    profiles = [line.split() for line in lines if line[0].isdigit() and "skipped" not in line]
    skipped = [line.split()[0] for line in lines if "skipped" in line]
    table = orvandel.psf(path, settings=settings_file)
    fitted = table[table["skipped"] == ""]
    assert len(fitted) == len(profiles) > 20
    for row, fields in zip(fitted, profiles):
        assert [row["star"], row["x"], row["y"], row["sigma"], row["peak"], row["sky"]] == \
            [int(fields[0])] + [float(v) for v in fields[1:]]
    assert [str(n) for n in table[table["skipped"] != ""]["star"]] == skipped
    fits = table["skipped"] == ""
    assert list(table["adopted"]) == list((np.cumsum(fits) <= 100) & fits)
    assert float(re.search(r"PSFsd = (\S+)", out).group(1)) == table.meta["psf_sd"]
    assert float(re.search(r"PSFsdd = (\S+)", out).group(1)) == table.meta["psf_sdd"]
    assert table.meta["entries"] == 100
    # The stars of a catalogue, or by their numbers, give the same profiles.
    catalogue = orvandel.read_results(path)
    chosen = catalogue[catalogue["star"] == fitted["star"][0]]
    again = orvandel.psf(path, stars=chosen, settings=settings_file)
    assert list(again["sigma"]) == [fitted["sigma"][0]]
    by_number = orvandel.psf(path, stars=[int(fitted["star"][1])], settings=settings_file)
    assert list(by_number["sigma"]) == [fitted["sigma"][1]]
