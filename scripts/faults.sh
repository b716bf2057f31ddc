#!/usr/bin/env bash
# Fault injection under AddressSanitizer (with its leak checker): builds the
# server's tests in the test command's sanitizer build (build-asan/) and runs every write
# with its Nth database call failing (N = 1.. until the write gets through)
# plus the sign-in and sign-out sweeps; any leak or memory error fails.
# Add PED_TEST_FIREBIRD=$(bash scripts/firebird.sh) to run on Firebird.
# Usage: faults.sh [GTEST_FILTER]   (default: the fault sweeps)
set -euo pipefail
filter=${1:-'Faults*'}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DPED_WERROR=ON -DPED_TESTS=ON -DPED_BENCH=OFF -DPED_SANITIZE=ON
cmake --build build-asan -j"$(nproc)" --target server_tests
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1

if ! build-asan/bin/server_tests --gtest_filter="$filter" 2> build-asan/faults.log; then
  grep -A40 -E 'Sanitizer|Failure' build-asan/faults.log >&2 || true
  echo "faults: FAILED (whole log in build-asan/faults.log)" >&2
  exit 1
fi
echo "faults: no memory error and no leak (server log in build-asan/faults.log)"
