#!/usr/bin/env bash
# Builds in release mode and runs every benchmark; each prints its figures as
# ratios against a baseline measured in the same run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPED_TESTS=OFF -DPED_BENCH=ON
cmake --build build-release -j"$(nproc)"
build-release/bin/bench_packet "${BENCH_ROWS:-100000}"
