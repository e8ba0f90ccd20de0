#!/usr/bin/env bash
# The VS Code grammar for team files, checked by the npm tool vscode-tmgrammar-test against the assertions in
# tests/editors/*.test.fpl, the grammar found through the extension's own package.json. The tool is installed with
# `npm ci` into <build dir>/editors-npm at the versions that tests/editors/package-lock.json pins.
# Usage: vscode_grammar_test.sh <build dir>
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${1:?usage: vscode_grammar_test.sh <build dir>}"
NPM_DIR="$BUILD/editors-npm"
TOOL="$NPM_DIR/node_modules/.bin/vscode-tmgrammar-test"

for program in node npm; do
  if ! command -v "$program" >/dev/null 2>&1; then
    echo "$program is not installed (Debian packages nodejs and npm; scripts/test installs them)" >&2
    exit 1
  fi
done

# Installed once per build folder, and again whenever the lock file changes.
if [ ! -x "$TOOL" ] || ! cmp -s "$ROOT/tests/editors/package-lock.json" "$NPM_DIR/package-lock.json"; then
  mkdir -p "$NPM_DIR"
  cp "$ROOT/tests/editors/package.json" "$ROOT/tests/editors/package-lock.json" "$NPM_DIR/"
  if ! (cd "$NPM_DIR" && npm ci --no-audit --no-fund --fetch-retries=1 --fetch-timeout=60000); then
    rm -f "$NPM_DIR/package-lock.json"  # try again next time
    echo "npm could not install vscode-tmgrammar-test from the registry: the VS Code grammar was NOT tested" >&2
    exit 1
  fi
fi

cd "$ROOT"
"$TOOL" --config editors/vscode/package.json 'tests/editors/*.test.fpl'
