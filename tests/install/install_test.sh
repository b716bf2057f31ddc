#!/usr/bin/env bash
# Installs the build into a fresh prefix and runs the installed programs from
# there: the generator makes a database, the server starts from its
# configuration file, answers /health and stops on SIGTERM; the shell's
# libraries and modules resolve inside the prefix.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; rm -rf "$prefix"' EXIT
server=
cmake --install "$build" --prefix "$prefix" > /dev/null

for f in bin/ped-host bin/ped-server bin/ped-dbgen bin/ped-admin lib/ped/libpedcore.so lib/ped/libpedwidgets.so \
         lib/ped/libPKG_PED03600.so lib/ped/libPKG_PED00103.so share/ped/help/12203600.html \
         share/ped/sql/schema_sqlite.sql share/ped/sql/schema_firebird.sql etc/ped/ped-server.conf \
         lib/systemd/system/ped-server.service; do
  [ -e "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
grep -q "^ExecStart=.*/ped-server --config .*/ped/ped-server.conf" "$prefix/lib/systemd/system/ped-server.service"

# nothing of the build folder is needed any more
for f in bin/ped-host bin/ped-server bin/ped-admin lib/ped/libPKG_PED03600.so; do
  if ldd "$prefix/$f" | grep -q "$build"; then echo "$f still loads from the build folder"; exit 1; fi
  if ldd "$prefix/$f" | grep -q "not found"; then echo "$f has unresolved libraries"; ldd "$prefix/$f"; exit 1; fi
done

"$prefix/bin/ped-dbgen" --db "sqlite:$prefix/t.db" --size 20 --seed 3 > /dev/null
cat > "$prefix/server.conf" <<CONF
# a test configuration
listen = 127.0.0.1:0
db = sqlite:$prefix/t.db
log-level = info
CONF
"$prefix/bin/ped-server" --config "$prefix/server.conf" > "$prefix/out" 2> "$prefix/err" &
server=$!
for _ in $(seq 100); do
  grep -q "^listening on 127.0.0.1:" "$prefix/out" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$prefix/out")
[ -n "$port" ] || { echo "server did not start"; cat "$prefix/err"; exit 1; }
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' >&3
answer=$(cat <&3)
exec 3<&-
echo "$answer" | grep -q '"status":"ok"' || { echo "health: $answer"; exit 1; }
kill -TERM "$server"
wait "$server"
server=
# the package's upgrade of an existing database: a database of version 1
# is upgraded by the installed ped-admin, with its copy, and upgraded once
src=$(cd "$(dirname "$0")/../.." && pwd)
sqlite3 "$prefix/v1.db" < "$src/tests/server/data/schema_v1_sqlite.sql"
"$prefix/bin/ped-admin" --db "sqlite:$prefix/v1.db" upgrade --backup-dir "$prefix" | grep -q "atualizado da versão 1 para" \
  || { echo "version 1 not upgraded"; exit 1; }
ls "$prefix"/v1-v1-*.bak > /dev/null
"$prefix/bin/ped-admin" --db "sqlite:$prefix/v1.db" upgrade | grep -q "já na versão" || { echo "upgraded twice"; exit 1; }
[ "$(sqlite3 "$prefix/v1.db" "SELECT COUNT(*) FROM COMISITEMPED")" = 3 ] || { echo "rows lost"; exit 1; }
"$prefix/bin/ped-admin" --config "$prefix/server.conf" operator list | grep -q "^ADM" || { echo "operator list"; exit 1; }
# a flag after the file wins over it
"$prefix/bin/ped-server" --config "$prefix/server.conf" --log-level verbose 2> /dev/null && { echo "bad flag accepted"; exit 1; }
echo "install ok"
