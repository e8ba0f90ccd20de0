# ladder_lib.sh: what the ladder's shell tests share: a scratch folder, a free port, a server started and stopped by
# its process id, and checks that say what failed. Sourced, not run.
LADDER="$1" ARENA="$2" SOURCE="$3" KIND="$4"
work="$(mktemp -d /tmp/fusewick-ladder-test.XXXXXX)"
server_pid=""
cleanup() {
  local status=$?
  if [ -n "$server_pid" ]; then kill -KILL "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  [ "$status" -eq 0 ] && rm -rf "$work" || echo "kept $work for a look"
  exit "$status"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; [ -f "$work/server.err" ] && tail -n 20 "$work/server.err" >&2; exit 1; }
expect_eq() { [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"; }

if [ "$KIND" = postgres ]; then
  [ -n "${LADDER_PG_URL:-}" ] || fail "no LADDER_PG_URL: run through with_postgres.sh"
  DB="$LADDER_PG_URL"
else
  DB="$work/ladder.db"
fi

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
PORT=$((20000 + RANDOM % 12000))  # below the ephemeral ports that outgoing connections take
until port_free "$PORT"; do PORT=$((20000 + RANDOM % 12000)); done
URL="http://127.0.0.1:$PORT"

# start_server [options...]: in the source folder (the bundled maps), until it answers.
start_server() {
  (cd "$SOURCE" && exec "$LADDER" serve --db "$DB" --port "$PORT" "$@" >>"$work/server.out" 2>>"$work/server.err") &
  server_pid=$!
  for _ in $(seq 100); do
    curl -sf "$URL/api/status" >/dev/null 2>&1 && return 0
    kill -0 "$server_pid" 2>/dev/null || fail "the server ended at start"
    sleep 0.1
  done
  fail "the server does not answer"
}

stop_server() {
  kill -TERM "$server_pid"
  local status=0
  wait "$server_pid" || status=$?
  server_pid=""
  return "$status"
}

# status_of METHOD PATH [curl options...]: the HTTP status; the body goes to $work/body.
status_of() {
  local method="$1" path="$2"
  shift 2
  curl -s -o "$work/body" -w '%{http_code}' -X "$method" "$@" "$URL$path"
}

# wait_played N: until N matches are played and nothing waits, or fails after 90 s.
wait_played() {
  for _ in $(seq 900); do
    local s
    s="$(curl -sf "$URL/api/status")" || true
    if [ -n "$s" ] && [ "$(jq '.done' <<<"$s")" -ge "$1" ] && [ "$(jq '.queued + .claimed' <<<"$s")" -eq 0 ]; then
      return 0
    fi
    sleep 0.1
  done
  fail "matches not played in time: $(curl -s "$URL/api/status")"
}

# same_as_refit: the served standings equal a refit of the stored results, once the server's refit (on a thread of
# its own, at most a second behind) has caught up; fails after 20 s.
same_as_refit() {
  "$LADDER" standings --db "$DB" | jq -S . >"$work/refit.json"
  for _ in $(seq 100); do
    curl -s "$URL/api/standings" | jq -S . >"$work/served.json"
    cmp -s "$work/refit.json" "$work/served.json" && return 0
    sleep 0.2
  done
  diff "$work/refit.json" "$work/served.json" | head -n 20 >&2
  fail "the standings differ from a refit"
}
