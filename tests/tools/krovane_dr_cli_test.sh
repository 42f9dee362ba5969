#!/usr/bin/env bash
# krovane-dr as a user runs it: each command line's exit status and exact output; a converted file reads
# back as its tree (every tree's trip through JSON is the unit test's); a refused conversion leaves the output alone.
#   bash tests/tools/krovane_dr_cli_test.sh PATH-TO-krovane-dr
set -uo pipefail
DR=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source "$(dirname "$0")/check.sh"
cd "$WORK" || exit 1
export LC_ALL=C

# expect STATUS STDOUT STDERR ARGS...: the texts exactly, each with a final
# line break unless empty.
expect() {
    local status=$1 out=$2 err=$3
    shift 3
    "$DR" "$@" >out 2>err
    check "krovane-dr $*: exit $? (want $status)" test $? = "$status"
    check "krovane-dr $*: stdout" diff <(printf '%s' "${out:+$out$'\n'}") out >&2
    check "krovane-dr $*: stderr" diff <(printf '%s' "${err:+$err$'\n'}") err >&2
}

cat >good.dr <<'EOF'
# a camera and a few awkward texts
_CAMERAS_ {
    main { _POSITION_ { 0 120 -300 } }
}
"with blank" "say ""hi""" "" empty {}
EOF
: >empty.dr
# "Привет" { "Слово" and the unassigned byte 0x98 } in code page 1251.
printf '\xcf\xf0\xe8\xe2\xe5\xf2 { "\xd1\xeb\xee\xe2\xee \x98" }\n' >cyrillic.dr
printf 'a {\n  b "never closed\n}\n' >quote.dr
printf 'abc\n de\0f\n' >nul.dr
printf '[ "a", {"\\u041f\\u0440": ["x y", "" ]},\n  {"k": []} ]\n' >hand.json
printf '["a", 12]' >number.json
USAGE=$(printf 'usage: krovane-dr %s\n       krovane-dr %s\n       krovane-dr %s\n       krovane-dr %s' \
    'check FILE' 'dump [--utf8] FILE' 'to-json FILE' 'from-json FILE OUT')

expect 0 'good.dr: ok, 10 nodes' '' check good.dr
expect 0 'empty.dr: ok, 0 nodes' '' check empty.dr
expect 1 '' 'krovane-dr: quote.dr:2:5: quoted text is never closed' check quote.dr
expect 1 '' 'krovane-dr: nul.dr:2:4: byte 0 is not allowed in a tree file' check nul.dr
expect 1 '' 'krovane-dr: no_such.dr: cannot open the file' dump --utf8 no_such.dr
expect 1 '' 'krovane-dr: quote.dr:2:5: quoted text is never closed' to-json quote.dr
expect 1 '' 'krovane-dr: no_such.json: cannot open the file' from-json no_such.json out.dr
expect 1 '' 'krovane-dr: no_such/out.dr: cannot write the file (does its folder exist?)' from-json hand.json no_such/out.dr
expect 0 "$(printf '%s\n' '1 knot  _CAMERAS_' '  2 knot  main' '    3 knot  _POSITION_' '      4 param 0' \
    '      5 param 120' '      6 param -300' '7 param "with blank"' '8 param "say ""hi"""' '9 param ""' '10 knot  empty')" '' dump good.dr
expect 0 "$(printf '1 knot  \xcf\xf0\xe8\xe2\xe5\xf2\n  2 param "\xd1\xeb\xee\xe2\xee \x98"')" '' dump cyrillic.dr
expect 0 "1 knot  Привет
  2 param \"Слово $(printf '\xc2\x98')\"" '' dump --utf8 cyrillic.dr
expect 0 '[]' '' to-json empty.dr
expect 0 "$(printf '[\n  {\n    "Привет": [\n      "Слово \xc2\x98"\n    ]\n  }\n]')" '' to-json cyrillic.dr
expect 0 '' '' from-json hand.json hand.dr
expect 0 "$(printf '%s\n' '1 param a' '2 knot  Пр' '  3 param "x y"' '  4 param ""' '5 knot  k')" '' dump --utf8 hand.dr
for args in "" "frobnicate good.dr" check "check good.dr extra" dump "dump --bogus good.dr" \
    "dump --utf8 good.dr extra" to-json "from-json hand.json" "from-json a b c"; do
    # shellcheck disable=SC2086
    expect 2 '' "$USAGE" $args
done
expect 0 "$USAGE" '' --help

# A refused conversion names the file and leaves the output as it was, or unmade.
printf 'kept\n' >kept.dr
expect 1 '' 'krovane-dr: number.json: line 1, column 7: only strings, objects and arrays may appear (write numbers as strings)' \
    from-json number.json kept.dr
check "the refused output is untouched" test "$(<kept.dr)" = kept
"$DR" from-json number.json number.dr 2>/dev/null
check "a refused conversion makes no output" test ! -e number.dr

finish
