#!/usr/bin/env bash
# The Vim highlighting of team files in Vim's own syntax engine, headless: vim_syntax_test.vim opens a sample team
# file with editors/vim on the runtime path and checks the highlight group of every column.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

if ! command -v vim >/dev/null 2>&1; then
  echo "vim is not installed (Debian package vim; scripts/test installs it)" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
vim -N -u NONE -i NONE -Es --cmd "set runtimepath^=$ROOT/editors/vim" --cmd "let g:work = '$work'" \
    -S "$ROOT/tests/editors/vim_syntax_test.vim" < /dev/null || status=$?

if [ ! -f "$work/result.txt" ]; then
  echo "vim wrote no result (exit status $status): the test script did not run to its end" >&2
  exit 1
fi
cat "$work/result.txt"
exit "$status"
