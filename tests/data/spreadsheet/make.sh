#!/usr/bin/env bash
# Makes the spreadsheet versions of season.csv (the record of six races as
# the plug-in writes it) with LibreOffice Calc, once; the files are kept in
# the repository, so the tests need no spreadsheet. Each version is what a
# player gets who opens replays.csv, lets the dates be shown in the form of
# their country, and saves it again as CSV:
#   1. Calc reads season.csv (comma, dates recognised) and saves it as a
#      flat OpenDocument file;
#   2. the date and time cells get the number format of the form (the
#      format a player picks under Format > Cells);
#   3. Calc saves that as CSV with the separator of the form, cells as shown.
# Needs soffice (Debian: libreoffice-calc-nogui); not part of scripts/deps.sh.
set -euo pipefail
cd "$(dirname "$0")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"

calc() { timeout 300 soffice --headless "$@" >/dev/null 2>&1; }

long() { printf '<number:%s number:style="long"/>' "$1"; }
text() { printf '<number:text>%s</number:text>' "$1"; }
us="<number:month/>$(text /)<number:day/>$(text /)$(long year)$(text ' ')<number:hours/>$(text :)$(long minutes)$(text ' ')<number:am-pm/>"
de="$(long day)$(text .)$(long month)$(text .)$(long year)$(text ' ')$(long hours)$(text :)$(long minutes)"
uk="$(long day)$(text /)$(long month)$(text /)$(long year)$(text ' ')$(long hours)$(text :)$(long minutes)"
iso="$(long year)$(text -)$(long month)$(text -)$(long day)$(text ' ')$(long hours)$(text :)$(long minutes)"

# version SOURCE OUT SEPARATOR DATE_FORMAT: SEPARATOR as a character code
# (44 comma, 59 semicolon, 9 tab); DATE_FORMAT empty keeps Calc's own.
version() {
  local source="$1" out="$2" separator="$3" format="$4" stem
  stem="$(basename "$source" .csv)"
  rm -rf "$work/ods" "$work/csv"
  calc --infilter='CSV:44,34,76,1,,1033' --convert-to fods --outdir "$work/ods" "$source"
  if [ -n "$format" ]; then
    FORMAT="$format" perl -0pi -e \
      's{(<number:date-style [^>]*>).*?(</number:date-style>)}{$1$ENV{FORMAT}$2}gs' \
      "$work/ods/$stem.fods"
  fi
  calc --convert-to "csv:Text - txt - csv (StarCalc):$separator,34,76,1" --outdir "$work/csv" \
    "$work/ods/$stem.fods"
  cp "$work/csv/$stem.csv" "$out"
}

head -n 6 season.csv >"$work/season5.csv"
version season.csv semicolon.csv 59 ""
version season.csv tab.csv 9 ""
version season.csv us_dates.csv 44 "$us"
version "$work/season5.csv" us_dates_undecided.csv 44 "$us"
version season.csv german_dates.csv 59 "$de"
version season.csv uk_dates.csv 44 "$uk"
version season.csv iso_minutes.csv 44 "$iso"
