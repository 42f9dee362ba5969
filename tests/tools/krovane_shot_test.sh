#!/usr/bin/env bash
# krovane-shot as a user runs it: the bundled level rendered to a PNG, LOG.dr left in the level folder, the
# frame rate, the scene without the head-up text, level checks, and refusals of bad arguments and folders.
# (What the bundled level shows is the GL reference-picture test's.)
#   bash tests/tools/krovane_shot_test.sh PATH-TO-krovane-shot
set -uo pipefail
SHOT=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/check.sh"
cp -r "$HERE/../../demo" "$WORK/level"

# Refusals: ARGS | exit status | the first line on stderr.
while IFS='|' read -r args status line; do
    # shellcheck disable=SC2086
    "$SHOT" $args >/dev/null 2>"$WORK/err"
    check "krovane-shot $args: exit $status" test $? -eq "$status"
    check "krovane-shot $args: says '$line' ($(head -1 "$WORK/err"))" test "$(head -1 "$WORK/err")" = "$line"
done <<CASES
|2|krovane-shot: no level folder given
--frames many $WORK/level|2|krovane-shot: --frames takes a number from 1 to 100000
--frames 0 $WORK/level|2|krovane-shot: --frames takes a number from 1 to 100000
--frames 100001 $WORK/level|2|krovane-shot: --frames takes a number from 1 to 100000
--size 0x5 $WORK/level|2|krovane-shot: --size takes WIDTHxHEIGHT, each from 1 to 8192
--size 5x8193 $WORK/level|2|krovane-shot: --size takes WIDTHxHEIGHT, each from 1 to 8192
--camera 0 $WORK/level|2|krovane-shot: --camera takes a camera number from 1
$WORK/level other|2|krovane-shot: cannot use other
--null --out x.png $WORK/level|2|krovane-shot: --null draws no picture: --out and --size do not go with it
--bare --console $WORK/level|2|krovane-shot: --bare draws the scene alone: --console does not go with it
--thumbnail --null $WORK/level|2|krovane-shot: --thumbnail does not go with --null or --console
--up +W $WORK/level|2|krovane-shot: --up takes +Y, -Y, +Z, -Z, +X or -X
--up -Z $WORK/level|2|krovane-shot: --up is for a model file, not a level folder
--animation 1 $WORK/level|2|krovane-shot: --animation is for a model file, not a level folder
--time -1 $WORK/level|2|krovane-shot: --time takes seconds from 0
$WORK/nowhere|1|krovane-shot: cannot work in $WORK/nowhere: No such file or directory
CASES
check "--help: usage, exit 0" grep -q '^usage: krovane-shot' <<<"$("$SHOT" --help)"
check "--version: the version, exit 0" grep -qE '^krovane-shot [0-9]+\.[0-9]+\.[0-9]+$' <<<"$("$SHOT" --version)"

out=$("$SHOT" --frames 3 --size 160x120 --out "$WORK/shot.png" "$WORK/level" 2>"$WORK/err")
check "renders the bundled level (exit 0)" test $? -eq 0 || cat "$WORK/err" >&2
check "the last line ends with the frame rate" grep -qE '^krovane-shot: 3 frames in [0-9.]+ s, [0-9]+\.[0-9] fps$' <<<"$(tail -1 <<<"$out")"
check "says where the picture is" grep -q "^krovane-shot: wrote $WORK/shot.png (160x120), start-up" <<<"$out"
check "the picture has the size asked for" test "$(picture "$WORK/shot.png" size)" = "160 120"
check "LOG.dr is left in the level folder" grep -q '\[i\] Effect Manager setup completed. ' "$WORK/level/LOG.dr"
# Without --out, started in the level folder where the user keeps a shot.png: that file stays, the picture takes the
# next free name.
printf mine >"$WORK/level/shot.png"
out=$(cd "$WORK/level" && "$SHOT" --console --camera 2 --frames 1 --size 160x120 . 2>/dev/null)
check "the console view renders too, to shot_2.png" grep -q "^krovane-shot: wrote $WORK/level/shot_2.png (160x120)" <<<"$out"
check "the user's shot.png is kept" test "$(cat "$WORK/level/shot.png")" = mine

