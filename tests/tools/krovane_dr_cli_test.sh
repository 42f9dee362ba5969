#!/usr/bin/env bash
# End-to-end checks of krovane-dr as a user runs it: exit statuses, the exact
# outputs of check, dump and to-json, the place named in error messages, and
# that to-json followed by from-json gives back the same tree.
#
#   bash tests/tools/krovane_dr_cli_test.sh PATH-TO-krovane-dr
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 PATH-TO-krovane-dr" >&2
    exit 2
fi
DR=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
if [[ ! -x $DR ]]; then
    echo "krovane-dr not found or not executable: $1" >&2
    exit 2
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
export LC_ALL=C

passed=0
failed=0
case_name=""
case_ok=1

# A case groups the checks on one behaviour; it passes when all of them hold.
begin() {
    case_name=$1
    case_ok=1
}
end() {
    if ((case_ok)); then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
}
problem() {
    echo "FAIL [$case_name]: $*" >&2
    case_ok=0
}

# Runs krovane-dr; its stdout, stderr and exit status land in out, err and $rc.
rc=0
run() {
    set +e
    "$DR" "$@" >out 2>err
    rc=$?
    set -e
}

expect_rc() {
    if [[ $rc -ne $1 ]]; then
        problem "exit status $rc, expected $1 (command: krovane-dr ${*:2}); stderr: $(head -c 300 err)"
    fi
}
# Compares a file with the expected text, byte for byte.
expect_file() {
    local file=$1 expected=$2
    if ! printf '%s' "$expected" | cmp -s - "$file"; then
        problem "$file differs from what was expected:"
        diff <(printf '%s' "$expected") "$file" | head -20 >&2 || true
    fi
}
expect_empty() {
    if [[ -s $1 ]]; then
        problem "$1 should be empty but holds: $(head -c 300 "$1")"
    fi
}
# The file's first line starts with the prefix and contains every further fragment.
expect_line() {
    local file=$1 prefix=$2
    shift 2
    local line
    line=$(head -n 1 "$file")
    if [[ $line != "$prefix"* ]]; then
        problem "$file should start with '$prefix' but is: $line"
    fi
    local fragment
    for fragment in "$@"; do
        if [[ $line != *"$fragment"* ]]; then
            problem "$file should mention '$fragment' but is: $line"
        fi
    done
}

# ---------------------------------------------------------------------------
# Fixtures

cat >good.dr <<'EOF'
# a camera and a few awkward texts
_CAMERAS_ {
    main { _POSITION_ { 0 120 -300 } }
}
"with blank" "say ""hi""" "" empty {}
EOF

expected_dump='1 knot  _CAMERAS_
  2 knot  main
    3 knot  _POSITION_
      4 param 0
      5 param 120
      6 param -300
7 param "with blank"
8 param "say ""hi"""
9 param ""
10 knot  empty
'

expected_json='[
  {
    "_CAMERAS_": [
      {
        "main": [
          {
            "_POSITION_": [
              "0",
              "120",
              "-300"
            ]
          }
        ]
      }
    ]
  },
  "with blank",
  "say \"hi\"",
  "",
  {
    "empty": []
  }
]
'

# "Привет" { "Слово" and the unassigned byte 0x98 } in code page 1251.
printf '\xcf\xf0\xe8\xe2\xe5\xf2 { "\xd1\xeb\xee\xe2\xee \x98" }\n' >cyrillic.dr

# Every kind of text the format has to quote or keep as is, code page 1251
# letters (with Ё, ё and №) and the unassigned byte 0x98 among them.
printf '%b' \
    '"{" "}" "{ }" "a#b" "#" """" "tab\tin" "" { "" }\n' \
    'outer { inner { deepest {} } x } C:\\path\\file.DR\n' \
    '"line\nbreak" last\n' \
    '\xcf\xf0\xe8\xe2\xe5\xf2 { \x98 \xc0\xe1\xe2 "\xa8\xb8 \xb9" }\n' >awkward.dr

# ---------------------------------------------------------------------------
# check

begin "check accepts a good file"
run check good.dr
expect_rc 0 check good.dr
expect_file out 'good.dr: ok, 10 nodes
'
expect_empty err
end

begin "check accepts an empty file"
: >empty.dr
run check empty.dr
expect_rc 0 check empty.dr
expect_file out 'empty.dr: ok, 0 nodes
'
end

