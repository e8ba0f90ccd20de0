#!/usr/bin/env bash
# http_e2e.sh LADDER ARENA SOURCE_DIR sqlite|postgres: the real fusewick-ladder over HTTP on loopback: the bundled
# teams submitted, bad submissions refused with nothing changed, a team replaced and one withdrawn by token, the
# matches played to the budget, paged, their replays reproduced by fusewick-arena, the standings equal to a refit,
# the pages and forms, the submit rate, and a graceful stop.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/ladder_lib.sh"

mkdir -p "$work/site"
echo '<!DOCTYPE html><title>viewer</title>' >"$work/site/index.html"
start_server --workers 2 --budget 60 --submit-rate 40 --site "$work/site"

declare -A token id
for file in "$SOURCE"/teams/*.fpl; do
  name="$(basename "$file" .fpl)"
  expect_eq "$(status_of POST "/api/teams?name=$name" --data-binary "@$file")" 201 "submitting $name"
  token[$name]="$(jq -r .token "$work/body")"
  id[$name]="$(jq -r .id "$work/body")"
  expect_eq "$(jq -r .name "$work/body")" "$name" "the name given back"
done
expect_eq "${#token[ghosts]}" 64 "a token's length"

# Bad input: each refused with its status and a message, nothing stored.
good="$SOURCE/teams/hulks.fpl"
head -c 70000 /dev/zero | tr '\0' '#' >"$work/large.fpl"
: >"$work/empty.fpl"
printf 'P1 CAPTAIN\n\0\001\002' >"$work/binary.fpl"
printf 'P1 CAPTAIN\n\xff\xfe\xc3\n' >"$work/latin.fpl"
{ cat "$good"; echo "P9.MOVE 1"; } >"$work/refused.fpl"
while read -r name file expected; do
  got="$(status_of POST "/api/teams?name=$name" --data-binary "@$file")"
  expect_eq "$got" "$expected" "submitting '$name' with $(basename "$file")"
  jq -e '.error | length > 0' "$work/body" >/dev/null || fail "no message for '$name' ($got)"
done <<EOT
%3Cscript%3Ealert(1)%3C%2Fscript%3E $good 400
..%2Fetc $good 400
x%27%3BDROP%20TABLE%20teams%3B-- $good 400
%22quoted%22 $good 400
aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa $good 400
GHOSTS $good 409
big $work/large.fpl 413
empty $work/empty.fpl 400
binary $work/binary.fpl 400
latin $work/latin.fpl 400
refused $work/refused.fpl 422
EOT
expect_eq "$(status_of POST "/api/teams" --data-binary "@$good")" 400 "no name"
status_of POST "/api/teams?name=refused" --data-binary "@$work/refused.fpl" >/dev/null
jq -e '.diagnostics[0] | .line > 0 and .column > 0 and (.message | length > 0)' "$work/body" >/dev/null ||
  fail "422 without the checker's diagnostics: $(cat "$work/body")"
expect_eq "$(curl -s "$URL/api/standings" | jq '.teams | length')" 5 "teams after the refusals"

# Tokens: none, another team's, a team that does not exist, then the right one.
hulks="${id[hulks]}"
expect_eq "$(status_of PUT "/api/teams/$hulks" --data-binary "@$good")" 401 "replacing without a token"
expect_eq "$(status_of PUT "/api/teams/$hulks" -H "Authorization: Bearer ${token[ghosts]}" --data-binary "@$good")" \
  403 "replacing with another team's token"
expect_eq "$(status_of DELETE "/api/teams/$hulks" -H "Authorization: Bearer nonsense")" 403 "withdrawing, wrong token"
expect_eq "$(status_of DELETE "/api/teams/999" -H "Authorization: Bearer ${token[ghosts]}")" 404 "no such team"
expect_eq "$(status_of PUT "/api/teams/$hulks" -H "Authorization: Bearer ${token[hulks]}" \
  --data-binary "@$work/refused.fpl")" 422 "a refused new version"
expect_eq "$(status_of PUT "/api/teams/$hulks" -H "Authorization: Bearer ${token[hulks]}" --data-binary "@$good")" \
  200 "a new version"
expect_eq "$(jq .version "$work/body")" 2 "the new version's number"

wait_played 20
sappers="${id[sappers]}"
expect_eq "$(status_of DELETE "/api/teams/$sappers" -H "Authorization: Bearer ${token[sappers]}")" 200 "withdrawing"
expect_eq "$(curl -s "$URL/api/standings" | jq "[.teams[].id] | index($sappers)")" null "withdrawn, still standing"
wait_played 60
expect_eq "$(curl -s "$URL/api/standings" | jq '.teams | length')" 4 "teams after the withdrawal"
curl -s "$URL/api/standings" | jq -e "[.teams[] | select(.id == $hulks)][0].version == 2" >/dev/null ||
  fail "the standings do not show the new version"

# Every played match once through the pages of the API, each replay reproduced by the arena.
cursor="" seen=0
: >"$work/ids"
while :; do
  curl -sf "$URL/api/matches?limit=7${cursor:+&after=$cursor}" >"$work/page"
  jq -r '.matches[].id' "$work/page" >>"$work/ids"
  cursor="$(jq -r '.next // empty' "$work/page")"
  [ -n "$cursor" ] || break
done
played="$(curl -s "$URL/api/status" | jq .done)"
expect_eq "$(sort -u "$work/ids" | wc -l)" "$played" "matches through the pages"
expect_eq "$(wc -l <"$work/ids")" "$played" "matches repeated in the pages"
for m in $(cat "$work/ids"); do
  curl -sf "$URL/api/matches/$m/replay" >"$work/m.replay"
  "$ARENA" --replay "$work/m.replay" >/dev/null 2>"$work/arena.err" || fail "the replay of match $m: $(cat "$work/arena.err")"
done
curl -s "$URL/api/matches?team=$hulks&limit=200" |
  jq -e "[.matches[] | [.seats[].team] | index($hulks)] | all(. != null)" >/dev/null || fail "the team filter"
curl -sf "$URL/api/matches/$(head -n 1 "$work/ids")" |
  jq -e '(.seats | length) == 4 and (.scores | length) == 4 and (.winners | length) == 4 and .ticks > 0 and
         (.map | endswith(".map")) and (.seats[0].version >= 1)' >/dev/null || fail "a match's fields"
expect_eq "$(status_of GET /api/matches/999999)" 404 "no such match"
expect_eq "$(status_of GET "/api/matches?limit=0")" 400 "a bad limit"

same_as_refit

# Pages: served, escaped, under the policy; the viewer's link; the forms.
curl -s -D "$work/headers" -o "$work/page.html" "$URL/"
grep -qi "^Content-Security-Policy: default-src 'none'" "$work/headers" || fail "no Content-Security-Policy"
grep -q "/teams/$hulks\">hulks</a>" "$work/page.html" || fail "the standings page"
expect_eq "$(status_of GET "/teams/$hulks")" 200 "a team's page"
grep -q "Head to head" "$work/body" || fail "the team's page has no head-to-head"
expect_eq "$(status_of GET "/matches/$(head -n 1 "$work/ids")")" 200 "a match's page"
grep -q "/site/index.html#src=/api/matches/$(head -n 1 "$work/ids")/replay" "$work/body" || fail "no viewer link"
expect_eq "$(status_of GET /site/index.html)" 200 "the viewer's site"
expect_eq "$(status_of POST /submit --data-urlencode name=formed --data-urlencode "file@$good")" 201 "the form"
grep -q 'class="token"' "$work/body" || fail "the form shows no token"
formed_token="$(sed -n 's/.*class="token">\([0-9a-f]*\)<.*/\1/p' "$work/body")"
formed="$(curl -s "$URL/api/standings" | jq '[.teams[] | select(.name == "formed")][0].id')"
expect_eq "$(status_of POST "/teams/$formed/withdraw" --data-urlencode token=wrong)" 403 "the withdraw form, wrong"
expect_eq "$(status_of POST "/teams/$formed/withdraw" --data-urlencode "token=$formed_token")" 200 "the withdraw form"

