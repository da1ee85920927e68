#!/usr/bin/env bash
# Ten units from the command line, as a technician sets up a rack: made with
# import --create from one text, one changed afterwards and found by the
# summary, a PDF sheet for each and one binder, their text read back with
# pdftotext, bad sources refused with nothing written; then every unit
# named, one change applied to all with a preview first, and a misspelt part
# refused with nothing written.
# Usage: ten_units.sh MXCFG. Exits 77 (skipped) without poppler-utils.
set -euo pipefail
mxcfg="$1"
if ! command -v pdftotext >/dev/null || ! command -v pdfinfo >/dev/null; then
    echo "skipped: needs pdftotext and pdfinfo (poppler-utils)"
    exit 77
fi
site="$(mktemp -d)"
trap 'rm -rf "$site"' EXIT
cd "$site"
fail() { echo "FAIL: $*" >&2; exit 1; }
count() { grep -o "$1" | wc -l; }

# The master: channel 1's PGM latching, nothing else set.
mkdir master
{ printf '\0\1'; head -c 110 /dev/zero; } >master/switches.mx
printf '\0\0' >master/settings.cmx
"$mxcfg" export master >master.txt
units=(unit01 unit02 unit03 unit04 unit05 unit06 unit07 unit08 unit09 unit10)
if "$mxcfg" import master.txt rack/unit01 2>reason || ! grep -q -- "--create makes it" reason; then
    fail "a missing folder's error does not name --create"
fi
[ "$("$mxcfg" import --create master.txt "${units[@]/#/rack/}" | count "which was created")" = 10 ] ||
    fail "not every folder was created"

# Channel 4's TB 2 latching on unit07 only.
printf '\4' | dd of=rack/unit07/switches.mx bs=1 seek=43 conv=notrunc status=none
cd rack
status=0
summary="$("$mxcfg" diff --summary "${units[@]}")" || status=$?
[ "$status" = 1 ] || fail "the summary's status is $status"
[ "$(grep -c differs <<<"$summary")" = 1 ] || fail "the summary finds not one change: $summary"
grep -qx "unit07 differs from unit01 in 1 switch on channel 4." <<<"$summary" || fail "$summary"
grep -qx "9 of 10 are the same as unit01." <<<"$summary" || fail "$summary"

# A sheet for each unit, and one binder: a list, then a page per unit. A
# page's set switches are its ● and ■, less the legend's one of each.
"$mxcfg" sheet --pdf "${units[@]}" -o ../sheets --create >/dev/null
"$mxcfg" binder "${units[@]}" -o ../binder.pdf
cd ..
[ "$(pdfinfo binder.pdf | awk '/^Pages:/ {print $2}')" = 11 ] || fail "the binder is not 11 pages"
list="$(pdftotext -f 1 -l 1 -layout binder.pdf -)"
for unit in "${units[@]}"; do
    grep -q "^ *$unit " <<<"$list" || fail "the list lacks $unit"
    [ "$unit" = unit07 ] && expected=2 || expected=1
    page=$((10#${unit#unit} + 1))
    text="$(pdftotext -f $page -l $page -layout binder.pdf -)"
    grep -q "^$unit\$" <<<"$text" || fail "page $page is not $unit's"
    grep -q "$unit .*Page $page of 11" <<<"$text" || fail "page $page's foot does not name $unit"
    [ $(($(count "[●■]" <<<"$text") - 2)) = $expected ] || fail "page $page has not $expected switches"
    sheet="$(pdftotext -layout "sheets/$unit.pdf" -)"
    [ $(($(count "[●■]" <<<"$sheet") - 2)) = $expected ] || fail "$unit.pdf has not $expected switches"
done
# The sheet's font joins "ff" into one glyph, and pdftotext keeps it so.
grep -q "unit07 .*Di\(ff\|ﬀ\)ers from unit01 in 1 switch on channel 4" <<<"$list" || fail "$list"
[ "$(count "The same as unit01" <<<"$list")" = 8 ] || fail "$list"

# A source that cannot be read: exit 2, the reason, and nothing left behind.
for command in "binder rack/unit01 rack/unit11 -o bad.pdf" \
    "sheet --pdf rack/unit01 rack/unit11 -o bad --create" \
    "binder rack/unit01 -o rack/unit01/switches.mx"; do
    status=0
    # shellcheck disable=SC2086
    "$mxcfg" $command 2>reason || status=$?
    [ "$status" = 2 ] && [ -s reason ] || fail "$command: status $status"
done
[ ! -e bad.pdf ] && [ ! -e bad ] || fail "a refused command left a file"
cmp -s master/switches.mx rack/unit01/switches.mx || fail "a unit's file was written over"
# Fleet work: each unit named, one change to all, previewed first.
for unit in "${units[@]}"; do
    "$mxcfg" name "rack/$unit" --unit "Rack A ${unit#unit}" --channel 1 Presenter >/dev/null
done
grep -qx "Unit: Rack A 07" rack/unit07/names.txt || fail "unit07 was not named"
printf 'Channels 1-8\n  Momentary: TB 3\n' >part.txt
before="$(cat rack/*/* | md5sum)"
preview="$("$mxcfg" apply --dry-run part.txt "${units[@]/#/rack/}")"
each=': 8 switches on channels 1, 2, 3, 4, 5, 6, 7 and 8 changed$'
[ "$(grep -c "$each" <<<"$preview")" = 10 ] || fail "the preview: $preview"
[ "$(cat rack/*/* | md5sum)" = "$before" ] || fail "the preview wrote"
status=0
printf 'Channels 1-8\n  Momentry: TB 3\n' | "$mxcfg" apply - "${units[@]/#/rack/}" 2>reason ||
    status=$?
[ "$status" = 2 ] && grep -q 'line 2, column 3: unknown group "Momentry"' reason ||
    fail "a misspelt part: status $status, $(cat reason)"
[ "$(cat rack/*/* | md5sum)" = "$before" ] || fail "a misspelt part wrote"
"$mxcfg" apply part.txt "${units[@]/#/rack/}" >applied
[ "$(diff applied - <<<"$preview" && echo same)" = same ] || fail "apply said other than its preview"
shown="$("$mxcfg" show rack/unit04)"
[ "$(grep '^Momentary' <<<"$shown" | grep -o -- '---3--' | wc -l)" = 8 ] || fail "$shown"
summary="$(cd rack && "$mxcfg" diff --summary "${units[@]}" || true)"
grep -qx "9 of 10 are the same as unit01." <<<"$summary" || fail "after apply: $summary"
grep -qx "Unit: Rack A 07" rack/unit07/names.txt || fail "apply changed unit07's names"
echo "ten units checked"
