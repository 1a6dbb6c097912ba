#!/usr/bin/env bash
# Starts the viewer under a virtual display and saves a screenshot of the whole screen.
# Usage: scripts/screenshot.sh OUT.png [BIN_DIR] [SECONDS]
set -euo pipefail
out=${1:?usage: screenshot.sh OUT.png [BIN_DIR] [SECONDS]}
bin=${2:-build/debug/bin}
wait_s=${3:-3}
display=:$((90 + RANDOM % 100))
runtime=$(mktemp -d)
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$viewer" "$xvfb" 2>/dev/null || true; rm -rf "$runtime"' EXIT
sleep 1
DISPLAY=$display XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=xcb "$bin/merido-viewer" >/dev/null 2>&1 &
viewer=$!
sleep "$wait_s"
ffmpeg -loglevel error -y -f x11grab -video_size 1280x900 -i "$display" -frames:v 1 "$out"
echo "$out"
