#!/usr/bin/env bash
# Times the container repair of recordings of 60 s and 5 min, the check of an intact file,
# and reading the same files whole with cat, on warm caches.
# Usage: bench/repair_bench.sh [BIN_DIR]   (default: build/release/bin)
set -euo pipefail
bin=${1:-build/release/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
# milliseconds from nanoseconds: ms START END [RUNS]
ms() { awk -v a="$1" -v b="$2" -v n="${3:-1}" 'BEGIN { printf "%.3f", (b - a) / 1e6 / n }'; }

printf '%-10s %10s %12s %12s %12s\n' recording MiB "repair ms" "intact ms" "cat ms"
for seconds in 60 300; do
  name=20231015_142530_1CH_N_F.mp4
  pristine="$work/pristine-$seconds.mp4"
  "$bin/camsim" mp4 "$pristine" --seconds "$seconds" --ending power-cut
  f="$work/$seconds/$name"
  mkdir -p "$work/$seconds"
  size=$(stat -c %s "$pristine")

  # Repair: five runs, each on a fresh copy (the copy is not timed).
  total=0
  for run in 1 2 3 4 5; do
    cp "$pristine" "$f"
    cat "$f" > /dev/null
    t0=$(now); "$bin/merido-tool" repair "$f" > /dev/null; t1=$(now)
    total=$((total + t1 - t0))
  done
  repair=$(ms 0 "$total" 5)

  # Intact check: one process checking the repaired file 1000 times; the process start
  # is measured apart and taken off.
  args=()
  for i in $(seq 1000); do args+=("$f"); done
  t0=$(now); "$bin/merido-tool" repair "$f" > /dev/null; t1=$(now)
  t2=$(now); "$bin/merido-tool" repair "${args[@]}" > /dev/null; t3=$(now)
  intact=$(awk -v d="$(( (t3 - t2) - (t1 - t0) ))" 'BEGIN { printf "%.4f", d / 1e6 / 999 }')

  total=0
  for run in 1 2 3 4 5; do
    t0=$(now); cat "$f" > /dev/null; t1=$(now)
    total=$((total + t1 - t0))
  done
  catms=$(ms 0 "$total" 5)
  printf '%-10s %10s %12s %12s %12s\n' "${seconds} s" "$(awk -v s="$size" 'BEGIN { printf "%.1f", s / 1048576 }')" "$repair" "$intact" "$catms"
done
