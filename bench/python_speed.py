"""orvandel.detect on a numpy array against the engine's own time and against sep.extract.

    bench/python_speed.sh [RUNS]       (builds what it needs, then runs this)

The picture: the generated 4096 x 4096 field of docs/PERFORMANCE.md (8000 stars, noise 1.2),
its blue channel as a 2-D uint8 array, detected with the standard settings. For each run:

  detect       the wall time of orvandel.detect(array), table included
  engine       the engine's own time inside that call (loading the array's levels, background,
               clusters, analysis, the measurements of every result: meta["engine_seconds"]),
               so both see the same machine
  sep          sep.Background + sep.extract on the same pixels as float32 (threshold 4 levels
               above the background, at least 5 pixels: Siki 4 and NumPixel 5), when the
               Debian package python3-sep is installed

detect and sep run alternately. Prints the medians and the median of the per-run ratios.
"""

import statistics
import sys
import time

import numpy as np

import orvandel


def read_bmp_blue(path):
    """The blue channel of a 24-bit bottom-up BMP as a C-order uint8 array, row 0 at the top."""
    raw = np.fromfile(path, dtype=np.uint8)
    offset = int.from_bytes(raw[10:14].tobytes(), "little")
    width = int.from_bytes(raw[18:22].tobytes(), "little")
    height = int.from_bytes(raw[22:26].tobytes(), "little", signed=True)
    row = (3 * width + 3) // 4 * 4
    pixels = raw[offset:offset + row * abs(height)].reshape(abs(height), row)
    blue = pixels[:, 0:3 * width:3]
    return np.ascontiguousarray(blue[::-1] if height > 0 else blue)


def main():
    path, runs = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 7
    levels = read_bmp_blue(path)
    try:
        import sep
    except ImportError:
        sep = None
    if sep is not None:
        sep.set_extract_pixstack(20_000_000)
        sep.set_sub_object_limit(4096)
        samples = levels.astype(np.float32)

    table = orvandel.detect(levels)  # the first run also brings the memory in
    detect, engine, ratio, sep_times = [], [], [], []
    found = 0
    for _ in range(runs):
        t0 = time.perf_counter()
        table = orvandel.detect(levels)
        detect.append(time.perf_counter() - t0)
        engine.append(table.meta["engine_seconds"])
        ratio.append(detect[-1] / engine[-1])
        if sep is not None:
            t0 = time.perf_counter()
            background = sep.Background(samples)
            objects = sep.extract(samples - background, 4.0, minarea=5)
            sep_times.append(time.perf_counter() - t0)
            found = len(objects)

    median = statistics.median
    print("%d x %d uint8, %d results (%d stars), %d runs"
          % (levels.shape[1], levels.shape[0], len(table), table.meta["counts"]["star"], runs))
    print("orvandel.detect  median %.1f ms (%.1f - %.1f)" % (1e3 * median(detect),
                                                           1e3 * min(detect), 1e3 * max(detect)))
    print("engine's own     median %.1f ms" % (1e3 * median(engine)))
    print("detect / engine  median %.3f (%.3f - %.3f)" % (median(ratio), min(ratio), max(ratio)))
    if sep_times:
        print("sep.extract      median %.1f ms, %d objects" % (1e3 * median(sep_times), found))
        print("sep / detect     %.2f" % (median(sep_times) / median(detect)))


if __name__ == "__main__":
    main()
