#!/usr/bin/env bash
# Each program's man page and its bash completion offer exactly the options its --help lists (with those of its
# subcommands), so none of the three can drift from the others.
# Usage: man_options_test.sh <man page folder> <completion script> <program>...
set -uo pipefail
man_dir=$1 completion=$2
shift 2

# Option words of a help text: the first column of the lines that start with an option.
help_options() {
  sed -n 's/^ *\(-[^ ].*\)$/\1/p' | sed 's/   .*//' | tr ', ' '\n\n' | grep -E '^--?[A-Za-z][A-Za-z0-9-]*$'
}

# The subcommands a CLI11 help text lists under "Subcommands:".
subcommands() {
  sed -n '/^Subcommands:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'
}

# Option words of the tags of a man page's .TP paragraphs.
man_options() {
  sed -n '/^\.TP/{n;p}' "$1" | sed 's/\\f[BIRP]//g; s/\\-/-/g; s/"//g; s/^\.[A-Z]* //' | tr ', ' '\n\n' |
    grep -E '^--?[A-Za-z][A-Za-z0-9-]*$'
}

# The words the completion offers after "<program> -" (subcommand words other than options left out).
completion_options() {
  (
    source "$completion"
    COMP_WORDS=("$1" -) COMP_CWORD=1
    _fusewick
    printf '%s\n' "${COMPREPLY[@]}"
    for sub in $2; do
      COMP_WORDS=("$1" "$sub" -) COMP_CWORD=2
      _fusewick
      printf '%s\n' "${COMPREPLY[@]}"
    done
  )
}

failures=0
for program in "$@"; do
  name=$(basename "$program")
  help=$("$program" --help 2>&1)
  subs=$(subcommands <<<"$help")
  expected=$({ help_options <<<"$help"; for s in $subs; do "$program" "$s" --help 2>&1 | help_options; done; } |
             sort -u)
  page=$man_dir/$name.6
  for source in man completion; do
    if [ $source = man ]; then got=$(man_options "$page" | sort -u); else got=$(completion_options "$program" "$subs" | sort -u); fi
    if [ "$got" != "$expected" ]; then
      echo "FAIL: $name: the $source options differ from --help (< --help, > $source):"
      diff <(echo "$expected") <(echo "$got") | grep '^[<>]'
      failures=$((failures + 1))
    else
      echo "ok: $name $source: $(echo $expected)"
    fi
  done
done
exit $((failures > 0))