# On the null device: the same frames drawn on nothing, the rate reported, no picture.
rm -f "$WORK/shot.png"
out=$(cd "$WORK" && "$SHOT" --null --frames 3 level 2>"$WORK/err")
check "--null: runs the level (exit 0)" test $? -eq 0 || cat "$WORK/err" >&2
check "--null: the last line ends with the frame rate" grep -qE '^krovane-shot: 3 frames in [0-9.]+ s, [0-9]+\.[0-9] fps$' <<<"$(tail -1 <<<"$out")"
check "--null: says it drew on nothing" grep -q '^krovane-shot: drew on the null device, start-up to first frame' <<<"$out"
check "--null: writes no picture" test ! -e "$WORK/shot.png"

# --bare (thumbnails): the head-up text, white in the top rows over the dark sky, is gone.
"$SHOT" --bare --frames 1 --size 320x240 --out "$WORK/bare.png" "$WORK/level" >/dev/null 2>"$WORK/err"
check "--bare: renders the level (exit $?)" test -s "$WORK/bare.png" || cat "$WORK/err" >&2
white=$(picture "$WORK/bare.png" near FFFFFF 0 0 320 60)
check "--bare: no head-up text there ($white white pixels)" test "${white:-1}" -eq 0

# --thumbnail (the desktop's thumbnailer): a square, transparent where nothing is drawn, the model framed to span at
# least 80% of its width or height; past its time limit, no picture and exit 1.
export TMPDIR=$WORK
"$SHOT" --thumbnail --size 96x96 --out "$WORK/thumb.png" "$WORK/level/models/torus.x" >/dev/null 2>"$WORK/err"
check "--thumbnail: a square picture (exit $?)" test "$(picture "$WORK/thumb.png" size)" = "96 96"
check "--thumbnail: its corners are transparent" test "$(picture "$WORK/thumb.png" clear 0 0 8 8)" = 64
read -r wide high <<<"$(picture "$WORK/thumb.png" span)"
check "--thumbnail: the model spans 80% of a side ($wide x $high)" test $((wide > high ? wide : high)) -ge 77
KROVANE_THUMBNAIL_SECONDS=1 "$SHOT" --thumbnail --frames 100000 --out "$WORK/slow.png" "$WORK/level/models/torus.x" \
    >/dev/null 2>"$WORK/err"
check "--thumbnail: stopped at its time limit (exit $?)" test $? -eq 1 -a ! -e "$WORK/slow.png" -a ! -e "$WORK/slow.png.part"
check "saying so" grep -qx 'krovane-shot: no thumbnail: the drawing took longer than 1 s (the limits are 1 s and 2048 MiB)' "$WORK/err"
check "no level folder is left behind" test -z "$(find "$WORK" -maxdepth 1 -name 'krovane-*')"
unset TMPDIR

# The level check: exit 0 on a clean level (1 when the log holds an Error line: the model test's); the log as
# "TYPE: text" lines without stamps.
"$SHOT" --check --strict "$WORK/level" >"$WORK/check" 2>"$WORK/err"
check "--check: a clean level passes, --strict too (exit 0)" test $? -eq 0
check "--check: prints the log without stamps" grep -qxF 'System: [>>>] Loading level : POLYGON01' "$WORK/check"
check "--check: no warning for the clean level" test "$(grep -c '^Warning: ' "$WORK/check")" -eq 0

