#!/usr/bin/env bash
# Soak: ped-server (release build) on a 10,000-order database driven at a fixed
# rate (default 200 calls/s, 90 % reads) for MINUTES (default 30), printing
# each minute's latency, errors, resident memory and open files.
# Usage: soak.sh [MINUTES] [RATE]
set -euo pipefail
minutes=${1:-30}
rate=${2:-200}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPED_TESTS=OFF -DPED_BENCH=ON > /dev/null
cmake --build build-release -j"$(nproc)" --target ped-server ped-dbgen bench_soak
bin=build-release/bin
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
"$bin/ped-dbgen" --db "sqlite:$work/soak.db" --size 10000 --seed 5 > "$work/operators.txt"
password=$(sed -n 's/^operator ADM password \([^ ]*\) .*/\1/p' "$work/operators.txt")
source scripts/ped-server.sh
ped_server_start "$bin/ped-server" "sqlite:$work/soak.db" "$work/out" "$work/err" --log-level error ||
  { echo "soak: the server did not start" >&2; cat "$work/err" >&2; exit 1; }
"$bin/bench_soak" "$port" "$password" "$server" "$minutes" "$rate"
