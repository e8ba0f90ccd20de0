#!/usr/bin/env bash
# GNU parallel spreads a tournament's slices over the local cores, once with -j and once through --sshlogin with
# the local machine (":"); merged, the slices give standings byte for byte equal to one single-process run.
# Usage: parallel_e2e.sh <fusewick-tournament> <source dir>
set -euo pipefail
tournament="$1"
cd "$2"
command -v parallel >/dev/null || { echo "GNU parallel is not installed"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

args=(-q -m default.map -m maps/pillars.map -m maps/open.map default.fpl teams/*.fpl)
"$tournament" -j 1 --standings "$work/single.json" "${args[@]}" >"$work/single.txt"

check() {  # <name>: merges $work/<name>-*.jsonl and compares with the single run
  "$tournament" merge --standings "$work/$1.json" "$work/$1"-*.jsonl >"$work/$1.txt"
  cmp "$work/single.txt" "$work/$1.txt"
  cmp "$work/single.json" "$work/$1.json"
  echo "$1: standings equal to the single run"
}

# Four slices, two at a time, each on one worker.
parallel --will-cite -j 2 --halt now,fail=1 \
  "$tournament" -j 1 --shard {}/4 --out "$work/local-{}.jsonl" "${args[@]}" ::: 0 1 2 3 >/dev/null
check local

# The same through GNU parallel's remote machinery, with the local machine as the only login (2 jobs on it).
parallel --will-cite --sshlogin 2/: --halt now,fail=1 \
  "$tournament" -j 1 --shard {}/5 --out "$work/login-{}.jsonl" "${args[@]}" ::: 0 1 2 3 4 >/dev/null
check login
