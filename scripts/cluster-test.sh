#!/usr/bin/env bash
# The concurrency test of docs/reliability.md with its clients' calls spread
# over several ped-server processes on one Firebird database behind haproxy
# (each request balanced on its own), and the session check across them.
# Usage: cluster-test.sh [SERVERS] [SETS_PER_CLIENT]  (default 3 and 60)
set -euo pipefail
servers=${1:-3}
sets=${2:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPED_TESTS=ON > /dev/null
cmake --build build -j"$(nproc)" --target server_tests ped-server
fb=$(bash scripts/firebird.sh)
PED_TEST_FIREBIRD="$fb" PED_CLUSTER_SERVERS="$servers" PED_CONCURRENCY_SETS="$sets" \
  build/bin/server_tests --gtest_brief=1 --gtest_filter='Concurrency.SeveralServers*' 2>&1 | grep -v '^20[0-9][0-9]-'
