#!/usr/bin/env bash
# Builds in release mode and runs every benchmark; each prints its figures as
# ratios against a baseline measured in the same run. The 1,000,000-order
# database is generated once into build-release/bench-data and reused.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPED_TESTS=OFF -DPED_BENCH=ON
cmake --build build-release -j"$(nproc)"
data=build-release/bench-data
mkdir -p "$data"
if [ ! -f "$data/orders-1000000.db" ]; then
  echo "== generating the 1,000,000-order database (once)"
  build-release/bin/ped-dbgen --db "sqlite:$data/orders-1000000.tmp" --size 1000000 --seed 1 --one-branch > /dev/null
  mv "$data/orders-1000000.tmp" "$data/orders-1000000.db"
fi
echo "== packet decoding"
build-release/bin/bench_packet "${BENCH_ROWS:-100000}"
echo "== application server"
# the server benchmark writes; it works on a copy so the cache stays as generated
cp "$data/orders-1000000.db" "$data/work.db"
rm -f "$data/work.db-wal" "$data/work.db-shm"
build-release/bin/bench_server "$data/work.db"
echo "== commission screen"
build-release/bin/bench_screen "$data/work.db"
rm -f "$data/work.db" "$data/work.db-wal" "$data/work.db-shm"
