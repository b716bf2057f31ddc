#!/usr/bin/env bash
# Sets up, builds (warnings are errors) and runs every test: the whole suite
# on SQLite, then the server suite again on a real Firebird server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPED_WERROR=ON -DPED_TESTS=ON -DPED_BENCH=ON
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600

echo "== server tests on Firebird"
fb=$(bash scripts/firebird.sh)
trap 'bash scripts/firebird.sh stop' EXIT
PED_TEST_FIREBIRD="$fb" timeout 900 build/bin/server_tests --gtest_brief=1
