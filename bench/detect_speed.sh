#!/usr/bin/env bash
# Whole-process figures of `orvandel-cli detect` on one 4096 x 4096 24-bit BMP (8000 stars,
# noise 1.2, seed 2015): wall, user and system time and peak memory (/usr/bin/time), median of
# RUNS runs, with measurements (the default) and with --no-measure, with the standard settings
# (Siki 4) and with Siki 8; then the engine's Computation benchmark. Given the folder of an
# older build's programs (orvandel-cli and orvandel-bench beside each other), every run
# alternates with the same run of that build, so that both see the same state of the machine.
#
#   bench/detect_speed.sh [RUNS] [OLDER_BIN_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
older=${2:-}
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
    >/dev/null
cmake --build "$build" --target orvandel-cli orvandel-starfield orvandel-bench orvandel-decode \
    >/dev/null
work=$(mktemp -d /tmp/orvandel-detect-XXXXXX)
trap 'rm -rf "$work"' EXIT

"$build/bin/orvandel-starfield" --out "$work/field.bmp" --width 4096 --height 4096 --stars 8000 \
    --noise 1.2 --seed 2015 >/dev/null
sed 's/^Siki = .*/Siki = 8/' config/Orvandel.ini >"$work/siki8.ini"

builds=("$build/bin")
[ -n "$older" ] && builds+=("$older")

# One run: "wall user system peak_KiB".
one() {
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null
    cat "$work/time"
}
# The median of each column of the lines on standard input.
medians() {
    awk '{for (i = 1; i <= NF; ++i) v[i, NR] = $i} END {
        for (i = 1; i <= 4; ++i) {
            n = 0; for (r = 1; r <= NR; ++r) a[++n] = v[i, r]
            for (p = 1; p <= n; ++p) for (q = p + 1; q <= n; ++q) if (a[q] < a[p]) {t = a[p]; a[p] = a[q]; a[q] = t}
            m[i] = a[int((n + 1) / 2)]
        }
        printf "wall %.3f s, user %.3f s, system %.3f s, peak %.0f MiB\n", m[1], m[2], m[3], m[4] / 1024
    }'
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for settings in "" "--settings $work/siki8.ini"; do
    for measure in "" "--no-measure"; do
        for b in "${builds[@]}"; do : >"$work/times.$(echo "$b" | md5sum | cut -c1-8)"; done
        for _ in $(seq "$runs"); do
            for b in "${builds[@]}"; do
                # shellcheck disable=SC2086
                one "$b/orvandel-cli" detect $settings $measure "$work/field.bmp" \
                    >>"$work/times.$(echo "$b" | md5sum | cut -c1-8)"
            done
        done
        for b in "${builds[@]}"; do
            label="detect${settings:+ (Siki 8)}${measure:+ --no-measure}"
            echo "$b: $label: $(medians <"$work/times.$(echo "$b" | md5sum | cut -c1-8)")"
        done
    done
done
echo "results: $("$build/bin/orvandel-cli" detect "$work/field.bmp")"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

for round in 1 2; do
    for b in "${builds[@]}"; do
        echo "$b: round $round: $("$b/orvandel-bench" --benchmark_filter='Computation/0/' \
            --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true 2>/dev/null |
            grep median)"
    done
done
