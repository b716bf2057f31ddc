#!/usr/bin/env bash
# Sets up, builds and runs the demo: database, application server and the
# desktop shell with the commission module.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

missing=()
for prog in ped-dbgen ped-server ped-host; do
  [ -x "build/bin/$prog" ] || missing+=("$prog")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "demo: not available yet; these programs are not built: ${missing[*]}" >&2
  echo "demo: the framework core builds and its tests run with scripts/test.sh" >&2
  exit 1
fi
