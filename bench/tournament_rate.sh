#!/usr/bin/env bash
# Matches per second of the bundled teams on the bundled maps, three ways:
#   - fusewick-tournament -j 1 and -j 2 (worker processes that play match after match from memory);
#   - one fusewick-arena process per match, spread over both cores with xargs -P 2.
# Usage: bench/tournament_rate.sh [build dir, default build] [rounds, default 3]
# Prints the best of the rounds for each, and the two ratios the tournament aims at: at least 10 times the
# process-per-match rate, and at least 1.8 times the -j 1 rate with -j 2. On a machine that others share, the
# figures move with their load: run it on a quiet machine.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
ROUNDS="${2:-3}"
TOURNAMENT="$BUILD/src/app/fusewick-tournament"
ARENA="$BUILD/src/app/fusewick-arena"
cd "$ROOT"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

teams=(default.fpl teams/*.fpl)
maps=(default.map maps/*.map)
map_args=()
for m in "${maps[@]}"; do map_args+=(-m "$m"); done
# All 24 seat orders make the run long enough to time.
"$TOURNAMENT" --list --seats all "${map_args[@]}" "${teams[@]}" >"$work/schedule"
matches=$(wc -l <"$work/schedule")
# The arena's command line for each match: the window's command with the program swapped.
sed -E 's/^[0-9a-f]+  fusewick /--max-ticks 100000 /' "$work/schedule" >"$work/arena_args"

now() { date +%s.%N; }
rate() { python3 -c "print(f'{$1 / ($3 - $2):.1f}')"; }
best() { printf '%s\n' "$@" | sort -g | tail -n 1; }

j1=() j2=() per_process=()
for ((round = 0; round < ROUNDS; ++round)); do
  for jobs in 1 2; do
    start=$(now)
    "$TOURNAMENT" -q -j "$jobs" --seats all "${map_args[@]}" "${teams[@]}" >/dev/null
    end=$(now)
    if [ "$jobs" = 1 ]; then j1+=("$(rate "$matches" "$start" "$end")"); else j2+=("$(rate "$matches" "$start" "$end")"); fi
  done
  start=$(now)
  # Each line holds the quoted file names of one match: xargs runs one arena per line, two at a time.
  xargs -P 2 -L 1 "$ARENA" <"$work/arena_args" >/dev/null
  end=$(now)
  per_process+=("$(rate "$matches" "$start" "$end")")
done

J1=$(best "${j1[@]}")
J2=$(best "${j2[@]}")
PP=$(best "${per_process[@]}")
echo "matches per run: $matches (${#teams[@]} teams, ${#maps[@]} maps, all seat orders), best of $ROUNDS rounds"
echo "fusewick-tournament -j 1:           $J1 matches/s"
echo "fusewick-tournament -j 2:           $J2 matches/s"
echo "fusewick-arena per match, xargs -P 2: $PP matches/s"
python3 -c "print(f'-j 2 / process per match: {$J2 / $PP:.1f}x (goal 10x)'); print(f'-j 2 / -j 1: {$J2 / $J1:.2f}x (goal 1.8x)')"
