#!/usr/bin/env bash
# The attack set: a release ped-server on a 10,000-order database, then
# bench_attack throws at it, one after another, chunked bodies without and
# with a session, declared gigabyte bodies, slow headers, idle connections,
# parallel password guesses and invented names, each for SECONDS (default
# 10), printing the server's peak memory and a real client's call latency
# during each. PED_ATTACK_SERVER=PATH runs another ped-server binary (an
# older build, for figures before and after); PED_ATTACK_BUILD=DIR takes
# the programs from a build folder already made.
# Usage: attack.sh [SECONDS]
set -euo pipefail
seconds=${1:-10}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
# PED_ATTACK_BUILD=DIR uses a build folder already made (with bench_attack)
build=${PED_ATTACK_BUILD:-build-release}
if [ "$build" = build-release ]; then
  cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPED_TESTS=OFF -DPED_BENCH=ON > /dev/null
  cmake --build build-release -j"$(nproc)" --target ped-server ped-dbgen bench_attack
fi
bin=$build/bin
server_bin=${PED_ATTACK_SERVER:-$bin/ped-server}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
"$bin/ped-dbgen" --db "sqlite:$work/attack.db" --size 10000 --seed 5 > "$work/operators.txt"
password=$(sed -n 's/^operator ADM password \([^ ]*\) .*/\1/p' "$work/operators.txt")
source scripts/ped-server.sh
ped_server_start "$server_bin" "sqlite:$work/attack.db" "$work/out" "$work/err" --log-level error ||
  { echo "attack: the server did not start" >&2; cat "$work/err" >&2; exit 1; }
"$bin/bench_attack" "$port" "$password" "$server" "$seconds"
