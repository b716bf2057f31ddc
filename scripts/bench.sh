#!/usr/bin/env bash
# Builds in release mode and runs every benchmark; each figure is a ratio
# against a baseline measured in the same run. The benchmark databases
# (1,000 / 10,000 / 100,000 / 1,000,000 orders, one branch) are generated once
# into build-release/bench-data and reused. Prints one table and writes it,
# with the cost curves and their plot, into docs/performance.md.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPED_TESTS=OFF -DPED_BENCH=ON
cmake --build build-release -j"$(nproc)"
bin=build-release/bin
data=build-release/bench-data
mkdir -p "$data"
sizes=(1000 10000 100000 1000000)
for n in "${sizes[@]}"; do
  if [ ! -f "$data/orders-$n.db" ]; then
    echo "== generating the $n-order database (once)"
    "$bin/ped-dbgen" --db "sqlite:$data/orders-$n.tmp" --size "$n" --seed 1 --one-branch > /dev/null
    mv "$data/orders-$n.tmp" "$data/orders-$n.db"
  fi
done
figures="$data/figures.tsv"
: > "$figures"
export PED_BENCH_TSV="$top/$figures"
# the benchmarks write (a password, change sets): they work on copies so the
# cached databases stay as generated
work() {
  rm -f "$data/work.db" "$data/work.db-wal" "$data/work.db-shm"
  cp "$data/orders-$1.db" "$data/work.db"
}
echo "== packets"
"$bin/bench_packet" "${BENCH_ROWS:-100000}"
echo "== application server (1,000,000 orders)"
work 1000000
"$bin/bench_server" "$data/work.db"
echo "== commission screen (1,000,000 orders)"
"$bin/bench_screen" "$data/work.db"
for n in "${sizes[@]}"; do
  echo "== cost curves at $n orders"
  work "$n"
  "$bin/bench_screen" --curve "$data/work.db"
done
rm -f "$data/work.db" "$data/work.db-wal" "$data/work.db-shm"
echo "== all figures"
"$bin/bench_report" "$figures" docs/performance.md
