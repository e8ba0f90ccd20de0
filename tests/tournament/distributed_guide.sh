#!/usr/bin/env bash
# docs/distributed.md as written: every command block marked "one machine" is taken from the page and run, in page
# order, in one shell, in a folder laid out like the repository root (the bundled files and the program at
# build/src/app/); then the standings of the guide's GNU parallel slices and of its Slurm job array must equal one
# single run's, byte for byte. The guide starts its own one-node Slurm (root, slurm-wlm, munge, GNU parallel):
# without them the test is skipped (77). The guide's shell runs in a process group of its own, stopped by its id
# when the test ends, so no daemon of it outlives the test.
# Usage: distributed_guide.sh <fusewick-tournament> <source dir>
set -euo pipefail
tournament="$(realpath "$1")"
source_dir="$(realpath "$2")"
if [ "$(id -u)" -ne 0 ]; then echo "the guide's Slurm needs root: skipped"; exit 77; fi
for tool in parallel munged slurmctld slurmd sbatch sinfo; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (packages parallel, slurm-wlm, munge): skipped"; exit 77; }
done
start=$SECONDS
work="$(mktemp -d)"
chmod 755 "$work"
group=""
cleanup() {
  local status=$?
  if [ -n "$group" ]; then kill -- "-$group" 2>/dev/null || true; fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# The blocks: a fenced block right after a line "<!-- one machine -->" or "<!-- one machine, Slurm -->".
awk '/^<!-- one machine(, Slurm)? -->$/ { take = 1; next }
     take && /^```/ { if (inside) { inside = 0; take = 0; print "" } else inside = 1; next }
     inside { print }' "$source_dir/docs/distributed.md" >"$work/guide.sh"
blocks=$(grep -c '^<!-- one machine' "$source_dir/docs/distributed.md")
[ "$blocks" -ge 4 ] || { echo "only $blocks marked blocks found in the guide"; exit 1; }

mkdir -p "$work/root/build/src/app"
ln -s "$tournament" "$work/root/build/src/app/fusewick-tournament"
for f in default.map default.fpl maps teams; do ln -s "$source_dir/$f" "$work/root/$f"; done
cd "$work/root"

setsid bash -eu "$work/guide.sh" >"$work/guide.out" 2>&1 &
group=$!
if ! wait "$group"; then
  echo "the guide failed:"; cat "$work/guide.out"; exit 1
fi
group=""
cat "$work/guide.out"
grep -q "slice 2/4: no results at all" "$work/guide.out" || { echo "the merge did not name the missing slice"; exit 1; }
grep -q "slice 0 resumed: the same results" "$work/guide.out" || { echo "the stopped slice did not resume"; exit 1; }

build/src/app/fusewick-tournament -q -m default.map -m maps/open.map --standings "$work/single.json" default.fpl \
  teams/*.fpl >/dev/null
cmp "$work/single.json" results/standings.json
cmp "$work/single.json" results/slurm-standings.json
echo "the guide ran as written: $blocks blocks, standings equal to a single run, $((SECONDS - start)) s"
