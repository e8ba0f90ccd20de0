#!/usr/bin/env bash
# with_postgres.sh COMMAND...: runs COMMAND against a throwaway PostgreSQL server of its own, with LADDER_PG_URL
# naming an empty database on it. The server runs as the postgres user (it refuses root) in a folder that user owns,
# on a free loopback port with its socket in that folder, fsync off; it is stopped by its process id on any exit.
# Without root or without PostgreSQL 15 the command is not run: exit 77, which ctest reports as skipped.
set -euo pipefail
PGBIN=/usr/lib/postgresql/15/bin
if [ "$(id -u)" -ne 0 ] || [ ! -x "$PGBIN/initdb" ] || ! id postgres >/dev/null 2>&1; then
  echo "skipped: needs root, PostgreSQL 15 ($PGBIN) and its postgres user"
  exit 77
fi

dir="$(mktemp -d /tmp/fusewick-pg.XXXXXX)"
chown postgres "$dir"
port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=$((20000 + RANDOM % 30000))
until port_free "$port"; do port=$((20000 + RANDOM % 30000)); done

server_pid=""
stop_server() {
  local status=$?
  if [ -f "$dir/data/postmaster.pid" ]; then server_pid="$(head -n 1 "$dir/data/postmaster.pid")"; fi
  if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -rf "$dir"
  exit "$status"
}
trap stop_server EXIT

runuser -u postgres -- "$PGBIN/initdb" -D "$dir/data" -A trust -U postgres --no-sync >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log"; exit 1; }
runuser -u postgres -- "$PGBIN/postgres" -D "$dir/data" -k "$dir" -h 127.0.0.1 -p "$port" -c fsync=off \
  -c synchronous_commit=off -c full_page_writes=off -c max_connections=300 >"$dir/server.log" 2>&1 &
for _ in $(seq 100); do
  "$PGBIN/pg_isready" -q -h "$dir" -p "$port" && break
  sleep 0.1
done
"$PGBIN/pg_isready" -q -h "$dir" -p "$port" || { cat "$dir/server.log"; exit 1; }
server_pid="$(head -n 1 "$dir/data/postmaster.pid")"
runuser -u postgres -- psql -q -h "$dir" -p "$port" -c "CREATE DATABASE ladder" postgres

export LADDER_PG_URL="postgresql://postgres@127.0.0.1:$port/ladder"
"$@"
