#!/usr/bin/env bash
# scripts/slurm-tiles on the tests' one-node Slurm, against one machine:
#   0. `slurm-local up` on the running cluster keeps its daemons;
#   1. a generated field as 4 shards gives the same catalogue, byte for byte, as `batch` and
#      `merge` on one machine;
#   2. a damaged tile fails its shard: the chain fails naming that shard, and Slurm cancels
#      the merge, which writes nothing.
# Exit 77 (skipped) when the cluster is not up.
#   slurm_tiles_test.sh SOURCE_DIR SLURM_DIR CLI STARFIELD WORK_DIR
set -uo pipefail
source=$1 slurm_dir=$2 cli=$3 starfield=$4 work=$5
export ORV_SLURM_DIR=$slurm_dir
if ! "$source/scripts/slurm-local" status; then
    echo "SKIPPED: the tests' Slurm is not up (cluster_slurm_up says why)"
    exit 77
fi
export SLURM_CONF=$slurm_dir/slurm.conf

passes=0 failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passes=$((passes + 1))
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}

# `up` on a running cluster keeps its daemons.
before=$("$source/scripts/slurm-local" status)
check "up again succeeds" "$source/scripts/slurm-local" up
check "up again keeps the same daemons" test "$("$source/scripts/slurm-local" status)" = "$before"

rm -rf "$work"
mkdir -p "$work/one" "$work/cluster" "$work/damaged"
settings=$source/config/Orvandel.ini
# 1100 x 1100 with S 250 and M 50: 4 x 4 tiles, 4 for each shard.
tiling=(--size 250 --margin 50)
"$starfield" --out "$work/one/field.bmp" --width 1100 --height 1100 --stars 600 --noise 1 \
    --seed 24 || exit 1
cp "$work/one/field.bmp" "$work/cluster/field.bmp"
cp "$work/one/field.bmp" "$work/damaged/field.bmp"

# One machine: cut, every tile, merge.
list=$work/one/field.bmp.dir/field.bmp.txt
"$cli" tiles "${tiling[@]}" "$work/one/field.bmp" &&
    "$cli" batch --settings "$settings" "$list" >/dev/null &&
    "$cli" merge -o "$work/one.csv" "$list" || exit 1

# 1. The cluster: the same picture, cut and processed as 4 shards, merged by the merge job.
"$source/scripts/slurm-tiles" "$work/cluster/field.bmp" "$work/cluster.csv" "${tiling[@]}" \
    --shards 4 --settings "$settings" --cli "$cli" >"$work/cluster.out" 2>"$work/cluster.err"
status=$?
cat "$work/cluster.out" "$work/cluster.err"
check "the chain succeeds" test "$status" -eq 0
check "it prints the jobs' ids" grep -Eq '^shards: job [0-9]+, tasks 0-3' "$work/cluster.out"
check "every shard processed its own tiles" \
    test "$(cat "$work"/cluster/field.bmp.dir/field.bmp.txt.slurm/shard-?.status | tr -d '\n')" = 0000
check "the catalogue has the stars" test "$(wc -l <"$work/one.csv")" -gt 500
check "the catalogue is the one machine's, byte for byte" cmp "$work/one.csv" "$work/cluster.csv"

# 2. A damaged tile: the third record of the list belongs to shard 2.
list=$work/damaged/field.bmp.dir/field.bmp.txt
"$cli" tiles "${tiling[@]}" "$work/damaged/field.bmp" || exit 1
tile=$(sed -n '3s/.*,"\(.*\)".*/\1/p' "$list")
truncate -s 100 "$work/damaged/field.bmp.dir/$tile" || exit 1
"$source/scripts/slurm-tiles" "$list" "$work/damaged.csv" --shards 4 --settings "$settings" \
    --cli "$cli" >"$work/damaged.out" 2>"$work/damaged.err"
status=$?
cat "$work/damaged.out" "$work/damaged.err"
check "the chain fails" test "$status" -eq 1
check "it names shard 2" grep -q "shard 2 of 4 failed" "$work/damaged.err"
check "the failed picture is shown" grep -qF "$tile" "$work/damaged.err"
check "only shard 2 failed" test "$(grep -c 'shard [0-9] of 4 failed' "$work/damaged.err")" -eq 1
check "no catalogue is written" test ! -e "$work/damaged.csv"
merge_job=$(cut -d' ' -f2 "$list.slurm/jobs")
check "Slurm cancelled the merge for its dependency" bash -c \
    "scontrol show job -o $merge_job | grep -q 'JobState=CANCELLED Reason=DependencyNeverSatisfied'"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
