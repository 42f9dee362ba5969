#!/usr/bin/env bash
# krovane-shot as a user runs it: it renders the bundled level to a PNG whose
# pixels show the scene, leaves LOG.dr in the level folder, ends with the
# frame rate, and refuses bad arguments and missing folders clearly.
#
#   bash tests/tools/krovane_shot_test.sh PATH-TO-krovane-shot
set -uo pipefail
SHOT=$1
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r "$HERE/../../demo" "$WORK/level"

passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what" >&2; fi
}

# Reading a PNG (8-bit RGB, as the tool writes): read(path) gives width,
# height and the rows of bytes.
PNG_READ='
import struct, sys, zlib
def read(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = prev[i], prev[i - 3] if i >= 3 else 0
            p = a + b - c
            pred = [0, a, b, (a + b) // 2, a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else (b if abs(p - b) <= abs(p - c) else c)][f]
            line[i] = (line[i] + pred) & 255
        rows.append(line)
        prev = line
    return width, height, rows
'

# Distinct colours in the middle of a PNG.
png_colours() {
    python3 -c "$PNG_READ
width, height, rows = read(sys.argv[1])
colours = {bytes(rows[y][x * 3:x * 3 + 3]) for y in range(height // 4, 3 * height // 4) for x in range(width // 4, 3 * width // 4)}
print(width, height, len(colours))" "$1"
}

# The pixels of two PNGs of one size that differ by more than rounding (2 in
# any channel).
# Pixels that differ by more than rounding, below row $3 (0 by default).
png_differing() {
    python3 -c "$PNG_READ
a, b = read(sys.argv[1]), read(sys.argv[2])
assert a[:2] == b[:2]
top = int(sys.argv[3])
print(sum(1 for ra, rb in zip(a[2][top:], b[2][top:]) for x in range(a[0]) if max(abs(ra[x * 3 + i] - rb[x * 3 + i]) for i in range(3)) > 2))" "$1" "$2" "${3:-0}"
}

out=$("$SHOT" --frames 3 --size 160x120 --out "$WORK/shot.png" "$WORK/level" 2>"$WORK/err")
check "renders the bundled level (exit 0)" test $? -eq 0
check "the last line ends with the frame rate" grep -qE ' [0-9]+(\.[0-9]+)? fps$' <<<"$(tail -1 <<<"$out")"
check "says where the picture is" grep -q "wrote $WORK/shot.png" <<<"$out"
read -r w h colours <<<"$(png_colours "$WORK/shot.png")"
check "the picture has the size asked for" test "$w x $h" = "160 x 120"
check "its pixels show the scene, not a flat colour ($colours colours)" test "${colours:-0}" -gt 100
check "LOG.dr is left in the level folder" grep -q '\[i\] Effect Manager setup completed. ' "$WORK/level/LOG.dr"

"$SHOT" --console --camera 2 --frames 1 --size 160x120 --out "$WORK/console.png" "$WORK/level" >/dev/null 2>&1
check "the console view renders too" test -s "$WORK/console.png"

"$SHOT" --frames many "$WORK/level" >/dev/null 2>"$WORK/err"
check "a bad number is refused with status 2" test $? -eq 2
check "and said" grep -q 'frames takes a number' "$WORK/err"
"$SHOT" "$WORK/nowhere" >/dev/null 2>"$WORK/err"
check "a missing folder fails with status 1" test $? -eq 1
check "and is named" grep -q "cannot work in $WORK/nowhere" "$WORK/err"
"$SHOT" >/dev/null 2>"$WORK/err"
check "no folder: usage" test $? -eq 2

# Back-face culling hides nothing that can be seen: the bundled level looks
# the same through the shipped effect, which culls, and with its culling taken
# out, within rounding. A pixel on a silhouette may differ, where a back face
# drawn later ties with the front face's depth: at most one in 10,000.
for copy in culled unculled; do
    cp -r "$HERE/../../demo" "$WORK/$copy"
    sed -i 's/^MULTISAMPLE_TYPE.*/MULTISAMPLE_TYPE = 0/' "$WORK/$copy/ini.txt"
done
sed -i '/CullMode/d' "$WORK/unculled/fx/vek_Phong.fx"
check "the shipped effect culls" grep -q 'CullMode = CCW' "$WORK/culled/fx/vek_Phong.fx"
for copy in culled unculled; do
    "$SHOT" --frames 1 --size 320x240 --out "$WORK/$copy.png" "$WORK/$copy" >/dev/null 2>&1
done
# Below the head-up text, whose frame rate differs from run to run.
differing=$(png_differing "$WORK/culled.png" "$WORK/unculled.png" 80)
check "culling leaves the picture as it was ($differing pixels differ)" test "${differing:-76800}" -le 7

# The level check: exit 0 on a clean level, 1 when the log holds an Error
# line; the log as "TYPE: text" lines without stamps.
"$SHOT" --check "$WORK/level" >"$WORK/check" 2>"$WORK/err"
check "--check: a clean level passes (exit 0)" test $? -eq 0
check "--check: prints the log without stamps" grep -qxF 'System: [>>>] Loading level : POLYGON01' "$WORK/check"
check "--check: no Error line" test "$(grep -c '^Error: ' "$WORK/check")" -eq 0
rm "$WORK/level/models/torus.x"
"$SHOT" --check "$WORK/level" >"$WORK/check" 2>"$WORK/err"
check "--check: a missing model fails (exit 1)" test $? -eq 1
check "--check: and is named" grep -qxF 'Error: [M.F] cannot find: models\torus.x' "$WORK/check"
check "--help: usage, exit 0" grep -q '^usage: krovane-shot' <<<"$("$SHOT" --help)"
check "--version: the version, exit 0" grep -qE '^krovane-shot [0-9]+\.[0-9]+\.[0-9]+$' <<<"$("$SHOT" --version)"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
