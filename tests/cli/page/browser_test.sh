#!/usr/bin/env bash
# browser_test.sh EMULATOR SIM TOOL WORK ARTIFACTS
# The library page in a real browser. Plays a season of races into a game
# folder (season.sh), makes the page with "TOOL page", loads it in headless
# Chromium and checks the page as the browser built it (--dump-dom): the
# table, its sort and filters given in the address, the removed replay, the
# charts and their axes, and that the rival named "<script>" is shown as
# text with no element of the page made from it. Keeps a screenshot and the
# page in ARTIFACTS. Fails, never skips, without Chromium (scripts/deps.sh
# installs it). EMULATOR runs the 32-bit programs, or is empty.
set -euo pipefail
emulator=$1 sim=$2 tool=$3 work=$4 artifacts=$5
here=$(cd "$(dirname "$0")" && pwd)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

browser=$(command -v chromium || true)
if [[ -z $browser ]]; then
  echo "browser_test.sh: chromium is missing; install it with: bash scripts/deps.sh" >&2
  exit 1
fi

game=$work/game
bash "$here/season.sh" "$emulator" "$sim" "$game"

page=$(cd "$game" && ${emulator:+"$emulator"} "$tool" page --ini replay_autosave.ini) || {
  echo "browser_test.sh: $tool page failed" >&2
  exit 1
}
if [[ $page != "$game/SaveData/Saves/replays.html" ]]; then
  echo "browser_test.sh: page printed '$page', want $game/SaveData/Saves/replays.html" >&2
  exit 1
fi

# Headless Chromium as root on a closed network: no sandbox, no GPU, and
# nothing that would wait for the network; a fresh profile each time, and a
# time limit.
run_browser() {
  local profile
  profile=$(mktemp -d "$work/profile.XXXXXX")
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" "$@" 2>>"$work/browser.log"
  local status=$?
  rm -rf "$profile"
  return $status
}

# The rows of the table as the browser shows them, one per line:
# shown|hidden <tab> when <tab> type <tab> track <tab> lap hundredths
# <tab> racer <tab> file <tab> state.
rows() {
  sed 's/<tr/\n<tr/g; s/<\/tbody>/\n/g' "$1" | grep '^<tr class=' | awk -F'<td' '
    function text(cell) { sub(/^[^>]*>/, "", cell); gsub(/<[^>]*>/, "", cell); return cell }
    {
      shown = $1 ~ /hidden/ ? "hidden" : "shown"
      lap = $8; sort = ""
      if (match(lap, /data-sort="[0-9]+"/)) sort = substr(lap, RSTART + 11, RLENGTH - 12)
      racer = ""
      if (match(lap, /<span class="racer">[^<]*/)) racer = substr(lap, RSTART + 20, RLENGTH - 20)
      file = $9; state = "saved"
      if (match(file, /<span class="state">[^<]*/)) state = substr(file, RSTART + 20, RLENGTH - 20)
      if (match(file, /<span class="file">[^<]*/)) file = substr(file, RSTART + 19, RLENGTH - 19)
      printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", shown, text($2), text($3), text($4), sort, racer, file, state
    }'
}

# --out with a folder puts replays.html there; --open is refused off
# Windows with a message, the page written all the same.
mkdir -p "$work/elsewhere"
rm -f "$work/elsewhere/replays.html"
status=0
(cd "$game" && ${emulator:+"$emulator"} "$tool" page --ini replay_autosave.ini \
  --out "$work/elsewhere" --open) >"$work/open.out" 2>"$work/open.err" || status=$?
[[ $status -eq 1 ]] || fail "page --open: exit status $status, want 1"
grep -q -- "--open is available on Windows only" "$work/open.err" || fail "page --open: no message"
cmp -s <(sed '/page made/d' "$page") <(sed '/page made/d' "$work/elsewhere/replays.html") ||
  fail "page --out FOLDER did not write the same page into the folder"

url="file://$page"

# 1. As the page opens: every race, newest first.
run_browser --dump-dom "$url" >"$work/dom-default.html" || fail "chromium failed (see $work/browser.log)"
rows "$work/dom-default.html" >"$work/rows-default.tsv"
[[ $(wc -l <"$work/rows-default.tsv") -eq 12 ]] || fail "want 12 rows, got $(wc -l <"$work/rows-default.tsv")"
[[ $(grep -c '^shown' "$work/rows-default.tsv") -eq 12 ]] || fail "not every row is shown"
cut -f2 "$work/rows-default.tsv" | sort -rc || fail "rows are not newest first"
[[ $(head -1 "$work/rows-default.tsv" | cut -f2) == "2026-03-25 "* ]] || fail "the newest race is not first"
grep -q '<span id="shown">12 of 12 shown</span>' "$work/dom-default.html" || fail "no '12 of 12 shown'"