# What the log does not report (an unloaded effect: the engine test's): CHANGE made in a copy of the level (a TGA
# of one clear pixel named crate.bmp: pictures are told by their bytes) | the one warning the check then prints. A warning alone passes; --strict fails on it; LOG.dr never holds it.
far='    far { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\crate.DR } _POSITION_ { 0 0 90000 } }'
huge='    huge { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\crate.DR } _SCALE_ { 1e30 } }'
while IFS='|' read -r change warning; do
    rm -rf "$WORK/warned" && cp -r "$WORK/level" "$WORK/warned" && (cd "$WORK/warned" && eval "$change")
    "$SHOT" --check "$WORK/warned" >"$WORK/check" 2>/dev/null
    check "$change: passes with a warning (exit $?)" test $? -eq 0
    check "$change: warns '$warning'" test "$(grep '^Warning: ' "$WORK/check")" = "$warning"
    "$SHOT" --check --strict "$WORK/warned" >/dev/null 2>&1
    check "$change: --strict fails (exit $?)" test $? -eq 1
    check "$change: LOG.dr holds no warning" test "$(grep -c Warning "$WORK/warned/LOG.dr")" -eq 0
done <<'CASES'
rm textures/crate.bmp|Warning: the texture crate.bmp of models\crate.x is missing or unreadable: textures\_def\def.bmp is shown instead
echo not a picture >textures/crate.bmp|Warning: the texture crate.bmp of models\crate.x is missing or unreadable: textures\_def\def.bmp is shown instead
printf '\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\40\10\0\0\0\0' >textures/crate.bmp|Warning: the texture crate.bmp of models\crate.x has transparent pixels, which the effect vek_Phong (fx\vek_Phong.fx) does not show: it draws them opaque
sed -i "s/^_OBJECTS_ {$/&\n$far/" POLYGON01|Warning: object 1 (objects\crate.DR) is farther than the far plane from every camera
sed -i "s/^_OBJECTS_ {$/&\n$huge/" POLYGON01|Warning: object 1 (objects\crate.DR) is too large to draw: its scaled bounds are not finite
sed -i '/MeshNormals/,/^ }/d' models/crate.x|Warning: models\crate.x has no normals; they are made from its faces
CASES
mkdir "$WORK/empty" && cp -r "$WORK/level/"{ini.txt,POLYGON01,objects,fx} "$WORK/empty/"
# A model that moves, drawn still at a time: its first set by default, another with --animation; a set it lacks
# draws nothing.
cat >"$WORK/arm.x" <<'X'
xof 0303txt 0032
AnimTicksPerSecond { 1; }
Frame Arm { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; } Mesh { 8; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;;
  4; 3;0,1,2;, 3;0,2,3;, 3;6,5,4;, 3;7,6,4;; } }
AnimationSet Turn { Animation { { Arm } AnimationKey { 0; 2; 0;4;1,0,0,0;;, 4;4;0,0,0,1;;; } } }
AnimationSet Stay { Animation { { Arm } AnimationKey { 2; 1; 0;3;0,0,0;;; } } }
X
for args in "--time 0" "--time 1" "--animation 2 --time 1"; do
    # shellcheck disable=SC2086
    "$SHOT" --bare --frames 1 --size 160x120 $args --out "$WORK/arm ${args//[ -]/}.png" "$WORK/arm.x" >/dev/null 2>&1
    check "a model that moves, $args: drawn (exit $?)" test -s "$WORK/arm ${args//[ -]/}.png"
done
check "its first set turns it a second in" test -n "$(cmp "$WORK/arm time0.png" "$WORK/arm time1.png")"
check "the second set keeps it still" cmp -s "$WORK/arm time0.png" "$WORK/arm animation2time1.png"
"$SHOT" --animation 3 --out "$WORK/arm3.png" "$WORK/arm.x" >/dev/null 2>"$WORK/err"
check "a set the model lacks: no picture (exit $?)" test $? -eq 1 -a ! -e "$WORK/arm3.png"
check "saying why" grep -qxF "krovane-shot: the model has 2 animation sets, not 3: no picture" "$WORK/err"

"$SHOT" --out "$WORK/empty.png" "$WORK/empty" >/dev/null 2>"$WORK/err"
check "a level none of whose objects loads draws no picture (exit $?)" test $? -eq 1 -a ! -e "$WORK/empty.png"
check "saying why" grep -qxF "krovane-shot: none of the level's 17 objects loaded: no picture" "$WORK/err"

finish
