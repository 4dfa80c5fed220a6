#!/usr/bin/env bash
# A click on a star with the PSF page open, on a huge picture: runs orvandel-psf-window-bench
# (Release) under Xvfb RUNS times (default 3) on a generated 4096 x 4096 field with 8000 stars
# and the standard settings, 50 clicks each, and prints for each run the median and the worst
# time from the click to the plotted profile (the PSF page and the picture repainted).
# Target: at most 100 ms.
#   bench/psf_speed.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}

. scripts/packages.sh
orv_ensure_packages "${ORV_PACKAGES[@]}" xvfb

build=build/release
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target orvandel-psf-window-bench | grep -v '^ninja: no work to do' >&2 || true

for i in $(seq 1 "$runs"); do
    echo "run $i:"
    xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" \
        "$build/bin/orvandel-psf-window-bench" config/Orvandel.ini --size 4096 --stars 8000 2>/dev/null
done
