#!/usr/bin/env bash
# burst.sh LADDER ARENA SOURCE_DIR sqlite|postgres LOAD_CLIENT: a crowd of submitters connects while the server cannot
# accept (stopped for two seconds, as a loaded machine stops its accepting thread for moments): every first
# submission is answered once it runs again. A short listen queue fails this: the kernel answers the overflow with
# SYN cookies and resets a request sent in two segments before the server sees it (the client reports "Read").
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/ladder_lib.sh"
client="$5"
start_server --workers 1 --submit-rate 1000000
kill -STOP "$server_pid"
"$client" --port "$PORT" --readers 0 --submitters 64 --seconds 3 --team "$SOURCE/teams/hulks.fpl" \
  >"$work/burst.json" &
client_pid=$!
sleep 2
kill -CONT "$server_pid"
wait "$client_pid" || { cat "$work/burst.json"; fail "first submissions lost while the server could not accept"; }
jq -c '{requests, submitted, errors}' "$work/burst.json"
stop_server || fail "the server's exit code on SIGTERM"