# The replay whose file is gone is shown as removed, and only that one.
removed=$(awk -F'\t' '$8 == "removed"' "$work/rows-default.tsv")
[[ $(wc -l <<<"$removed") -eq 1 && $removed == *$'\t'2026-03-10_* ]] ||
  fail "want the race of 2026-03-10 as the one removed replay, got: $removed"
[[ $(grep -o '<tr class="gone"' "$work/dom-default.html" | wc -l) -eq 1 ]] || fail "want one row of a gone file"

# The hostile name: text in the fastest-lap cells, never an element. The
# page has exactly its own one script element and no other element made
# from the name.
hostile=$(awk -F'\t' '$6 == "&lt;script&gt;"' "$work/rows-default.tsv" | wc -l)
((hostile >= 1)) || fail "the rival <script> is not shown as text in any fastest-lap cell"
[[ $(grep -o '<script' "$work/dom-default.html" | wc -l) -eq 1 ]] || fail "more than the page's own script element"
grep -q '<span class="racer"><script>' "$work/dom-default.html" && fail "the name became markup"
grep -q '<span class="racer"></span>' "$work/dom-default.html" && fail "a racer cell is empty (the name was taken as markup)"

# Charts: one per track, one point per race on it (the removed race too),
# lap axis labelled in seconds, day axis in dates.
for track in ALPINE CITY COAST; do
  chart=$(tr '\n' ' ' <"$work/dom-default.html" | sed 's/<section/\n<section/g' |
          grep "^<section class=\"chart\"><h3>$track</h3>" | sed 's/<\/section>.*//')
  if [[ -z $chart ]]; then
    fail "no chart for $track"
    continue
  fi
  [[ $(grep -o '<circle class="race"' <<<"$chart" | wc -l) -eq 4 ]] || fail "$track: want 4 points"
  grep -q '>fastest lap (s)</text>' <<<"$chart" || fail "$track: no lap axis title"
  [[ $(grep -oE '<text class="tick"[^>]*>[0-9]+(\.[0-9]+)?</text>' <<<"$chart" | wc -l) -ge 2 ]] ||
    fail "$track: no lap axis labels in seconds"
  [[ $(grep -oE '<text class="tick"[^>]*>2026-0[34]-[0-9]{2}</text>' <<<"$chart" | wc -l) -ge 2 ]] ||
    fail "$track: no day axis labels"
done
[[ $(grep -o '<svg class="lap-chart"' "$work/dom-default.html" | wc -l) -eq 3 ]] || fail "want 3 charts"

# 2. Sorted by the fastest lap and filtered by track and type, from the address.
run_browser --dump-dom "$url#sort=lap&track=City&type=SR" >"$work/dom-city.html" ||
  fail "chromium failed (see $work/browser.log)"
rows "$work/dom-city.html" >"$work/rows-city.tsv"
shown=$(grep '^shown' "$work/rows-city.tsv" || true)
[[ $(wc -l <<<"$shown") -eq 3 ]] || fail "want the 3 single races on CITY shown, got: $shown"
awk -F'\t' '$3 != "SR" || $4 != "CITY" {exit 1}' <<<"$shown" || fail "a row of another track or type is shown"
cut -f5 <<<"$shown" | sort -nc || fail "the shown rows are not by fastest lap"
[[ $(wc -l <"$work/rows-city.tsv") -eq 12 ]] || fail "rows went missing when filtering"
grep -q '<span id="shown">3 of 12 shown</span>' "$work/dom-city.html" || fail "no '3 of 12 shown'"
grep -q '<th data-key="lap" class="number" aria-sort="ascending">' "$work/dom-city.html" ||
  fail "the lap column is not marked as sorted"
[[ $(grep -o '<section class="chart" hidden="">' "$work/dom-city.html" | wc -l) -eq 2 ]] ||
  fail "the charts of the other tracks are not hidden"

# 3. The picture, kept with the page.
mkdir -p "$artifacts"
rm -f "$artifacts/replays.png"
run_browser --window-size=1200,1150 --hide-scrollbars --screenshot="$artifacts/replays.png" "$url" \
  >/dev/null || fail "chromium failed to take the screenshot"
[[ -s $artifacts/replays.png ]] || fail "no screenshot in $artifacts/replays.png"
cp "$page" "$artifacts/replays.html"
echo "screenshot: $artifacts/replays.png"

if ((failures)); then
  echo "$failures check(s) failed; the pages are in $work"
  exit 1
fi
echo "all checks passed"
