#!/usr/bin/env bash
# Times camsim writing a card of 20 normal recordings of 10 s (three channels: 60 files).
# Usage: bench/camsim_bench.sh [BIN_DIR] [JOBS]   (default: build/release/bin, 1)
set -euo pipefail
bin=${1:-build/release/bin}
jobs=${2:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
t0=$(date +%s%N)
"$bin/camsim" card "$work/card" --normal 20 --event 0 --seconds 10 --channels 3 --jobs "$jobs" > /dev/null
t1=$(date +%s%N)
echo "card of 20 recordings x 3 channels, 10 s, jobs $jobs: $(awk -v d="$((t1 - t0))" 'BEGIN { printf "%.2f", d / 1e9 }') s," \
     "$(du -sm "$work/card" | cut -f1) MiB"
