#!/usr/bin/env bash
# What reading pictures in the helper program costs a whole `detect` (Release build): the
# 4096 x 4096 field as a 24-bit BMP (read by the program's own streaming reader) and as a JPEG
# (read by Qt in the helper), each run RUNS times; with a second orvandel-cli (an older build),
# the two programs alternate run by run, so that both see the same state of the machine.
#   bench/guard_speed.sh [RUNS] [OTHER_ORVANDEL_CLI]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
other=${2:-}
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target orvandel-cli orvandel-decode orvandel-starfield >/dev/null
work=$(mktemp -d /tmp/orvandel-guard-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp config/Orvandel.ini "$work/s.ini"
field=(--width 4096 --height 4096 --stars 8000 --noise 1.2 --seed 2015)
"$build/bin/orvandel-starfield" "${field[@]}" --out "$work/field.bmp" >/dev/null
"$build/bin/orvandel-starfield" "${field[@]}" --quality 95 --out "$work/field.jpg" >/dev/null

ms() {
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}'; }

for picture in field.bmp field.jpg; do
    this=() that=()
    for _ in $(seq "$runs"); do
        this+=("$(ms "$build/bin/orvandel-cli" detect --jobs 1 --settings "$work/s.ini" "$work/$picture")")
        [ -n "$other" ] && that+=("$(ms "$other" detect --jobs 1 --settings "$work/s.ini" "$work/$picture")")
    done
    line="$picture: this build median $(median "${this[@]}") s"
    [ -n "$other" ] && line+=", $other median $(median "${that[@]}") s"
    echo "$line over $runs runs"
done