# Malformed files: name, content, then the start of the message and a word of it.
check_malformed() {
    local file=$1 content=$2 place=$3 word=$4
    begin "check refuses $file"
    printf '%b' "$content" >"$file"
    run check "$file"
    expect_rc 1 check "$file"
    expect_empty out
    expect_line err "krovane-dr: $file:$place: " "$word"
    end
}
check_malformed unclosed_quote.dr 'a {\n  b "never closed\n}\n' 2:5 "never closed"
check_malformed unclosed_knot.dr 'outer {\n  inner { x }\n' 1:7 "never closed"
check_malformed stray_brace.dr 'a { b }\n  c }\n' 2:5 "without a matching"
check_malformed nameless_knot.dr '# comment\n  { b }\n' 2:3 "needs a name"
check_malformed nul_byte.dr 'abc\n de\0f\n' 2:4 "byte 0"
check_malformed long_text.dr "x $(printf 'y%.0s' {1..1024})\n" 1:3 "1023"

begin "check on a missing file"
run check no_such.dr
expect_rc 1 check no_such.dr
expect_empty out
expect_file err 'krovane-dr: no_such.dr: cannot open the file
'
end

# ---------------------------------------------------------------------------
# dump

begin "dump writes the outline"
run dump good.dr
expect_rc 0 dump good.dr
expect_file out "$expected_dump"
expect_empty err
end

begin "dump keeps code page 1251 bytes, dump --utf8 converts them"
run dump cyrillic.dr
expect_rc 0 dump cyrillic.dr
expect_file out "$(printf '1 knot  \xcf\xf0\xe8\xe2\xe5\xf2\n  2 param "\xd1\xeb\xee\xe2\xee \x98"')
"
run dump --utf8 cyrillic.dr
expect_rc 0 dump --utf8 cyrillic.dr
expect_file out "1 knot  Привет
  2 param \"Слово $(printf '\xc2\x98')\"
"
end

begin "dump on a malformed and a missing file"
run dump unclosed_quote.dr
expect_rc 1 dump unclosed_quote.dr
expect_empty out
expect_line err "krovane-dr: unclosed_quote.dr:2:5: "
run dump --utf8 no_such.dr
expect_rc 1 dump --utf8 no_such.dr
expect_file err 'krovane-dr: no_such.dr: cannot open the file
'
end

# ---------------------------------------------------------------------------
# to-json and from-json

begin "to-json writes the documented shape"
run to-json good.dr
expect_rc 0 to-json good.dr
expect_file out "$expected_json"
expect_empty err
end

begin "to-json of an empty file"
run to-json empty.dr
expect_rc 0 to-json empty.dr
expect_file out '[]
'
end

begin "to-json writes UTF-8"
run to-json cyrillic.dr
expect_rc 0 to-json cyrillic.dr
if ! grep -q "\"Привет\": \[" out || ! grep -q "\"Слово $(printf '\xc2\x98')\"" out; then
    problem "the JSON does not hold the UTF-8 texts: $(cat out)"
fi
end

# to-json, then from-json: the result checks, dumps the same, and a second
# trip writes the very same file.
round_trip() {
    local file=$1 nodes=$2
    begin "to-json then from-json gives back $file"
    run to-json "$file"
    expect_rc 0 to-json "$file"
    cp out "$file.json"
    run from-json "$file.json" "$file.back"
    expect_rc 0 from-json "$file.json" "$file.back"
    expect_empty out
    expect_empty err
    run check "$file.back"
    expect_rc 0 check "$file.back"
    expect_file out "$file.back: ok, $nodes nodes
"
    local mode
    for mode in "" --utf8; do
        run dump $mode "$file"
        cp out "$file.dump"
        run dump $mode "$file.back"
        expect_rc 0 dump $mode "$file.back"
        if ! cmp -s out "$file.dump"; then
            problem "dump $mode differs after the trip:"
            diff "$file.dump" out | head -20 >&2 || true
        fi
    done
    run to-json "$file.back"
    cp out "$file.back.json"
    run from-json "$file.back.json" "$file.again"
    expect_rc 0 from-json "$file.back.json" "$file.again"
    if ! cmp -s "$file.back" "$file.again"; then
        problem "a second trip wrote a different file"
    fi
    end
}
round_trip good.dr 10
round_trip cyrillic.dr 2
round_trip awkward.dr 20
round_trip empty.dr 0

