#!/usr/bin/env bash
# The whole tile path on huge generated fields (Release build), against detecting the same
# picture whole, in a temporary folder that is removed afterwards:
#   orvandel-cli tiles           16384 x 16384 BMP (805 MB), S 500, M 50: 1024 tiles
#   orvandel-cli batch --jobs 2  every tile
#   orvandel-cli merge           the 1024 tiles' results into one catalogue (median of RUNS)
#   orvandel-cli detect --jobs 1 the picture whole
# on two fields. Prints wall times, peak memory and the number of results. Needs about 3 GB of
# free disk and 5 GB of memory. Usage: bench/merge_speed.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target orvandel-cli orvandel-starfield >/dev/null
bin=$build/bin

free_gb=$(df -BG --output=avail "${TMPDIR:-/tmp}" | tail -1 | tr -dc 0-9)
if [ "$free_gb" -lt 3 ]; then
    echo "needs 3 GB free in ${TMPDIR:-/tmp}, has ${free_gb} GB" >&2
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/orvandel-merge-XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/huge_field_lib.sh
source bench/huge_field_lib.sh
write_standard_settings "$work/Orvandel.ini"

# One field: the tile path, then the picture whole.
run_field() {
    local stars=$1 noise=$2 wall mem cpu walls=() cpus=()
    rm -rf "$work/field.bmp" "$work/field.bmp.dir"
    "$bin/orvandel-starfield" --out "$work/field.bmp" --width 16384 --height 16384 \
        --stars "$stars" --noise "$noise" --seed 2015 >/dev/null
    local list="$work/field.bmp.dir/field.bmp.txt"
    echo "16384 x 16384, $stars stars, noise $noise:"
    read -r wall mem cpu <<<"$(timed "$bin/orvandel-cli" tiles "$work/field.bmp")"
    echo "  tiles:           $wall s (cpu $cpu s), peak $mem MB ($(cat "$work/out"))"
    read -r wall mem cpu <<<"$(timed "$bin/orvandel-cli" batch --jobs 2 --settings "$work/Orvandel.ini" "$list")"
    echo "  batch --jobs 2:  $wall s (cpu $cpu s), peak $mem MB ($(wc -l <"$work/out") tiles)"
    for _ in $(seq "$runs"); do
        read -r wall mem cpu <<<"$(timed "$bin/orvandel-cli" merge -o "$work/merged.csv" "$list")"
        walls+=("$wall")
        cpus+=("$cpu")
    done
    echo "  merge:           median $(median "${walls[@]}") s of ${walls[*]} (cpu median $(median "${cpus[@]}") s), peak $mem MB"
    echo "                   $(cat "$work/out")"
    read -r wall mem cpu <<<"$(timed "$bin/orvandel-cli" detect --jobs 1 --settings "$work/Orvandel.ini" "$work/field.bmp")"
    echo "  detect whole:    $wall s (cpu $cpu s), peak $mem MB ($(cat "$work/out"))"
}

# A dense field whose results overflow the cluster table of one picture (50000), and a
# sparse one that the whole picture holds completely.
run_field 100000 1.2
run_field 20000 1.0
