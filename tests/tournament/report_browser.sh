#!/usr/bin/env bash
# The tournament's HTML report in headless Chromium: the page the browser builds holds the standings, the standings
# per map, the head-to-head table with pairs that never met, and replay links through the viewer's site next to the
# report; a screenshot of it is taken (and kept when a path is given). Skipped (77) without chromium.
# Usage: report_browser.sh <fusewick-tournament> <source dir> [screenshot.png]
set -euo pipefail
tournament="$(realpath "$1")"
cd "$2"
shot="${3:-}"
command -v chromium >/dev/null || { echo "chromium is not installed: skipped"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pub/site"
echo '<!DOCTYPE html><title>viewer</title>' >"$work/pub/site/index.html"

"$tournament" -q --sample 2 --seed 3 -m default.map -m maps/open.map --by-map --report "$work/pub/report.html" \
  --replays "$work/pub/replays" default.fpl teams/*.fpl >/dev/null

browser() {
  chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --no-first-run \
    --disable-background-networking --user-data-dir="$work/profile" "$@" 2>/dev/null
}
browser --dump-dom "file://$work/pub/report.html" >"$work/dom.html"
for expected in '<h1>Tournament standings</h1>' '<h2>On maps/open.map</h2>' '<h2>Head to head</h2>' \
  '<td class="never">never met</td>' 'href="site/index.html#src=../replays/' '<code>fusewick -M '; do
  grep -qF "$expected" "$work/dom.html" || { echo "the page lacks: $expected"; exit 1; }
done
for team in default ghosts hoarders hulks raiders sappers; do
  grep -q ">$team<" "$work/dom.html" || { echo "the page does not name $team"; exit 1; }
done

browser --screenshot="$work/report.png" --window-size=1200,1400 "file://$work/pub/report.html" >/dev/null
size=$(stat -c %s "$work/report.png")
[ "$size" -gt 20000 ] || { echo "the screenshot is nearly empty ($size bytes)"; exit 1; }
if [ -n "$shot" ]; then cp "$work/report.png" "$shot"; fi
echo "report read by Chromium; screenshot $size bytes"
