#!/usr/bin/env bash
# Whole-process timings of orvandel-cli on generated pictures (Release build):
#   detect   one 4096 x 4096 BMP with about 8000 stars: load, pipeline, save
#   batch    16 generated 1024 x 1024 tiles, --jobs 1 against --jobs 2
# Prints the median wall time of several runs. Usage: bench/cli_speed.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target orvandel-cli orvandel-starfield >/dev/null
bin=$build/bin
work=$(mktemp -d /tmp/orvandel-speed-XXXXXX)
trap 'rm -rf "$work"' EXIT

# The median of the wall times (seconds) of running "$@" $runs times.
median_time() {
    local times=()
    for _ in $(seq "$runs"); do
        local t0 t1
        t0=$(date +%s%N)
        "$@" >/dev/null
        t1=$(date +%s%N)
        times+=("$(( (t1 - t0) / 1000000 ))")
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}'
}

"$bin/orvandel-starfield" --out "$work/field.bmp" --width 4096 --height 4096 --stars 8000 \
    --noise 1.2 --seed 2015 >/dev/null
echo "detect 4096x4096 (--jobs 1): median $(median_time "$bin/orvandel-cli" detect --jobs 1 "$work/field.bmp") s over $runs runs"
"$bin/orvandel-cli" detect "$work/field.bmp"

: > "$work/tiles.txt"
for i in $(seq 0 15); do
    name=$(printf 'tile.%03d.bmp' "$i")
    "$bin/orvandel-starfield" --out "$work/$name" --width 1024 --height 1024 --stars 500 \
        --noise 1.2 --seed $((100 + i)) >/dev/null
    printf '"%s","%s"\r\n' "$work" "$name" >> "$work/tiles.txt"
done
# The two ways are run alternately, so that both see the same state of the machine.
ones=() twos=()
for _ in $(seq "$runs"); do
    for jobs in 1 2; do
        t0=$(date +%s%N)
        "$bin/orvandel-cli" batch --jobs "$jobs" "$work/tiles.txt" >/dev/null
        t1=$(date +%s%N)
        if [ "$jobs" = 1 ]; then ones+=("$(( (t1 - t0) / 1000000 ))"); else twos+=("$(( (t1 - t0) / 1000000 ))"); fi
    done
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}'; }
one=$(median "${ones[@]}")
two=$(median "${twos[@]}")
echo "batch 16 tiles of 1024 x 1024: --jobs 1 median $one s, --jobs 2 median $two s, speed-up $(awk -v a="$one" -v b="$two" 'BEGIN {printf "%.2f", a / b}')x over $runs runs each"

# What two cores give this machine at best: the same arithmetic loop on one and two threads.
cat > "$work/spin.cpp" <<'CPP'
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>
volatile double sink;
void work() { double x = 0; for (long i = 0; i < 200000000; ++i) x += i * 0.5; sink = x; }
int main() {
    double ms[3];
    for (int t = 1; t <= 2; ++t) {
        auto t0 = std::chrono::steady_clock::now();
        std::vector<std::thread> v;
        for (int i = 0; i < t; ++i) v.emplace_back(work);
        for (auto& th : v) th.join();
        ms[t] = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    }
    std::printf("machine: twice the work on two threads takes %.2fx the time of once on one, so at most %.2fx speed-up\n",
                ms[2] / ms[1], 2 * ms[1] / ms[2]);
}
CPP
g++ -O2 -pthread "$work/spin.cpp" -o "$work/spin" && "$work/spin"
