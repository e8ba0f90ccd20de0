#!/usr/bin/env bash
# load.sh LADDER ARENA SOURCE_DIR sqlite|postgres LOAD_CLIENT [SECONDS]: 50 readers of the pages and the API and 20
# submitters (the submit rate raised for them) against a ladder whose workers play all the while, for SECONDS
# (default 15); no request may fail. Prints the figures of ladder-load.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/ladder_lib.sh"
client="$5"
seconds="${6:-15}"
start_server --workers 2 --submit-rate 1000000
for file in "$SOURCE"/teams/*.fpl; do
  [ "$(status_of POST "/api/teams?name=$(basename "$file" .fpl)" --data-binary "@$file")" = 201 ] || fail "submitting"
done
wait_played 1
"$client" --port "$PORT" --readers 50 --submitters 20 --seconds "$seconds" --team "$SOURCE/teams/hulks.fpl" \
  >"$work/load.json" || { cat "$work/load.json"; fail "requests failed under load"; }
cat "$work/load.json"
echo "matches played meanwhile: $(curl -s "$URL/api/status" | jq .done)"
stop_server || fail "the server's exit code on SIGTERM"
