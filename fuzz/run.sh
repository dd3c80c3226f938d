#!/bin/sh
# Runs every fuzz target for a bounded time, starting from the committed
# seeds; new inputs go to a scratch corpus, never into the repository.
#   fuzz/run.sh [seconds per target] [target ...]
# Needs the fuzz build: cmake --preset fuzz && cmake --build --preset fuzz
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
[ $# -gt 0 ] && shift
targets=${*:-"profile header source_table ax_recon ax_expand disk_sino sino_graft sino_view sino_recon"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work"  # the targets' scratch files
status=0
for target in $targets; do
    mkdir -p "$work/$target"
    echo "fuzzing $target for $seconds s"
    if ! "$top/build/fuzz/bin/fuzz_$target" "$work/$target" "$top/fuzz/corpus/$target" \
            -dict="$top/fuzz/formats.dict" -max_total_time="$seconds" -max_len=4096 \
            -rss_limit_mb=4096 -malloc_limit_mb=1000000 -timeout=10 -close_fd_mask=2 \
            -artifact_prefix="$work/$target-" -print_final_stats=1 > "$work/$target.log" 2>&1; then
        echo "fuzz_$target found a problem:"
        tail -n 60 "$work/$target.log"
        for crash in "$work/$target"-*; do
            [ -f "$crash" ] && { echo "input (base64):"; base64 "$crash"; }
        done
        status=1
    else
        grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$target.log" | tr '\n' ' '
        echo
    fi
done
exit $status