# The submit rate: the 40th submission a minute from one address is the last.
for i in $(seq 40); do
  got="$(status_of POST "/api/teams?name=flood$i" --data-binary "@$good")"
  [ "$got" = 429 ] && break
done
expect_eq "$got" 429 "the submit rate"

if [ "$KIND" = sqlite ]; then
  # The online backup while the server runs: a database of its own, with every played match and its replay.
  "$LADDER" backup --db "$DB" "$work/copy.db" || fail "the backup"
  expect_eq "$("$LADDER" status --db "$work/copy.db" | jq .done)" "$played" "matches in the backup"
  "$LADDER" verify --db "$work/copy.db" 2>/dev/null || fail "the backup's replays"
fi
stop_server || fail "the server's exit code on SIGTERM"
"$LADDER" verify --db "$DB" 2>"$work/verify.err" || fail "verify: $(cat "$work/verify.err")"

# A worker of another engine version is refused, and plays nothing.
if [ "$KIND" = postgres ]; then
  psql -qAt "$DB" -c "UPDATE settings SET value = '999' WHERE key = 'engine'"
else
  sqlite3 "$DB" "UPDATE settings SET value = '999' WHERE key = 'engine'"
fi
code=0
"$LADDER" work --db "$DB" --once >/dev/null 2>"$work/engine.err" || code=$?
expect_eq "$code" 4 "a worker of another engine version"
grep -q "engine version 999" "$work/engine.err" || fail "the refusal does not say why: $(cat "$work/engine.err")"
expect_eq "$("$LADDER" status --db "$DB" | jq .claimed)" 0 "claims left after the stop"
echo "ladder over HTTP on $KIND: $played matches, every replay reproduced"
