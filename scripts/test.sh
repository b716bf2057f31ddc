#!/usr/bin/env bash
# Sets up, builds (warnings are errors) and runs every test: the whole suite
# on SQLite, then the server suite again on a real Firebird server. The test
# build is the sanitizer build (AddressSanitizer with its leak checker and
# UBSan, stopping at the first error) in build-asan/; the demo, the package
# and the benchmarks are built normally by their own scripts.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
# -O1 with line tables: a sanitized build that compiles and runs fast enough
# for two cores, with stacks that still name file and line.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DPED_WERROR=ON -DPED_TESTS=ON -DPED_BENCH=OFF -DPED_SANITIZE=ON
cmake --build build-asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 900

echo "== server tests on Firebird"
fb=$(bash scripts/firebird.sh)
trap 'bash scripts/firebird.sh stop' EXIT
PED_TEST_FIREBIRD="$fb" timeout 1800 build-asan/bin/server_tests --gtest_brief=1
