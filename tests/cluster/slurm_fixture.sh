#!/usr/bin/env bash
# The cluster tests' Slurm: `up` starts it (exit 77, skipped, where it cannot run here), `down`
# stops it and removes its folder.
#   slurm_fixture.sh up|down SOURCE_DIR SLURM_DIR
set -uo pipefail
action=$1 source=$2
export ORV_SLURM_DIR=$3
"$source/scripts/slurm-local" "$action"
status=$?
if [ "$status" -eq 3 ]; then
    echo "SKIPPED: Slurm cannot be started on this machine (see above)"
    exit 77
fi
exit "$status"
