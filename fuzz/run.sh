#!/usr/bin/env bash
# Builds a fuzz target with clang and runs it for N seconds (default 60).
# Usage: fuzz/run.sh [fuzz_krfs_image|fuzz_repair|fuzz_sensor|fuzz_avitext] [SECONDS]
# Corpus and crash files land in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-fuzz_krfs_image}
seconds=${2:-60}
build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERIDO_FUZZ=ON -DMERIDO_SANITIZE=ON -DMERIDO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "$target" krfs_seed camsim
corpus=$build/corpus-$target
mkdir -p "$corpus" "$build/crashes"
case $target in
  fuzz_krfs_image) [ -e "$corpus/seed.img" ] || "$build/bin/krfs_seed" "$corpus/seed.img"; maxlen=65536 ;;
  fuzz_repair) [ -e "$corpus/seed.mp4" ] || "$build/bin/camsim" mp4 "$corpus/seed.mp4" --seconds 2 --ending power-cut \
      --bitrate 200; maxlen=200000 ;;
  fuzz_sensor) [ -e "$corpus/seed.rec" ] || "$build/bin/camsim" records "$corpus/seed.rec" --count 4; maxlen=1100 ;;
  fuzz_avitext) [ -e "$corpus/seed.bin" ] || head -c 4096 /dev/urandom > "$corpus/seed.bin"; maxlen=65536 ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
"$build/bin/$target" "$corpus" -max_total_time="$seconds" -max_len="$maxlen" \
  -artifact_prefix="$build/crashes/" -print_final_stats=1
