#!/usr/bin/python3
"""A star field written by astropy and the catalogues of it read back by astropy.

  astropy_field.py make FIELD.fits TRUTH.csv
      A 16-bit unsigned FITS picture (BZERO 32768) with a TAN WCS: sky 500, Gaussian noise of
      sigma 1.5, isolated Gaussian stars (each pixel the star's integral over it) with sigma
      from 1.2 to 2.4 px and fluxes from 1e3 to 3e6 (log-uniform), rounded and clipped at 65535.
      TRUTH.csv: x, y (the result files' convention: a pixel's centre at index + 0.5, y down
      from the top row as shown, i.e. the top row is FITS row NAXIS2), flux, sigma, saturated.

  astropy_field.py check TRUTH.csv CAT.csv CAT.ecsv CAT.fits
      Reads the three catalogues with astropy, checks that ECSV and FITS carry the units and
      the same values as the CSV, matches the results to the true stars and checks the
      photometry, the shape and the saturation flag. Prints one line of figures; exit status
      0 when every check holds.
"""

import math
import sys

import numpy as np
from astropy.io import fits
from astropy.table import Table
from astropy.wcs import WCS

SIDE = 900
SKY = 500.0
NOISE = 1.5
SPACING = 60


def pixel_integral(centre, sigma, n):
    """The integral of a unit 1-d Gaussian over pixels [i, i + 1), i = 0..n-1."""
    edges = (np.arange(n + 1) - centre) / (sigma * math.sqrt(2.0))
    cdf = 0.5 * (1.0 + np.vectorize(math.erf)(edges))
    return np.diff(cdf)


def make(fits_path, truth_path):
    rng = np.random.default_rng(20260127)
    image = np.full((SIDE, SIDE), SKY)  # [row from the top, column]
    stars = []
    cells = SIDE // SPACING
    for j in range(cells):
        for i in range(cells):
            x = (i + 0.5) * SPACING + rng.uniform(-8, 8)
            y = (j + 0.5) * SPACING + rng.uniform(-8, 8)
            sigma = rng.uniform(1.2, 2.4)
            flux = 10 ** rng.uniform(3.0, 6.5)
            image += flux * np.outer(pixel_integral(y, sigma, SIDE),
                                     pixel_integral(x, sigma, SIDE))
            stars.append((x, y, flux, sigma))
    image += rng.normal(0.0, NOISE, image.shape)
    counts = np.clip(np.round(image), 0, 65535)
    with open(truth_path, "w") as out:
        out.write("x,y,flux,sigma,saturated\n")
        for x, y, flux, sigma in stars:
            r, c = int(y), int(x)
            peak = counts[max(r - 3, 0):r + 4, max(c - 3, 0):c + 4].max()
            out.write("%.6f,%.6f,%.6f,%.6f,%d\n" % (x, y, flux, sigma, peak >= 65535))

    wcs = WCS(naxis=2)
    wcs.wcs.ctype = ["RA---TAN", "DEC--TAN"]
    wcs.wcs.crpix = [450.5, 450.5]
    wcs.wcs.crval = [150.1, 2.2]
    wcs.wcs.cdelt = [-0.0002, 0.0002]
    wcs.wcs.radesys = "ICRS"
    header = wcs.to_header()
    # FITS row 1 is the bottom row.
    hdu = fits.PrimaryHDU(counts[::-1].astype(np.uint16), header=header)
    hdu.writeto(fits_path, overwrite=True)


def same_column(a, b, name):
    ma = np.ma.getmaskarray(a[name])
    mb = np.ma.getmaskarray(b[name])
    if not np.array_equal(ma, mb):
        return False
    va = np.asarray(np.ma.getdata(a[name]))[~ma]
    vb = np.asarray(np.ma.getdata(b[name]))[~mb]
    if va.dtype.kind in "fiu":
        return np.array_equal(va.astype(float), vb.astype(float))
    return [str(v) for v in va] == [str(v) for v in vb]


def check(truth_path, csv_path, ecsv_path, fits_path):
    failures = []
    csv = Table.read(csv_path, format="ascii.csv")
    ecsv = Table.read(ecsv_path, format="ascii.ecsv")
    table = Table.read(fits_path)
    units = {"x": "pix", "ra": "deg", "dec": "deg", "flux": "adu", "fwhm": "pix",
             "theta": "deg", "background": "adu"}
    for name, t in (("ECSV", ecsv), ("FITS", table)):
        if t.colnames != csv.colnames:
            failures.append("%s columns differ from the CSV's" % name)
            continue
        for column, unit in units.items():
            if str(t[column].unit) != unit:
                failures.append("%s %s unit %s, not %s" % (name, column, t[column].unit, unit))
        for column in csv.colnames:
            if column in ("tile", "note"):
                continue
            if not same_column(csv, t, column):
                failures.append("%s column %s differs from the CSV" % (name, column))
    if "picture" not in ecsv.meta or table.meta.get("PICTURE") != ecsv.meta.get("picture"):
        failures.append("the metadata do not name the picture")

    truth = Table.read(truth_path, format="ascii.csv")
    x = np.asarray(csv["x"], float)
    y = np.asarray(csv["y"], float)
    flux_ratio, fwhm_ratio = [], []
    matched = saturated_flagged = saturated_seen = false_saturated = 0
    for star in truth:
        d = np.hypot(x - star["x"], y - star["y"])
        k = int(np.argmin(d))
        if d[k] > 1.5:
            continue
        matched += 1
        flags = int(csv["flags"][k])
        if star["saturated"]:
            saturated_seen += 1
            saturated_flagged += flags & 1
            continue
        false_saturated += flags & 1
        if np.ma.is_masked(csv["snr"][k]) or csv["snr"][k] <= 50:
            continue
        flux_ratio.append(abs(csv["flux"][k] / star["flux"] - 1))
        fwhm_ratio.append(abs(csv["fwhm"][k] / (2.3548200450309493 * star["sigma"]) - 1))
    flux_median = float(np.median(flux_ratio)) if flux_ratio else float("nan")
    fwhm_median = float(np.median(fwhm_ratio)) if fwhm_ratio else float("nan")
    print("matched %d, measured %d, median |flux/true-1| %.4f, median |fwhm/true-1| %.4f, "
          "saturated flagged %d of %d, unsaturated flagged %d"
          % (matched, len(flux_ratio), flux_median, fwhm_median, saturated_flagged,
             saturated_seen, false_saturated))
    if len(flux_ratio) < 60:
        failures.append("only %d isolated unsaturated stars with SNR > 50" % len(flux_ratio))
    if not flux_median <= 0.05:
        failures.append("median |flux/true - 1| = %.4f > 0.05" % flux_median)
    if not fwhm_median <= 0.10:
        failures.append("median |fwhm/true - 1| = %.4f > 0.10" % fwhm_median)
    if saturated_seen == 0 or saturated_flagged != saturated_seen:
        failures.append("saturated stars flagged: %d of %d" % (saturated_flagged, saturated_seen))
    if false_saturated:
        failures.append("%d unsaturated stars carry flag 1" % false_saturated)
    for f in failures:
        print("FAIL: " + f)
    return 0 if not failures else 1


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3])
        sys.exit(0)
    if len(sys.argv) == 6 and sys.argv[1] == "check":
        sys.exit(check(*sys.argv[2:]))
    print(__doc__)
    sys.exit(2)
