#!/usr/bin/env bash
# Ticks per second of today's engine against the engine of commit 3fee054 (before the speed work), on a quiet and
# a busy board, and their ratios (goals: quiet at least 2x, busy at least 3x). The two programs run in turns, each
# its best of three rounds per turn, and the best of all turns counts, so that the load of others on a shared
# machine weighs on both alike. Usage: bench/engine_ratio.sh [build dir, default build] [turns, default 3]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
TURNS="${2:-3}"
NEW="$BUILD/bench/engine_ratio"
OLD="$BUILD/bench/engine_ratio_3fee054"
[ -x "$NEW" ] && [ -x "$OLD" ] || { echo "build the targets engine_ratio and engine_ratio_3fee054 first" >&2; exit 1; }

best() { sort -g | tail -n 1; }
new_quiet=() new_busy=() old_quiet=() old_busy=()
for ((turn = 0; turn < TURNS; ++turn)); do
  while read -r board rate _; do
    if [ "$board" = quiet ]; then old_quiet+=("$rate"); else old_busy+=("$rate"); fi
  done < <("$OLD" both 0 3)
  while read -r board rate _; do
    if [ "$board" = quiet ]; then new_quiet+=("$rate"); else new_busy+=("$rate"); fi
  done < <("$NEW" both 0 3)
done
NQ=$(printf '%s\n' "${new_quiet[@]}" | best)
NB=$(printf '%s\n' "${new_busy[@]}" | best)
OQ=$(printf '%s\n' "${old_quiet[@]}" | best)
OB=$(printf '%s\n' "${old_busy[@]}" | best)
echo "quiet: $NQ ticks/s, engine of 3fee054 $OQ ticks/s"
echo "busy:  $NB ticks/s, engine of 3fee054 $OB ticks/s"
python3 -c "print(f'quiet ratio {$NQ / $OQ:.2f}x (goal 2x), busy ratio {$NB / $OB:.2f}x (goal 3x)')"