begin "a deep tree goes through JSON quickly and in linear size"
{
    printf 'k {%.0s' {1..5000}
    printf '}%.0s' {1..5000}
    echo
} >deep.dr
run to-json deep.dr
expect_rc 0 to-json deep.dr
size=$(wc -c <out)
if ((size > 5000000)); then
    problem "the JSON of 5000 nested knots is $size bytes"
fi
cp out deep.json
run from-json deep.json deep.back
expect_rc 0 from-json deep.json deep.back
run check deep.back
expect_file out 'deep.back: ok, 5000 nodes
'
end

begin "from-json reads hand-written JSON"
printf '[ "a", {"\\u041f\\u0440": ["x y", "" ]},\n  {"k": []} ]\n' >hand.json
run from-json hand.json hand.dr
expect_rc 0 from-json hand.json hand.dr
run dump --utf8 hand.dr
expect_file out '1 param a
2 knot  Пр
  3 param "x y"
  4 param ""
5 knot  k
'
end

# Refused JSON: name, content, then the start of the message and words of it.
# The output file must stay as it was.
refuse_json() {
    local name=$1 content=$2 place=$3
    shift 3
    begin "from-json refuses $name"
    printf '%b' "$content" >refused.json
    printf 'kept\n' >kept.dr
    run from-json refused.json kept.dr
    expect_rc 1 from-json refused.json kept.dr
    expect_empty out
    expect_line err "krovane-dr: refused.json: line $place: " "$@"
    expect_file kept.dr 'kept
'
    rm -f refused.dr
    run from-json refused.json refused.dr
    if [[ -e refused.dr ]]; then
        problem "a refused conversion created its output file"
    fi
    end
}
refuse_json "a Chinese character" '["ok",\n  {"\xe4\xb8\xad": []}]' "2, column 4" "U+4E2D" "code page 1251"
refuse_json "an emoji" '["\xf0\x9f\x98\x80"]' "1, column 2" "U+1F600" "code page 1251"
refuse_json "an escaped Chinese character" '["ok", "a\\u4e2d"]' "1, column 8" "U+4E2D"
refuse_json "NUL" '["a\\u0000"]' "1, column 2" "NUL"
refuse_json "a text over 1023 bytes" "[\"$(printf 'x%.0s' {1..1024})\"]" "1, column 2" "1023"
refuse_json "invalid JSON" '["a",\n  "b"\n' "3, column 1" "]"
refuse_json "a number" '["a", 12]' "1, column 7" "numbers as strings"
refuse_json "a top-level object" '{"a": []}' "1, column 1" "top level must be an array"
refuse_json "an object with two members" '[{"a": [], "b": []}]' "1, column 12" "exactly one member"
refuse_json "an object without members" '[ {} ]' "1, column 3" "one member"
refuse_json "a member that is not an array" '[{"a": "b"}]' "1, column 8" "must be an array"

begin "from-json on a missing file and into a missing folder"
run from-json no_such.json out.dr
expect_rc 1 from-json no_such.json out.dr
expect_file err 'krovane-dr: no_such.json: cannot open the file
'
run from-json good.dr.json no_such_folder/out.dr
expect_rc 1 from-json good.dr.json no_such_folder/out.dr
expect_line err "krovane-dr: no_such_folder/out.dr: " "cannot write"
end

# ---------------------------------------------------------------------------
# Usage

bad_usage() {
    begin "bad usage: krovane-dr $*"
    run "$@"
    expect_rc 2 "$@"
    expect_empty out
    expect_line err "usage: krovane-dr check FILE"
    end
}
bad_usage
bad_usage frobnicate good.dr
bad_usage check
bad_usage check good.dr extra
bad_usage dump
bad_usage dump --bogus good.dr
bad_usage dump --utf8 good.dr extra
bad_usage to-json
bad_usage from-json good.dr.json
bad_usage from-json a b c

begin "--help prints the usage on stdout"
run --help
expect_rc 0 --help
expect_line out "usage: krovane-dr check FILE"
expect_empty err
end

echo "$passed passed, $failed failed"
((failed == 0))
