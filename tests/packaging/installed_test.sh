#!/usr/bin/env bash
# `cmake --install` into a throwaway prefix: the installed programs find their data from an empty folder and from
# FUSEWICK_DATA; the build tree's programs, neither installed nor given FUSEWICK_DATA, behave exactly as before.
# Usage: installed_test.sh <build dir> <source dir> <version>
set -euo pipefail
build=$(realpath "$1") src=$(realpath "$2") version=$3
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
arena=$build/src/app/fusewick-arena

cmake --install "$build" --prefix "$work/usr" >/dev/null
"$here/run_from_empty_folder.sh" "$work/usr/bin" "$arena" "$src" "$version"

mkdir -p "$work/empty" "$work/other/maps" "$work/other/teams"
cd "$work/empty"
unset FUSEWICK_DATA
# The build tree's runner from an empty folder: the default map is missing, as it always was.
out=$("$arena" default.fpl 2>&1) && fail "the build tree's runner found a map in an empty folder"
[ "$out" = $'\nError: .map map file not found\nfusewick exited with error code 4' ] || fail "build tree: $out"
echo "ok: the build tree without FUSEWICK_DATA reads only the working directory"
# FUSEWICK_DATA serves the build tree too, and replaces the installed folder.
[ "$(FUSEWICK_DATA=$src "$arena" default.fpl)" = "$(cd "$src" && "$arena" default.fpl)" ] ||
  fail "the build tree's runner with FUSEWICK_DATA"
cp "$src/maps/pillars.map" "$work/other/maps/only.map"
cp "$src/teams/ghosts.fpl" "$work/other/teams/mine.fpl"
FUSEWICK_DATA=$work/other "$work/usr/bin/fusewick-arena" -M only.map mine.fpl mine.fpl mine.fpl mine.fpl >/dev/null ||
  fail "FUSEWICK_DATA's maps/ and teams/"
out=$(FUSEWICK_DATA=$work/other "$work/usr/bin/fusewick-arena" default.fpl 2>&1) &&
  fail "FUSEWICK_DATA did not replace the installed folder"
echo "ok: FUSEWICK_DATA names the data folder"
