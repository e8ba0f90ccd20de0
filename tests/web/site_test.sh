#!/usr/bin/env bash
# The browser site in real headless Chromium (Debian's chromium driven by puppeteer-core): builds the site with
# scripts/web --build-only, installs puppeteer-core with `npm ci` into <build dir>/web-npm at the versions that
# tests/web/package-lock.json pins, and runs site_test.js. Usage: site_test.sh <build dir> <fusewick-arena>
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${1:?usage: site_test.sh <build dir> <fusewick-arena>}"
ARENA="${2:?usage: site_test.sh <build dir> <fusewick-arena>}"
NPM_DIR="$BUILD/web-npm"

for program in node npm chromium emcc; do
  if ! command -v "$program" >/dev/null 2>&1; then
    echo "$program is not installed (scripts/test installs the packages in scripts/common.sh)" >&2
    exit 1
  fi
done

if [ ! -d "$NPM_DIR/node_modules/puppeteer-core" ] || ! cmp -s "$ROOT/tests/web/package-lock.json" "$NPM_DIR/package-lock.json"; then
  mkdir -p "$NPM_DIR"
  cp "$ROOT/tests/web/package.json" "$ROOT/tests/web/package-lock.json" "$NPM_DIR/"
  if ! (cd "$NPM_DIR" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --fetch-retries=1 --fetch-timeout=60000); then
    rm -f "$NPM_DIR/package-lock.json"
    echo "npm could not install puppeteer-core from the registry: the site was NOT tested" >&2
    exit 1
  fi
fi

"$ROOT/scripts/web" --build-only >/dev/null
NODE_PATH="$NPM_DIR/node_modules" exec node "$ROOT/tests/web/site_test.js" "$ROOT" "$ARENA"
