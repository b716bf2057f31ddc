#!/usr/bin/env bash
# Crash safety: starts ped-server on a copy of a generated database, sends a
# recalculation of commission over every delivery date (SetBuscaComissao, one
# transaction over many orders), kills the server with SIGKILL at a random
# moment, starts it again and checks: PRAGMA integrity_check is ok, the
# recalculation is all or nothing (its audit rows are none or all of them),
# and an acknowledged call is all there. Usage: crashloop.sh [ITERATIONS]
set -euo pipefail
iterations=${1:-300}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
[ -x build/bin/ped-server ] || { echo "crashloop: build first (scripts/test.sh or scripts/demo.sh)" >&2; exit 1; }
command -v sqlite3 > /dev/null && command -v curl > /dev/null || bash scripts/setup.sh
work=$(mktemp -d)
trap 'kill -9 $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
build/bin/ped-dbgen --db "sqlite:$work/base.db" --size 10000 --seed 3 > "$work/operators.txt"
password=$(sed -n 's/^operator ADM password \([^ ]*\) .*/\1/p' "$work/operators.txt")
from=$(sqlite3 "$work/base.db" "SELECT CAST(MIN(DTENTPED) AS INTEGER) FROM PEDIDO")
to=$(sqlite3 "$work/base.db" "SELECT CAST(MAX(DTENTPED) AS INTEGER) FROM PEDIDO")
body="{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"SetBuscaComissao\",\"params\":[$from,$to]}"

source scripts/ped-server.sh
start_server() { # db -> sets server and port
  ped_server_start build/bin/ped-server "sqlite:$1" "$work/out" "$work/err" --log-level error ||
    { echo "crashloop: the server did not start" >&2; cat "$work/err" >&2; exit 1; }
}
login() {
  curl -s -X POST "http://127.0.0.1:$port/session" -H 'Content-Type: application/json' \
    -d "{\"operator\":\"ADM\",\"password\":\"$password\"}" | sed -n 's/.*"token":"\([^"]*\)".*/\1/p'
}
recalculated() { sqlite3 "$1" "SELECT COUNT(*) FROM HISTCOMISSAO WHERE IDACAO = 'R'"; }

# the whole recalculation once, uninterrupted: how many audit rows it writes
cp "$work/base.db" "$work/full.db"
start_server "$work/full.db"
token=$(login)
t0=$(date +%s%N)
curl -s -X POST "http://127.0.0.1:$port/rpc/Ped03600.rdmComissaoVend" -H "Authorization: Bearer $token" \
  -H 'Content-Type: application/json' -d "$body" > "$work/answer"
took=$((($(date +%s%N) - t0) / 1000000))
grep -q '"result"' "$work/answer" || { echo "crashloop: the recalculation failed: $(cat "$work/answer")" >&2; exit 1; }
kill "$server"; wait "$server" 2>/dev/null || true
full=$(recalculated "$work/full.db")
before=$(recalculated "$work/base.db")
echo "crashloop: a whole recalculation takes $took ms and writes $((full - before)) audit rows; $iterations kills follow"
# kill anywhere from the call's start to well after its end
window=$((took * 3 / 2 + 50))

whole=0 none=0 acked=0 bad=0
for i in $(seq 1 "$iterations"); do
  cp "$work/base.db" "$work/run.db"
  rm -f "$work/run.db-wal" "$work/run.db-shm"
  start_server "$work/run.db"
  token=$(login)
  curl -s -m 30 -X POST "http://127.0.0.1:$port/rpc/Ped03600.rdmComissaoVend" -H "Authorization: Bearer $token" \
    -H 'Content-Type: application/json' -d "$body" > "$work/answer" 2>/dev/null &
  call=$!
  delay=$((RANDOM * 32768 + RANDOM))
  delay=$((delay % window))
  sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
  kill -9 "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  wait "$call" 2>/dev/null || true
  ok=0; grep -q '"result"' "$work/answer" && ok=1
  # after a restart the database opens, recovers its journal and answers
  start_server "$work/run.db"
  curl -s "http://127.0.0.1:$port/health" | grep -q '"ok"' || { echo "iteration $i: no health after restart" >&2; bad=$((bad + 1)); }
  kill "$server"; wait "$server" 2>/dev/null || true
  check=$(sqlite3 "$work/run.db" "PRAGMA integrity_check")
  rows=$(recalculated "$work/run.db")
  if [ "$check" != ok ]; then
    echo "iteration $i: integrity_check: $check" >&2; bad=$((bad + 1))
  elif [ "$rows" = "$full" ]; then
    whole=$((whole + 1)); [ $ok = 1 ] && acked=$((acked + 1))
  elif [ "$rows" = "$before" ] && [ $ok = 0 ]; then
    none=$((none + 1))
  else
    echo "iteration $i: $rows audit rows (none $before, all $full), acknowledged $ok" >&2; bad=$((bad + 1))
  fi
done
echo "crashloop: $iterations kills: $whole whole ($acked of them acknowledged), $none not applied, $bad broken"
[ "$bad" = 0 ]
