#!/usr/bin/env bash
# The Debian package for real: made by scripts/package, checked by lintian, installed with dpkg over an older
# version, every program run from an empty folder, every man page read by man, the ladder's unit checked by systemd,
# then purged with nothing left behind. Needs root (exit 77, skipped, without it); purges in a trap whatever happens.
# Usage: deb_test.sh <build dir> <source dir> <version>
set -euo pipefail
build=$(realpath "$1") src=$(realpath "$2") version=$3
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
[ "$(id -u)" -eq 0 ] || { echo "skipped: installing a package needs root"; exit 77; }
if dpkg-query -W -f='${Status}' fusewick 2>/dev/null | grep -q installed; then
  echo "skipped: a fusewick package is installed here already, and this test would purge it"; exit 77
fi
work=$(mktemp -d)
cleanup() { dpkg --purge fusewick >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
started=$SECONDS

deb=$("$src/scripts/package" "$build" 2>"$work/package.log" | tail -n1) || { cat "$work/package.log"; fail "scripts/package"; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes, $(dpkg-deb -c "$deb" | grep -vc '^d') files"
echo "depends: $(dpkg-deb -f "$deb" Depends)"
status=0; lint=$(lintian --fail-on error,warning "$deb" 2>&1) || status=$?
grep -v '^running with root' <<<"$lint" || true
[ "$status" -eq 0 ] || fail "lintian"
echo "ok: lintian, no error or warning"

# An older package first, then the new one over it: the upgrade path of the maintainer scripts.
dpkg-deb -R "$deb" "$work/old"
sed -i 's/^Version: .*/Version: 0.9/' "$work/old/DEBIAN/control"
echo "2, 2" > "$work/old/usr/share/fusewick/maps/retired.map"  # a file the new version no longer ships
dpkg-deb --root-owner-group -b "$work/old" "$work/fusewick_0.9.deb" >/dev/null
dpkg -i "$work/fusewick_0.9.deb" >/dev/null
ladder_unit=/usr/lib/systemd/system/fusewick-ladder.service
[ -f "$ladder_unit" ] && { mkdir -p /var/lib/private/fusewick; echo kept > /var/lib/private/fusewick/database; }
dpkg -i "$deb" >/dev/null
[ "$(dpkg-query -W -f='${Version}' fusewick)" = "$version" ] || fail "the upgrade left another version"
[ ! -e /usr/share/fusewick/maps/retired.map ] || fail "the upgrade left a file of the older version"
echo "ok: upgraded from 0.9 to $version"

"$here/run_from_empty_folder.sh" /usr/bin "$build/src/app/fusewick-arena" "$src" "$version"
(cd "$work" && mkdir empty && cd empty && fusewick-arena default.fpl >/dev/null) || fail "fusewick-arena from PATH"

for page in /usr/share/man/man6/fusewick*.6.gz; do
  name=$(basename "$page" .6.gz)
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l $page: $warnings"
  MANPAGER=cat MANWIDTH=80 man 6 "$name" | grep -q "^NAME" || fail "man $name"
  bash -c "source /usr/share/bash-completion/completions/$name && complete -p $name" >/dev/null ||
    fail "no completion for $name"
done
echo "ok: man pages and completion"

printf 'P1 CAPTAIN\n' > "$work/a.fpl"
(cd "$work" && HOME=$work vim -Nes -u NONE -i NONE -c 'filetype on' -c 'syntax on' -c 'e a.fpl' \
  -c 'redir! > vim.out' -c 'echo &filetype b:current_syntax' -c 'redir END' -c 'qa!') || true
grep -q "fusewick fusewick" "$work/vim.out" || fail "Vim does not find the team file syntax: $(cat "$work/vim.out")"
unzip -p /usr/share/doc/fusewick/fusewick-team-files-*.vsix extension/package.json | grep -q '"name": "fusewick-team-files"' ||
  fail "the .vsix"
echo "ok: Vim finds the syntax; the VS Code extension is in the docs"

if [ -f "$ladder_unit" ]; then
  systemd-analyze verify "$ladder_unit" || fail "systemd-analyze verify"
  [ "$(systemctl is-enabled fusewick-ladder.service 2>/dev/null || true)" = disabled ] || fail "the unit is enabled"
  dpkg -r fusewick >/dev/null
  [ -f /var/lib/private/fusewick/database ] || fail "remove deleted the ladder's database"
  echo "ok: the ladder's unit verifies, is not enabled, and remove keeps its database"
fi

dpkg --purge fusewick >/dev/null
left=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}' | while read -r f; do
  [ -e "$f" ] || [ -L "$f" ] && echo "$f"; done; true)
for d in /usr/share/fusewick /usr/share/doc/fusewick /var/lib/fusewick /var/lib/private/fusewick; do
  [ -e "$d" ] && left+=" $d"
done
[ -z "$left" ] || fail "left after purge: $left"
echo "ok: purged, nothing left"
echo "ok: the package test took $((SECONDS - started)) s"
