#!/usr/bin/env bash
# Fuzzes the whole processor for a given time (seconds, default 60), half
# of it on each target:
#   veldran_fuzz        the processor under ASan and UBSan
#   veldran_fuzz_paths  the same bytes with and without the plain-text fast
#                       path, which must give the same files and console
#   fuzz/run.sh [seconds] [extra libFuzzer options...]
# Builds with clang (libFuzzer, ASan, UBSan) into build-fuzz/, seeds the
# corpus from the end-to-end cases and keeps what it finds in fuzz/corpus/
# (not committed). Inputs may be larger than the first read block. A crash
# leaves its input as crash-* in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDRAN_FUZZ=ON -DVELDRAN_TESTS=OFF >/dev/null
cmake --build build-fuzz --target veldran_fuzz veldran_fuzz_paths veldran_fuzz_seeds
mkdir -p fuzz/corpus build-fuzz/seeds
build-fuzz/veldran_fuzz_seeds tests/cases build-fuzz/seeds
cd build-fuzz
for target in veldran_fuzz veldran_fuzz_paths; do
  ./$target -max_total_time=$(( (seconds + 1) / 2 )) -timeout=10 \
    -rss_limit_mb=1024 -max_len=65536 -print_final_stats=1 "$@" \
    ../fuzz/corpus seeds
done
