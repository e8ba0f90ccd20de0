#!/usr/bin/env bash
# Restarts the real window many times under Xvfb ('r' pressed 300 times), with the team file edited on disk in
# between, and plays long headless matches: memory must not grow, and a restart must pick up the edited file.
# Usage: restart_soak.sh <fusewick> <fusewick-arena> <source dir>
set -euo pipefail
game=$1 arena=$2 src=$3
work=$(mktemp -d)
xvfb_pid= game_pid=
cleanup() { kill $game_pid $xvfb_pid 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

cp -r "$src/sprites" "$work/"
printf '3, 3\n---\n-X-\n---\n' > "$work/m.map"
printf 'P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.MOVE 0\n' > "$work/a.fpl"

# A private X server; it writes its display number once it is ready.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

# Under AddressSanitizer freed blocks wait in a quarantine, which would look like growth: measure without it.
# The leak check at exit stays off for the window: the GL driver is unloaded before it runs, so its own blocks
# show up as leaks of an unknown module. Growth over the restarts is what shows a leak of ours here.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:quarantine_size_mb=0:thread_local_quarantine_size_kb=0"
cd "$work"
ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" "$game" -M m.map a.fpl a.fpl a.fpl a.fpl >"$work/out" 2>"$work/err" &
game_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Fusewick, v-1\.0a$' | head -n1) || fail "no window"
xdotool windowmove --sync "$window" 0 0  # without a window manager it opens a pixel off the screen
xdotool windowfocus --sync "$window"
press() { xdotool key --delay 2 "$@"; sleep 0.3; }  # real key events through the X server

press $(printf 'r %.0s' $(seq 50))  # warm-up: allocations reach their steady size
before=$(rss_kb $game_pid)
for _ in $(seq 5); do press $(printf 'r %.0s' $(seq 50)); done
after=$(rss_kb $game_pid)
echo "resident memory after 50 restarts: ${before} kB, after 300: ${after} kB"
[ $((after - before)) -lt 1024 ] || fail "memory grew by $((after - before)) kB over 250 restarts"

# The team file edited on disk: the next restart plays the new one.
printf 'P1 HULK\nP2 GHOST\nP3 CAPTAIN\nP4 CAPTAIN\n' > "$work/a.fpl"
press r p q
status=0; wait $game_pid || status=$?
game_pid=
[ "$status" -eq 0 ] || { cat "$work/err"; fail "exit status $status"; }
grep -q '^---- Player 1, type 6, status 0' "$work/out" || fail "the restart did not read the edited team file"
grep -q '^---- Player 2, type 1, status 0' "$work/out" || fail "the restart did not read the edited team file"

# Long headless matches: a MOVE 0 keeps the match on until the tick cap; a hundred times more ticks, same memory.
printf 'P1 HOARDER\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\nP1.MOVE 0\n' > "$work/b.fpl"
peak() { /usr/bin/time -f %M "$arena" --max-ticks "$1" -M m.map b.fpl b.fpl b.fpl b.fpl 2>&1 >/dev/null | tail -n1; }
short=$(peak 2000) long=$(peak 200000)
echo "peak memory of the runner: ${short} kB for 2000 ticks, ${long} kB for 200000 ticks"
[ $((long - short)) -lt 1024 ] || fail "the runner's memory grew with the length of the match"
echo "ok"
