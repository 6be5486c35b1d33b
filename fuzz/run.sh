#!/usr/bin/env bash
# Fuzzes the whole processor for a given time (seconds, default 60):
#   fuzz/run.sh [seconds] [extra libFuzzer options...]
# Builds with clang (libFuzzer, ASan, UBSan) into build-fuzz/, seeds the
# corpus from the end-to-end cases and keeps what it finds in fuzz/corpus/
# (not committed). A crash leaves its input as crash-* in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDRAN_FUZZ=ON -DVELDRAN_TESTS=OFF >/dev/null
cmake --build build-fuzz --target veldran_fuzz veldran_fuzz_seeds
mkdir -p fuzz/corpus build-fuzz/seeds
build-fuzz/veldran_fuzz_seeds tests/cases build-fuzz/seeds
cd build-fuzz
./veldran_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -print_final_stats=1 "$@" ../fuzz/corpus seeds
