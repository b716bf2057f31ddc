# Sourced by the scripts that run ped-server: starts it on a free loopback
# port and waits for its first line.
# ped_server_start PROGRAM DBURL OUTFILE ERRFILE [FLAGS...]
# sets $server (its pid) and $port; returns 1 when it did not start.
ped_server_start() {
  local program=$1 db=$2 out=$3 err=$4
  shift 4
  "$program" --listen 127.0.0.1:0 --db "$db" "$@" > "$out" 2> "$err" &
  server=$!
  port=""
  for _ in $(seq 1 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out" | head -1)
    [ -n "$port" ] && return 0
    sleep 0.05
  done
  return 1
}
