#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan, no recover) and runs
# each for the given number of seconds (default 60) on its corpus.
# New inputs found go to build-fuzz/corpus-*; crash inputs into the kept corpus, which CTest replays.
set -euo pipefail
seconds=${1:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DPED_FUZZ=ON -DPED_TESTS=OFF -DPED_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)" --target fuzz_packet fuzz_changeset fuzz_rpc fuzz_list
:
for t in packet changeset rpc list; do
  work="build-fuzz/corpus-$t"
  mkdir -p "$work"
  echo "== fuzz_$t for ${seconds}s"
  build-fuzz/bin/fuzz_$t -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=tests/fuzz/corpus/$t/ "$work" "tests/fuzz/corpus/$t"
done
