#!/usr/bin/env bash
# Matches per second stored by fusewick-ladder with N local workers, against fusewick-tournament -j N in the same
# run, on the same teams (default.fpl and the bundled ones) and maps; and the database's size per 1,000 matches.
# Usage: bench/ladder_rate.sh [build dir, default build] [N, default 2] [seconds of ladder play, default 20]
#        LADDER_PG_URL=postgresql://... bench/ladder_rate.sh ...   (or through tests/ladder/with_postgres.sh) measures
#        PostgreSQL instead of an SQLite file.
# The tournament plays from memory and keeps no replays; the ladder stores each result with its compressed replay
# in a transaction and refits the ratings for every batch it schedules.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
JOBS="${2:-2}"
SECONDS_OF_PLAY="${3:-20}"
LADDER="$BUILD/src/app/fusewick-ladder"
TOURNAMENT="$BUILD/src/app/fusewick-tournament"
cd "$ROOT"
work="$(mktemp -d)"
server=""
trap '[ -n "$server" ] && kill -KILL "$server" 2>/dev/null; rm -rf "$work"' EXIT

teams=(default.fpl teams/*.fpl)
maps=(default.map maps/*.map)
map_args=()
for m in "${maps[@]}"; do map_args+=(-m "$m"); done
now() { date +%s.%N; }

matches="$("$TOURNAMENT" --list --seats all "${map_args[@]}" "${teams[@]}" | wc -l)"
# The whole tournament takes a fraction of a second: it is played again and again for five seconds, so that a
# moment of other work on the machine weighs as little as in the ladder's longer run.
played=0
start=$(now)
until_ns=$(($(date +%s%N) + 5000000000))
while [ "$(date +%s%N)" -lt "$until_ns" ]; do
  "$TOURNAMENT" -q -j "$JOBS" --seats all "${map_args[@]}" "${teams[@]}" >/dev/null
  played=$((played + matches))
done
end=$(now)
tournament_rate="$(python3 -c "print($played / ($end - $start))")"
mkdir -p "$work/replays"
start=$(now)
"$TOURNAMENT" -q -j "$JOBS" --seats all --replays "$work/replays" "${map_args[@]}" "${teams[@]}" >/dev/null
end=$(now)
replays_rate="$(python3 -c "print($matches / ($end - $start))")"
rm -rf "$work/replays"

db="${LADDER_PG_URL:-$work/ladder.db}"
port=$((20000 + RANDOM % 30000))
"$LADDER" serve --db "$db" --port "$port" --workers "$JOBS" --maps "${maps[@]}" --width 1 --budget 10000000 \
  --batch $((JOBS * 16)) >/dev/null 2>"$work/server.err" &
server=$!
until curl -sf "http://127.0.0.1:$port/api/status" >/dev/null; do sleep 0.1; done
for t in "${teams[@]}"; do
  curl -sf -X POST --data-binary "@$t" "http://127.0.0.1:$port/api/teams?name=$(basename "$t" .fpl)" >/dev/null
done
done_now() { curl -sf "http://127.0.0.1:$port/api/status" | jq .done; }
sleep 2  # placement and the first batches
d0="$(done_now)"; t0=$(now)
sleep "$SECONDS_OF_PLAY"
d1="$(done_now)"; t1=$(now)
kill -TERM "$server"; wait "$server" || true; server=""
ladder_rate="$(python3 -c "print(($d1 - $d0) / ($t1 - $t0))")"

if [ -z "${LADDER_PG_URL:-}" ]; then
  "$LADDER" backup --db "$db" "$work/copy.db"  # a checkpointed copy: the WAL folded in
  bytes="$(stat -c %s "$work/copy.db")"
  kind=sqlite
else
  bytes="$(psql -qAt "$db" -c "SELECT pg_database_size(current_database())")"
  kind=postgresql
fi
total="$(LADDER_DB="$db" "$LADDER" status --db "$db" | jq .done)"
python3 - "$kind" "$JOBS" "$tournament_rate" "$ladder_rate" "$bytes" "$total" "$replays_rate" <<'PY'
import sys
kind, jobs, t, l, size, total, r = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6]), float(sys.argv[7])
print(f"fusewick-tournament -j {jobs}: {t:.0f} matches/s; with --replays: {r:.0f} matches/s")
print(f"fusewick-ladder on {kind}, {jobs} workers: {l:.0f} matches/s stored, ratio {l / t:.2f} ({l / r:.2f} to the tournament keeping replays)")
print(f"database: {size / 1e6:.1f} MB for {total} matches, {size / total * 1000 / 1e6:.2f} MB per 1,000 matches")
PY
