#!/usr/bin/env bash
# Builds the KRFS image fuzzer with clang and runs it for N seconds (default 60).
# Usage: fuzz/run.sh [SECONDS]. Corpus and crash files land in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERIDO_FUZZ=ON -DMERIDO_SANITIZE=ON -DMERIDO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_krfs_image krfs_seed
corpus=$build/corpus
mkdir -p "$corpus" "$build/crashes"
[ -e "$corpus/seed.img" ] || "$build/bin/krfs_seed" "$corpus/seed.img"
"$build/bin/fuzz_krfs_image" "$corpus" -max_total_time="$seconds" -max_len=65536 \
  -artifact_prefix="$build/crashes/" -print_final_stats=1
