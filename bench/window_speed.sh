#!/usr/bin/env bash
# The main window's speed on a huge picture: runs orvandel-window-bench (Release) under Xvfb
# RUNS times (default 5) on a generated 4096 x 4096 field with 8000 stars (noise sigma 1.2)
# and the standard settings (config/Orvandel.ini), then prints the median and the worst of
#   stage10_ms    click on 恒星位置抽出 to stage 10, the program's 2 s of pauses included
#   paint_gap_ms  longest time between two repaints of the viewport during that run
#   pump_gap_ms   longest time between two event-queue passes (QtHost::longestGapMs)
#   load_ms, load_gap_ms  loading the picture beforehand, and its longest event-queue gap
# Targets: stage10_ms <= 3000, paint_gap_ms <= 100.
#   bench/window_speed.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

. scripts/packages.sh
orv_ensure_packages "${ORV_PACKAGES[@]}" xvfb

build=build/release
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target orvandel-window-bench | grep -v '^ninja: no work to do' >&2 || true

lines=()
for i in $(seq 1 "$runs"); do
    line=$(xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" \
        "$build/bin/orvandel-window-bench" config/Orvandel.ini \
        --size 4096 --stars 8000 --noise 1.2 --seed 1 2>/dev/null | tail -n 1)
    echo "run $i: $line"
    lines+=("$line")
done

# Median and worst of one key over the runs.
summary() {
    local key=$1
    printf '%s\n' "${lines[@]}" | tr ' ' '\n' | sed -n "s/^$key=//p" | sort -n |
        awk -v key="$key" '{ v[NR] = $1 } END {
            m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%-13s median %6g   worst %6g\n", key, m, v[NR] }'
}
summary stage10_ms
summary paint_gap_ms
summary pump_gap_ms
summary load_ms
summary load_gap_ms
