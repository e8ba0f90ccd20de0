#!/usr/bin/env bash
# pages_chromium.sh LADDER ARENA SOURCE_DIR sqlite [SCREENSHOT_DIR]: the pages in headless Chromium with a team whose
# name is markup that would run a script (put into the database directly, as the API refuses such names): no script
# runs, the name shows as text. With SCREENSHOT_DIR, keeps screenshots of the standings, a team and a match.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/ladder_lib.sh"
shots="${5:-}"
browser="$(command -v chromium || command -v chromium-browser || true)"
[ -n "$browser" ] || { echo "skipped: no chromium"; exit 77; }

start_server --workers 1 --budget 40
for file in "$SOURCE"/teams/*.fpl; do
  [ "$(status_of POST "/api/teams?name=$(basename "$file" .fpl)" --data-binary "@$file")" = 201 ] || fail "submitting"
done
wait_played 40
evil='<script>document.title="PWNED"</script><img src=x onerror="document.body.dataset.pwned=1">'
sqlite3 "$DB" "UPDATE teams SET name = '$(sed "s/'/''/g" <<<"$evil")' WHERE id = 1"
match="$(curl -s "$URL/api/matches?team=1&limit=1" | jq '.matches[0].id')"
# A change made behind the server's back shows within a second or two, once its ranking is rebuilt.
shows() {
  for _ in $(seq 100); do
    curl -s "$URL/" | grep -qF "$1" && return 0
    sleep 0.2
  done
  fail "the standings page never shows $1"
}
shows '&lt;script&gt;document.title'

chrome() {
  timeout 60 "$browser" --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --user-data-dir="$work/profile" \
    --virtual-time-budget=2000 "$@" 2>/dev/null
}
for page in / /teams/1 "/matches/$match"; do
  chrome --dump-dom "$URL$page" >"$work/dom.html"
  grep -q '<title>[^<]*Fusewick ladder</title>' "$work/dom.html" || fail "$page: the title changed: a script ran"
  if grep -q 'data-pwned' "$work/dom.html"; then fail "$page: a handler ran"; fi
  grep -qF '&lt;script&gt;document.title="PWNED"&lt;/script&gt;' "$work/dom.html" || fail "$page: the name is not shown as text"
done
if [ -n "$shots" ]; then
  mkdir -p "$shots"
  sqlite3 "$DB" "UPDATE teams SET name = 'ghosts' WHERE id = 1"
  shows '>ghosts</a>'
  chrome --window-size=1100,700 --screenshot="$shots/ladder-standings.png" "$URL/" >/dev/null
  chrome --window-size=1100,1400 --screenshot="$shots/ladder-team.png" "$URL/teams/2" >/dev/null
  chrome --window-size=1100,700 --screenshot="$shots/ladder-match.png" "$URL/matches/$match" >/dev/null
  chrome --window-size=1100,700 --screenshot="$shots/ladder-submit.png" "$URL/submit" >/dev/null
fi
stop_server
echo "pages in Chromium: no script ran on 3 pages with a team named in markup"
