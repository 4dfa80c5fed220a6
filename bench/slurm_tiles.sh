#!/usr/bin/env bash
# The tile path of an 8192 x 8192 generated field (25000 stars, noise 1.2, seed 2015; S 500,
# M 96, so that the 256 tiles cover the picture whole) on one machine (`tiles`, `batch --jobs
# 2`, `merge`) and as Slurm jobs (scripts/slurm-tiles, SHARDS tasks of one core each), with the
# Release build and the standard settings of config/Orvandel.ini. Prints wall times and
# whether the two catalogues are the same, byte for byte. Needs about 1.5 GB of free disk in
# a temporary folder, removed afterwards, and a Slurm: the one of SLURM_CONF, else this
# checkout's scripts/slurm-local (brought up and down again when it was not up).
# Usage: bench/slurm_tiles.sh [SHARDS]
set -euo pipefail
cd "$(dirname "$0")/.."
shards=${1:-8}
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target orvandel-cli orvandel-starfield >/dev/null
bin=$(pwd)/$build/bin
settings=$(pwd)/config/Orvandel.ini

local_slurm=
if [ -z "${SLURM_CONF:-}" ]; then
    if ! scripts/slurm-local status >/dev/null; then
        scripts/slurm-local up >/dev/null
        local_slurm=1
    fi
    SLURM_CONF=$(pwd)/build/slurm-local/slurm.conf
    export SLURM_CONF
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/orvandel-slurm-XXXXXX")
trap '[ -n "$local_slurm" ] && scripts/slurm-local down >/dev/null; rm -rf "$work"' EXIT

# Runs "$@" and prints its wall time in seconds.
wall() {
    local start end
    start=$(date +%s.%N)
    "$@" >"$work/out" 2>"$work/err" || { cat "$work/err" >&2; return 1; }
    end=$(date +%s.%N)
    echo "$start $end" | awk '{printf "%.1f", $2 - $1}'
}

mkdir -p "$work/one" "$work/cluster"
"$bin/orvandel-starfield" --out "$work/one/field.bmp" --width 8192 --height 8192 --stars 25000 \
    --noise 1.2 --seed 2015 >/dev/null
cp "$work/one/field.bmp" "$work/cluster/field.bmp"
list=$work/one/field.bmp.dir/field.bmp.txt
echo "8192 x 8192, 25000 stars, noise 1.2, S 500, M 96 (256 tiles):"
t_tiles=$(wall "$bin/orvandel-cli" tiles --size 500 --margin 96 "$work/one/field.bmp")
t_batch=$(wall "$bin/orvandel-cli" batch --jobs 2 --settings "$settings" "$list")
t_merge=$(wall "$bin/orvandel-cli" merge -o "$work/one.csv" "$list")
echo "  one machine: tiles $t_tiles s, batch --jobs 2 $t_batch s, merge $t_merge s"
echo "               $(cat "$work/out")"
t_slurm=$(wall scripts/slurm-tiles "$work/cluster/field.bmp" "$work/cluster.csv" --size 500 \
    --margin 96 --shards "$shards" --settings "$settings" --cli "$bin/orvandel-cli")
echo "  slurm-tiles --shards $shards: $t_slurm s from cutting to the merged catalogue"
grep '^shards\|^merge' "$work/out" | sed 's/^/               /'
if cmp -s "$work/one.csv" "$work/cluster.csv"; then
    echo "  catalogues: the same, byte for byte ($(($(wc -l <"$work/one.csv") - 1)) rows, $(wc -c <"$work/one.csv") bytes)"
else
    echo "  catalogues: DIFFERENT"
    exit 1
fi
