#!/usr/bin/env bash
# Export throughput: one large partition recording copied out by `merido-tool export`
# (5 MiB reads, scan, maker blanking, index and header repair) against `merido-tool krfs
# cat` of the same file (the same reads through the partition library, written as is).
# Usage: bench/export_bench.sh [BIN_DIR] [SECONDS] [RUNS]
#   (default: build/release/bin, 540 s of recording, about 1 GiB; 3 runs, warm cache)
set -euo pipefail
bin=${1:-build/release/bin}
seconds=${2:-540}
runs=${3:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ms() { awk -v d="$1" 'BEGIN { printf "%.0f", d / 1e6 }'; }
t0=$(date +%s%N)
# Noisy 720 x 480 pictures at 14 Mbit/s keep the encoder fast and the file large; the
# recording is unfinished, so the export also rebuilds its index.
line=$("$bin/camsim" krfs "$work/card.img" --normal 1 --event 0 --seconds "$seconds" --front 480 \
       --front-kbps 14000 --grain 12 --unfinished 1 2>/dev/null)
t1=$(date +%s%N)
file=$(cut -f1 <<<"$line")
bytes=$(cut -f3 <<<"$line")
mib=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
echo "fixture: $file, $mib MiB, written in $(ms $((t1 - t0))) ms"

best_cat=0 best_export=0
for ((i = 1; i <= runs; ++i)); do
    rm -f "$work/cat.avi"; rm -rf "$work/out"
    a=$(date +%s%N)
    "$bin/merido-tool" krfs cat "$work/card.img" "$file" > "$work/cat.avi"
    b=$(date +%s%N)
    "$bin/merido-tool" export "$work/card.img" "$work/out" 1 > /dev/null 2>&1
    c=$(date +%s%N)
    cat_ns=$((b - a)) export_ns=$((c - b))
    echo "run $i: krfs cat $(ms $cat_ns) ms, export $(ms $export_ns) ms"
    ((best_cat == 0 || cat_ns < best_cat)) && best_cat=$cat_ns
    ((best_export == 0 || export_ns < best_export)) && best_export=$export_ns
done
awk -v b="$bytes" -v c="$best_cat" -v e="$best_export" 'BEGIN {
    printf "best: krfs cat %.0f MiB/s, export %.0f MiB/s (export takes %.2fx the time of cat)\n",
           b / 1048576 / (c / 1e9), b / 1048576 / (e / 1e9), e / c }'
