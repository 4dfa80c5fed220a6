#!/usr/bin/env bash
# Cutting huge pictures into tiles (Release build), on generated star fields in a temporary
# folder that is removed afterwards:
#   orvandel-cli tiles on a 16384 x 16384 BMP (805 MB): wall time and peak memory;
#   the steps one by one (orvandel-tiles-bench): reading the BMP, the preview, cutting and
#   writing the tiles, against reading the file's bytes and writing plain files of the
#   tiles' sizes in the same process (what the disk gives).
# With --huge also a 30000 x 20000 BMP (1.8 GB); with --fits also a 16000 x 16000 FITS file of
# 32-bit float samples (1 GB), read and stretched as a whole before it is cut. Needs about 4 GB
# of free disk (11 GB with --huge, 2 GB more with --fits). Prints medians of several runs.
# Usage: bench/tiles_speed.sh [RUNS] [--huge] [--fits]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
huge=
fits=
for option in "${@:2}"; do
    case $option in
        --huge) huge=--huge ;;
        --fits) fits=--fits ;;
        *) echo "unknown option $option" >&2; exit 2 ;;
    esac
done
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target orvandel-cli orvandel-starfield orvandel-tiles-bench >/dev/null
bin=$build/bin

need_gb=4
[ "$huge" = --huge ] && need_gb=11
[ "$fits" = --fits ] && need_gb=$((need_gb + 2))
free_gb=$(df -BG --output=avail "${TMPDIR:-/tmp}" | tail -1 | tr -dc 0-9)
if [ "$free_gb" -lt "$need_gb" ]; then
    echo "needs ${need_gb} GB free in ${TMPDIR:-/tmp}, has ${free_gb} GB" >&2
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/orvandel-tiles-XXXXXX")
trap 'rm -rf "$work"' EXIT

# shellcheck source=bench/huge_field_lib.sh
source bench/huge_field_lib.sh

# Runs `orvandel-cli tiles` and the step bench $runs times on one picture.
measure() {
    local picture=$1 walls=() rss=() read=() preview=() tiles=() plain=() line
    for _ in $(seq "$runs"); do
        rm -rf "$work/out" "$work/steps"
        line=$(/usr/bin/time -f "%e %M" "$bin/orvandel-cli" tiles --out "$work/out" "$picture" 2>&1 >/dev/null | tail -1)
        walls+=("$(echo "$line" | cut -d' ' -f1)")
        rss+=("$(echo "$line" | cut -d' ' -f2)")
        rm -rf "$work/out"
        line=$("$bin/orvandel-tiles-bench" "$picture" "$work/steps" | tr '\n' ' ')
        read+=("$(echo "$line" | sed 's/.*read_ms \([0-9]*\).*/\1/')")
        preview+=("$(echo "$line" | sed 's/.*preview_ms \([0-9]*\).*/\1/')")
        tiles+=("$(echo "$line" | sed 's/.*tiles_ms \([0-9]*\).*/\1/')")
        plain+=("$(echo "$line" | sed 's/.*plain files \([0-9]*\) ms.*/\1/')")
    done
    echo "$line" | sed 's/read_ms.*//'
    echo "  orvandel-cli tiles: median wall $(median "${walls[@]}") s, peak memory $(( $(median "${rss[@]}") / 1024 )) MB"
    echo "  steps (median ms): read $(median "${read[@]}"), preview $(median "${preview[@]}"), tiles $(median "${tiles[@]}"); plain files of the same bytes $(median "${plain[@]}")"
}

"$bin/orvandel-starfield" --out "$work/field.bmp" --width 16384 --height 16384 --stars 100000 \
    --noise 1.2 --seed 2015 >/dev/null
echo "16384 x 16384, S 500, M 50, $runs runs:"
measure "$work/field.bmp"
rm -f "$work/field.bmp"

if [ "$huge" = --huge ]; then
    "$bin/orvandel-tiles-bench" --make 30000 20000 "$work/huge.bmp"
    echo "30000 x 20000, S 500, M 50, $runs runs:"
    measure "$work/huge.bmp"
fi

if [ "$fits" = --fits ]; then
    "$bin/orvandel-tiles-bench" --make-fits 16000 16000 "$work/sky.fits"
    echo "16000 x 16000 float FITS, S 500, M 50, $runs runs:"
    measure "$work/sky.fits"
fi
