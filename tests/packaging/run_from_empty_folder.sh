#!/usr/bin/env bash
# Runs every installed program from an empty folder: each finds the bundled data and prints what the build tree's
# programs print where the files lie at hand; a file missing everywhere is reported exactly as before.
# Usage: run_from_empty_folder.sh <installed bin folder> <build tree's fusewick-arena> <source dir> <version>
set -euo pipefail
bin=$(realpath "$1") reference=$(realpath "$2") src=$(realpath "$3") version=$4
work=$(mktemp -d)
xvfb_pid=
cleanup() { [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir "$work/empty" "$work/flat"
cp "$src"/default.* "$src"/maps/pillars.map "$src"/teams/*.fpl "$work/flat/"

# run <folder> <program> <args...>: prints the exit code, standard output and standard error together.
run() { local dir=$1 program=$2; shift 2; (cd "$dir" && { "$program" "$@" 2>&1; echo "exit $?"; }); }
same() {  # same <what> <args...>: the installed runner in the empty folder and the build tree's in the flat one
  local what=$1; shift
  [ "$(run "$work/empty" "$bin/fusewick-arena" "$@")" = "$(run "$work/flat" "$reference" "$@")" ] ||
    fail "$what: the installed runner differs from the build tree's"
  echo "ok: $what"
}
same "the default match" default.fpl
same "a bundled map and bundled teams" -M pillars.map ghosts.fpl hulks.fpl sappers.fpl hoarders.fpl
[ "$(run "$work/empty" "$bin/fusewick-arena" -M nosuch.map default.fpl)" = \
  "$(run "$work/empty" "$reference" -M nosuch.map default.fpl)" ] || fail "a missing map is reported otherwise"
echo "ok: a missing map is reported as before"

[ "$(run "$work/empty" "$bin/fusewick-check" ghosts.fpl pillars.map)" = "exit 0" ] || fail "fusewick-check"
out=$(run "$work/empty" "$bin/fusewick-check" nosuch.fpl)
grep -q "^nosuch.fpl:1:1: error" <<<"$out" || fail "fusewick-check names a missing file otherwise: $out"
echo "ok: fusewick-check"
out=$(run "$work/empty" "$bin/fusewick-tournament" -q -j 2 --max-ticks 3000 -m pillars.map \
      ghosts.fpl hulks.fpl sappers.fpl hoarders.fpl)
grep -qx "exit 0" <<<"$out" && grep -q " ghosts " <<<"$out" || fail "fusewick-tournament: $out"
echo "ok: fusewick-tournament"
for program in fusewick-arena fusewick-view fusewick-check fusewick-tournament fusewick-ladder; do
  [ -x "$bin/$program" ] || continue
  [ "$("$bin/$program" --version)" = "$program $version" ] || fail "$program --version"
done
echo "ok: --version"

# The windowed programs in a private X server: the window opens (sprites, map and team found) and q quits with 0.
if [ -x "$bin/fusewick" ] && command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$work/display")"
  for program_title in 'fusewick:^Fusewick, v-1\.0a$' 'fusewick-view:^Fusewick viewer$'; do
    program=${program_title%%:*} title=${program_title#*:}
    [ -x "$bin/$program" ] || continue
    # Under AddressSanitizer the leak check stays off for a window: the GL driver is unloaded before it runs.
    (cd "$work/empty" && ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" exec "$bin/$program" default.fpl \
      >"$work/out" 2>&1) &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name "$title" | head -n1) ||
      { cat "$work/out"; fail "$program opened no window"; }
    xdotool windowfocus --sync "$window" key q
    status=0; wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { cat "$work/out"; fail "$program ended with $status"; }
    echo "ok: $program opens its window from an empty folder"
  done
fi
