#!/usr/bin/env bash
# `detect --tiles` on huge generated fields (Release build) against detecting the same picture
# whole, in a temporary folder that is removed afterwards:
#   orvandel-cli detect --tiles S --jobs 2   the picture in tiles held in memory (median of RUNS)
#   orvandel-cli detect --jobs 1             the picture whole
# on the two 16384 x 16384 fields of bench/merge_speed.sh (805 MB BMPs). Prints wall times, CPU
# times, peak memory and the results; for the sparse field, whose whole picture holds all its
# clusters, also how many results the two catalogues do not share (pixels, level sums and
# centroids within 0.02 px). Needs about 2 GB of free disk and 3 GB of memory.
# Usage: bench/detect_tiles_speed.sh [RUNS] [S]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
size=${2:-1000}
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target orvandel-cli orvandel-starfield >/dev/null
bin=$build/bin

work=$(mktemp -d "${TMPDIR:-/tmp}/orvandel-tiled-XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/huge_field_lib.sh
source bench/huge_field_lib.sh
write_standard_settings "$work/Orvandel.ini"

# Results of catalogue $1 that catalogue $2 does not hold.
unshared() {
    python3 - "$1" "$2" <<'PY'
import csv, sys
from collections import defaultdict
a = list(csv.DictReader(open(sys.argv[1])))
b = defaultdict(list)
for r in csv.DictReader(open(sys.argv[2])):
    b[(r["pixels"], r["sum_level"], r["max_level"])].append((float(r["x"]), float(r["y"])))
print(sum(1 for r in a if not any(abs(x - float(r["x"])) < 0.02 and abs(y - float(r["y"])) < 0.02
                                  for x, y in b[(r["pixels"], r["sum_level"], r["max_level"])])))
PY
}

run_field() {
    local stars=$1 noise=$2 wall mem cpu walls=() cpus=() mems=()
    rm -rf "$work/field.bmp" "$work/field.bmp.dir"
    "$bin/orvandel-starfield" --out "$work/field.bmp" --width 16384 --height 16384 \
        --stars "$stars" --noise "$noise" --seed 2015 >/dev/null
    echo "16384 x 16384, $stars stars, noise $noise:"
    for _ in $(seq "$runs"); do
        read -r wall mem cpu <<<"$(timed "$bin/orvandel-cli" detect --tiles "$size" --jobs 2 \
            --settings "$work/Orvandel.ini" -o "$work/tiled.csv" "$work/field.bmp")"
        walls+=("$wall")
        cpus+=("$cpu")
        mems+=("$mem")
    done
    echo "  detect --tiles $size: median $(median "${walls[@]}") s of ${walls[*]} (cpu median $(median "${cpus[@]}") s), peak $(median "${mems[@]}") MB"
    echo "                   $(cat "$work/out")"
    read -r wall mem cpu <<<"$(timed "$bin/orvandel-cli" detect --jobs 1 --settings "$work/Orvandel.ini" -o "$work/whole.csv" "$work/field.bmp")"
    echo "  detect whole:    $wall s (cpu $cpu s), peak $mem MB ($(cat "$work/out"))"
    echo "  results of the whole picture not in the tiled catalogue: $(unshared "$work/whole.csv" "$work/tiled.csv")"
    echo "  results of the tiled catalogue not in the whole picture's: $(unshared "$work/tiled.csv" "$work/whole.csv")"
}

# A dense field whose results overflow the cluster table of one picture (50000), and a
# sparse one that the whole picture holds completely.
run_field 100000 1.2
run_field 20000 1.0
