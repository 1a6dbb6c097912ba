#!/usr/bin/env bash
# Installs what the build needs, builds the release build, writes a sample card with the
# camera simulator and opens the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
bin=build/release/bin
card=build/sample-card
if [ -x "$bin/camsim" ] && [ ! -d "$card" ]; then
  echo "Writing a sample card with the camera simulator (about a minute)..."
  "$bin/camsim" card "$card" --seed 1 --normal 3 --event 2 --parking 1 --user 1 --seconds 10 --channels 3 --power-cut 1 --jobs 2
fi
[ -d "$card" ] && echo "Sample card: $PWD/$card (choose it as the PC folder source)"
exec "$bin/merido-viewer" "$@"
