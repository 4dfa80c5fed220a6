#!/usr/bin/env bash
# Looking around a huge picture in the main window: runs orvandel-nav-bench (Release) under
# Xvfb RUNS times (default 3) on a generated 4096 x 4096 field with 8000 stars and the standard
# settings, every mark drawn, and prints its line per zoom level for each run:
#   pan_ms, zoom_ms, drag_ms  one pan, one wheel zoom step, one hand-drag step, each with the
#                            repaint of the viewport (median over 40, and the worst)
#   mag_ms                   one magnifier update with its repaint
#   rss_mb                   the process's resident memory at that level
# and a line per scale below 1 (1/2, 1/4, 1/8, fit) with pan_ms, zoom_ms and smooth_ms, the
# smooth reduction of the whole picture that follows a step once the view is still.
# Targets: pan, zoom and drag at most 16 ms, the magnifier at most 5 ms, memory flat.
#   bench/navigation_speed.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}

. scripts/packages.sh
orv_ensure_packages "${ORV_PACKAGES[@]}" xvfb

build=build/release
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target orvandel-nav-bench | grep -v '^ninja: no work to do' >&2 || true

for i in $(seq 1 "$runs"); do
    echo "run $i:"
    xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" \
        "$build/bin/orvandel-nav-bench" config/Orvandel.ini --size 4096 --stars 8000 2>/dev/null
done
