#!/usr/bin/env bash
# fault.sh LADDER ARENA SOURCE_DIR sqlite|postgres [CYCLES]: kill -9 of the server and of the workers at random
# moments while teams are submitted and matches played, CYCLES times (default 20). With PostgreSQL the matches are
# played by two `fusewick-ladder work` processes beside a server without workers. After the last restart: every
# acknowledged submission is there, every played match has exactly one result and one replay, every replay
# reproduces and agrees with its stored result, the standings equal a refit, and a graceful stop leaves no claim.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/ladder_lib.sh"
cycles="${5:-20}"

sql() {
  if [ "$KIND" = postgres ]; then psql -qAt "$DB" -c "$1"; else sqlite3 "$DB" "$1"; fi
}

work_pids=()
start_workers() {
  [ "$KIND" = postgres ] || return 0
  work_pids=()
  for _ in 1 2; do
    (cd "$SOURCE" && exec "$LADDER" work --db "$DB" >/dev/null 2>>"$work/workers.err") &
    work_pids+=($!)
  done
}
kill_workers() {
  local pids=("${work_pids[@]}")
  [ "$KIND" = postgres ] || mapfile -t pids < <(pgrep -P "$server_pid" || true)
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; done
  for p in "${work_pids[@]}"; do wait "$p" 2>/dev/null || true; done
}
random_pause() { sleep "0.$((RANDOM % 9 + 1))"; }

workers=2
[ "$KIND" = postgres ] && workers=0
# The budget bounds the matches to verify at the end, whatever the speed of the machine.
serve_options=(--workers "$workers" --lease 5 --batch 8 --submit-rate 100000 --budget 3000)
start_server "${serve_options[@]}"
start_workers
: >"$work/acknowledged"
for file in "$SOURCE"/teams/*.fpl; do
  name="$(basename "$file" .fpl)"
  [ "$(status_of POST "/api/teams?name=$name" --data-binary "@$file")" = 201 ] || fail "submitting $name"
  jq -r .id "$work/body" >>"$work/acknowledged"
done

kills=0
for cycle in $(seq "$cycles"); do
  # Submissions while the kills come: whatever was acknowledged must survive them.
  (
    for i in 1 2 3; do
      got="$(curl -s -o "$work/sub.$cycle.$i" -w '%{http_code}' -X POST --data-binary "@$SOURCE/teams/hulks.fpl" \
        "$URL/api/teams?name=c${cycle}_$i")" || true
      [ "$got" = 201 ] && jq -r .id "$work/sub.$cycle.$i" >>"$work/acknowledged"
      sleep 0.05
    done
  ) &
  submitter=$!
  random_pause
  if [ $((cycle % 2)) -eq 1 ]; then
    # One worker killed outright; the server (or the test, for `work`) starts another.
    if [ "$KIND" = postgres ]; then
      kill -KILL "${work_pids[0]}" 2>/dev/null || true
      wait "${work_pids[0]}" 2>/dev/null || true
      (cd "$SOURCE" && exec "$LADDER" work --db "$DB" >/dev/null 2>>"$work/workers.err") &
      work_pids[0]=$!
    else
      victim="$(pgrep -P "$server_pid" | head -n 1 || true)"
      [ -n "$victim" ] && kill -KILL "$victim"
    fi
    kills=$((kills + 1))
    random_pause
  fi
  # Everything killed outright: the workers, then the server.
  kill_workers
  kill -KILL "$server_pid"
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
  kills=$((kills + 1))
  wait "$submitter" || true
  start_server "${serve_options[@]}"
  start_workers
done

random_pause
wait_played 1
stop_server || fail "the server's exit code on SIGTERM"
for p in "${work_pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
for p in "${work_pids[@]}"; do wait "$p" || fail "a worker's exit code on SIGTERM"; done

done_count="$(sql "SELECT COUNT(*) FROM matches WHERE state = 'done'")"
expect_eq "$(sql "SELECT COUNT(*) FROM matches WHERE state = 'claimed'")" 0 "claims left after the stop"
expect_eq "$(sql "SELECT COUNT(*) FROM replays")" "$done_count" "replays of the played matches"
expect_eq "$(sql "SELECT COUNT(*) FROM matches m JOIN replays r ON r.match_id = m.id WHERE m.state = 'done'")" \
  "$done_count" "played matches with their replay"
for team in $(sort -u "$work/acknowledged"); do
  expect_eq "$(sql "SELECT COUNT(*) FROM teams WHERE id = $team")" 1 "acknowledged team $team"
done
"$LADDER" verify --db "$DB" 2>"$work/verify.err" || fail "verify: $(cat "$work/verify.err")"
start_server --workers 0
same_as_refit
stop_server
failed="$(sql "SELECT COUNT(*) FROM matches WHERE state = 'failed'")"
echo "faults on $KIND: $cycles cycles, $kills kill -9 rounds, $(sort -u "$work/acknowledged" | wc -l) acknowledged" \
     "teams all kept, $done_count matches each stored once and reproduced, $failed set aside after killing their workers 3 times"
