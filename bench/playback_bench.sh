#!/usr/bin/env bash
# The playback engine on one three-channel recording (1080p front, two 720 x 480 rears):
# CPU time per second of playback at rate 1.0 and 2.0 against decoding the same files alone,
# frames dropped per channel, open-to-first-picture time, and seek-to-picture time over 50
# seeks. Runs merido-tool play with the silent sound sink; the machine should be otherwise idle.
# Usage: bench/playback_bench.sh [BIN_DIR] [SECONDS]   (default: build/release/bin, 20)
set -euo pipefail
bin=${1:-build/release/bin}
seconds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bin/camsim" mp4 "$work/F.mp4" --side 1 --seconds "$seconds"
"$bin/camsim" mp4 "$work/R1.mp4" --side 2 --channel 1 --rear 480 --seconds "$seconds"
"$bin/camsim" mp4 "$work/R2.mp4" --side 2 --channel 2 --rear 480 --seconds "$seconds"
files=("$work/F.mp4" "$work/R1.mp4" "$work/R2.mp4")

# CPU seconds (user + system) of a command; its standard output goes to $work/out.
cpu() { /usr/bin/time -f '%U %S' -o "$work/time" "$@" > "$work/out" 2>/dev/null; awk '{ printf "%.2f", $1 + $2 }' "$work/time"; }

decode=0
for f in "${files[@]}"; do
  c=$(cpu gst-launch-1.0 -q filesrc location="$f" ! qtdemux name=d d.video_0 ! h264parse ! avdec_h264 \
        ! videoconvert ! video/x-raw,format=BGRx ! fakesink sync=false)
  decode=$(awk -v a="$decode" -v b="$c" 'BEGIN { print a + b }')
done
printf 'decoding the three files alone (sync=false): %.2f CPU s, %.3f CPU s per media second\n' \
  "$decode" "$(awk -v c="$decode" -v s="$seconds" 'BEGIN { print c / s }')"

for rate in 1.0 2.0; do
  c=$(cpu "$bin/merido-tool" play "${files[@]}" --rate "$rate")
  wall=$(awk -v s="$seconds" -v r="$rate" 'BEGIN { print s / r }')
  printf 'rate %s: %.2f CPU s over %.1f s of playback: %.3f CPU s per second\n' "$rate" "$c" "$wall" \
    "$(awk -v c="$c" -v w="$wall" 'BEGIN { print c / w }')"
  grep -E '^(opened|channel [123]: [0-9]+ frames)' "$work/out" | sed 's/^/  /'
done

"$bin/merido-tool" play "${files[@]}" --seeks 50 | grep -E '^(opened|seek to picture|open to first)'
