#!/usr/bin/env bash
# orvandel.detect on a 4096 x 4096 uint8 array against the engine's own time in the same call,
# and against sep.extract when the Debian package python3-sep is installed (the benchmark's
# only use of it). Usage: bench/python_speed.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target orvandel_python orvandel-starfield >/dev/null
work=$(mktemp -d /tmp/orvandel-python-speed-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/bin/orvandel-starfield" --out "$work/field.bmp" --width 4096 --height 4096 \
    --stars 8000 --noise 1.2 --seed 2015 >/dev/null
PYTHONPATH=$build/python /usr/bin/python3 bench/python_speed.py "$work/field.bmp" "$runs"
