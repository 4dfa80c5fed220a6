"""The Python module's tests. PYTHONPATH names the build's python/ folder (the module built
without the sanitizers) and ORV_CLI the orvandel-cli of the same build: ./test and CTest set
both (python_tests)."""

import os
import struct
import subprocess
import zlib

import numpy as np
import pytest

import orvandel

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAMPLE = os.path.join(REPO, "samples", "starfield.bmp")


def pytest_report_header(config):
    return "orvandel module: %s; orvandel-cli: %s" % (
        os.path.dirname(orvandel.__file__), os.environ.get("ORV_CLI", "(ORV_CLI not set)"))


def run_cli(*args):
    """orvandel-cli ARGS: (exit status, standard output)."""
    cli = os.environ.get("ORV_CLI")
    if not cli:
        pytest.skip("ORV_CLI is not set")
    done = subprocess.run([cli, *map(str, args)], capture_output=True, text=True)
    return done.returncode, done.stdout


def star_field(shape, stars, seed, sky=30.0, noise=1.2, peak=(20, 200), scale=1.0):
    """A sky with Gaussian stars and noise, in levels (float64), row 0 at the top."""
    rng = np.random.default_rng(seed)
    h, w = shape
    y, x = np.mgrid[0:h, 0:w]
    field = np.full(shape, sky) + x * 0.01
    for _ in range(stars):
        cx, cy = rng.uniform(3, w - 3), rng.uniform(3, h - 3)
        sigma, top = rng.uniform(0.8, 2.2), rng.uniform(*peak)
        field += top * np.exp(-((x - cx) ** 2 + (y - cy) ** 2) / (2 * sigma ** 2))
    return (field + rng.normal(0, noise, shape)) * scale


def write_bmp(path, pixels):
    """A 24-bit BMP of a 2-D grey or H x W x 3 RGB uint8 array (row 0 at the top)."""
    rgb = pixels if pixels.ndim == 3 else np.repeat(pixels[:, :, None], 3, axis=2)
    h, w = rgb.shape[:2]
    row = (3 * w + 3) // 4 * 4
    body = bytearray()
    for line in rgb[::-1]:  # bottom row first
        body += line[:, ::-1].tobytes()  # B, G, R
        body += b"\0" * (row - 3 * w)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body)


def write_png16(path, samples):
    """A 16-bit grey PNG of a 2-D uint16 array (row 0 at the top)."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    h, w = samples.shape
    rows = b"".join(b"\0" + row.astype(">u2").tobytes() for row in samples)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 16, 0, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def write_fits(path, samples, header=None):
    """A FITS picture of a 2-D array whose row 0 is the picture's top (FITS keeps it last)."""
    from astropy.io import fits

    fits.PrimaryHDU(np.flipud(samples), header=header).writeto(path, overwrite=True)


@pytest.fixture
def settings_file(tmp_path):
    """Settings unlike the standard ones, as a file."""
    path = tmp_path / "Orvandel.ini"
    path.write_text("[SYSTEM]\r\nHeikinWidth = 6\r\nSikiTop = 230\r\nSiki = 5\r\nNumPixel = 4\r\n"
                    "NumPixel2 = 10\r\nSinendo = 1.8\r\nSinendoMax = 25\r\nMargin = 0\r\n"
                    "[PSF]\r\nPSFFactorRSD = 2\r\nPSFAnnulus = 6\r\nPSFDAnnulus = 3\r\n")
    return path
