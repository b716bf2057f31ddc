#!/usr/bin/env bash
# Sets up, builds and runs the demo: database, application server and the
# desktop shell with the commission module.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

# Demo database (made once), the application server on a free loopback
# port, then the shell with the login dialog prefilled for ADM.
data="$top/build/demo"
mkdir -p "$data"
if [ ! -f "$data/demo.db" ]; then
  build/bin/ped-dbgen --db "sqlite:$data/demo.db" --size demo --seed 1 > "$data/operators.txt"
fi
echo "Operadores do demo (senha e o que cada um vê):"
cat "$data/operators.txt"

source scripts/ped-server.sh
trap 'kill $server 2>/dev/null || true' EXIT
if ! ped_server_start build/bin/ped-server "sqlite:$data/demo.db" "$data/server.out" "$data/server.log"; then
  echo "demo: ped-server did not start; see $data/server.log" >&2
  exit 1
fi
echo "ped-server em 127.0.0.1:$port (log: $data/server.log)"

# Prefill the login dialog with the demo's first operator.
mkdir -p "$HOME/.config/ped"
cat > "$HOME/.config/ped/ped-host.conf" <<CONF
[login]
operator=ADM
branch=0001
server=127.0.0.1:$port
db=sqlite:$data/demo.db
CONF

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "demo: no display; set DISPLAY (or run under xvfb-run) to see the shell" >&2
  export QT_QPA_PLATFORM=offscreen
fi
build/bin/ped-host
