#!/usr/bin/env bash
# krovane-import (its text form, which people read) as a level maker runs it: a model of ours in each format becomes a .x, textures beside it, that
# krovane-shot shows the right way round (neither mirrored nor inside out), at the size asked, double-sided faces seen
# from behind. Texture files and an OUT.x already there are never replaced. Bad files and arguments: one line.
#   bash tests/tools/krovane_import_test.sh IMPORT SHOT EXPORT_MODEL
set -uo pipefail
IMPORT=$1
SHOT=$2
EXPORT=$3
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/check.sh"

python3 "$HERE/make_import_models.py" "$WORK/src" || exit 1
for format in fbxa:fbx collada:dae; do "$EXPORT" "$WORK/src/model.obj" "$WORK/src/model.${format#*:}" "${format%:*}" || exit 1; done

# A level that shows the model from its front (the engine's -z), lit from the camera; and one from behind.
LEVEL=$WORK/level
cp -r "$HERE/../../demo" "$LEVEL"
rm -rf "$LEVEL/models" "$LEVEL/objects" && mkdir "$LEVEL/models" "$LEVEL/objects"
printf '_MODEL_FILE_ { models\\model.x }\n_FX_ { vek_Phong }\n' >"$LEVEL/objects/model.DR"
cat >"$LEVEL/POLYGON01" <<'LEVEL'
_CAMERAS_ { front { _POSITION_ { 0 0 -400 } _LOOK_ { 0 0 0 } _MOVESPEED_ { 1 } } }
_LIGHTS_ { key { _POSITION_ { 0 0 -400 } _COLOR_ { 1 1 1 } _FALLOFF_ { 3000 } _AMBIENT_ { 0.5 } _ATTENUATION_ { 0.1 } } }
_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\vek_Phong.fx } _FILE_ { none } } }
_OBJECTS_ { model { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\model.DR }
                    _POSITION_ { 0 0 0 } _ROTATION_ { 0 0 0 } } }
LEVEL
cp -r "$LEVEL" "$WORK/behind" && sed -i 's/0 0 -400/0 0 400/g' "$WORK/behind/POLYGON01"

for format in gltf glb obj fbx dae; do
    rm -f "$LEVEL"/models/*
    out=$("$IMPORT" --text "$WORK/src/model.$format" "$LEVEL/models/model.x" 2>"$WORK/err")
    status=$?
    check "$format: converts (exit 0: $(cat "$WORK/err"))" test $status -eq 0
    check "$format: says what it wrote" grep -q "wrote $LEVEL/models/model.x: 3 meshes, 6 triangles, 1 textures" <<<"$out"
    check "$format: all 12 normals face -z" test "$(grep -cE '^\s*-?0;-?0;-1;[,;]$' "$LEVEL/models/model.x")" = 12
    texture=green.png
    [[ $format == glb ]] && texture=model_0.png  # held inside the file: written out beside the model
    check "$format: names its texture $texture" grep -q "TextureFilename { \"$texture\"; }" "$LEVEL/models/model.x"
    "$SHOT" --frames 1 --size 200x150 --out "$WORK/$format.png" "$LEVEL" >/dev/null 2>&1
    # Red left, green bottom right, blue top right: not mirrored or upside down, front faces kept (culled: back); the
    # green texture found beside the model.
    seen=$(for spot in "74 73" "122 100" "138 40"; do picture "$WORK/$format.png" main $spot 5 5; done)
    check "$format: shows the right way round ($seen)" test "$(echo $seen)" = "red green blue"
done

# Z up, as COLLADA's up_axis and FBX's axis settings say: turned so that up is the engine's +y (the faces' normals,
# +z in the file, then point up); glTF and OBJ have no such setting (above).
sed 's/Y_UP/Z_UP/' "$WORK/src/model.dae" >"$WORK/zup.dae"
sed -e '/"UpAxis"/s/1$/2/' -e '/"FrontAxis"/s/2$/1/' -e '/"FrontAxisSign"/s/1$/-1/' "$WORK/src/model.fbx" >"$WORK/zup.fbx"
for format in dae fbx; do
    "$IMPORT" --text --force "$WORK/zup.$format" "$WORK/zup.x" >/dev/null 2>&1
    check "Z-up $format: all 12 normals face +y" test "$(grep -cE '^\s*-?0;1;-?0;[,;]$' "$WORK/zup.x")" = 12
done

# From behind, back faces are culled: only a double-sided material's faces show, lit (their normals turned round).
for case in model:none sided:green; do
    "$IMPORT" --text --force "$WORK/src/${case%:*}.gltf" "$WORK/behind/models/model.x" >/dev/null 2>"$WORK/err"
    "$SHOT" --frames 1 --size 200x150 --out "$WORK/behind.png" "$WORK/behind" >/dev/null 2>&1
    seen=$(picture "$WORK/behind.png" main 90 65 20 20)
    check "${case%:*}: from behind shows ${case#*:} ($seen)" test "$seen" = "${case#*:}"
done
check "sided: lit from behind, not the ambient shade alone" test "$(picture "$WORK/behind.png" near 006400 90 65 20 20)" = 0
check "sided: says both sides are written" grep -qx 'krovane-import: wrote both sides of 2 faces in 1 meshes with double-sided materials' "$WORK/err"

# measure normals|largest X: the distinct normals of every MeshNormals of a .x, sorted; or the largest side of the
# bounds of every mesh's vertices.
measure() {
    python3 -c 'import sys
lines = open(sys.argv[2]).read().split("\n"); found, points = set(), []
for i, line in enumerate(lines):
    if line.strip() == "MeshNormals {" or line.startswith("Mesh "):
        rows = lines[i + 2:i + 2 + int(lines[i + 1].strip(" ;"))]
        if line.startswith("Mesh "): points += [[float(c) for c in v.strip().split(";")[:3]] for v in rows]
        else: found |= {v.strip(" ,;") for v in rows}
print(" ".join(sorted(found)) if sys.argv[1] == "normals" else
      "%g" % max(max(p[k] for p in points) - min(p[k] for p in points) for k in range(3)))' "$@"
}
# Normals made for an OBJ without them: hard where faces meet at 90 degrees (an L, its crease's vertices shared),
# smooth where at 20. FACES | the distinct normals of the .x.
while IFS='|' read -r faces want; do
    printf 'v 0 0 0\nv 1 0 0\nv 1 0 1\nv 0 0 1\nv 0 1 0\nv 1 1 0\nv 0 0.342 1.94\nv 1 0.342 1.94\n%b' "$faces" >"$WORK/bend.obj"
    "$IMPORT" --text --force "$WORK/bend.obj" "$WORK/bend.x" >/dev/null 2>&1
    check "normals of '$faces': $want ($(measure normals "$WORK/bend.x"))" test "$(measure normals "$WORK/bend.x")" = "$want"
done <<'CASES'
f 1 4 3 2\nf 1 2 6 5|0;0;-1 0;1;0
f 1 4 3 2\nf 4 7 8 3|0;0.9397351;0.3419036 0;0.9729366;0.2310724 0;0.993302;0.1155474 0;1;0
CASES

# Sizes: the model is 200 units on its largest side. ARGS | the largest side of the .x | what the summary adds.
while IFS='|' read -r args side said; do
    # shellcheck disable=SC2086
    out=$("$IMPORT" --text --force $args "$WORK/src/model.obj" "$WORK/sized.x" 2>&1)
    check "$args: the largest side is $side ($(measure largest "$WORK/sized.x"))" \
        test "$(measure largest "$WORK/sized.x")" = "$side"
    check "$args: says '$said'" grep -q "1 textures$said\$" <<<"$out"
done <<CASES
|200|
--scale 0.5|100|, scaled by 0.5
--fit 1e4|10000|, scaled by 50
--fit 0.001|0.001|, scaled by 5e-06
CASES

# Texture names: MODEL, the folder it goes to (textures gathered in one folder) | what that folder holds after it.
mkdir -p "$WORK/one" "$WORK/mine" && cp "$WORK/src/b/wood.png" "$WORK/mine/wood.png"
while IFS='|' read -r model folder after; do
    "$IMPORT" --text --force "$WORK/src/$model.gltf" "$WORK/$folder/$model.x" >/dev/null 2>>"$WORK/$folder.err"
    held=$(cd "$WORK/$folder" && for f in *.png; do echo "$f=$(cmp -s "$f" "$WORK/src/a/wood.png" && echo a || echo b)"; done)
    check "$model into $folder: $after ($(echo $held))" test "$(echo $held)" = "$after"
done <<CASES
wood|one|wood.png=a wood_wood.png=b
oak|one|wood.png=a wood_wood.png=b
elm|one|elm_wood.png=b wood.png=a wood_wood.png=b
wood|one|elm_wood.png=b wood.png=a wood_wood.png=b
oak|mine|oak_wood.png=a wood.png=b
CASES
check "the .x names its own textures" test "$(grep -ho '"[a-z_]*.png"' "$WORK"/one/{wood,elm}.x | tr '\n' ' ')" \
    = '"wood.png" "wood_wood.png" "elm_wood.png" '
check "each renamed texture is told once per import" test "$(grep -c 'is named' "$WORK/one.err")" = 3 -a \
    "$(grep -cx "krovane-import: the texture $WORK/src/b/wood.png is named elm_wood.png: a different wood.png is already there" "$WORK/one.err")" = 1

# What the import leaves out, one line each, and the counts it drops.
"$IMPORT" --text "$WORK/src/colour.obj" "$WORK/colour.x" >"$WORK/out" 2>"$WORK/err"
check "colour.obj: says what it left out" diff - "$WORK/err" <<'LINES'
krovane-import: dropped 1 invalid faces (without area)
krovane-import: left out 2 points and lines: only faces are drawn
krovane-import: left out the vertex colours of 6 vertices in 1 meshes: the engine does not draw them
LINES
check "colour.obj: writes the one good face" grep -q 'colour.x: 1 meshes, 1 triangles, 0 textures$' "$WORK/out"

# An OUT.x already there is replaced only with --force.
echo mine >"$WORK/kept.x"
"$IMPORT" --text "$WORK/src/model.obj" "$WORK/kept.x" >/dev/null 2>"$WORK/err"
check "OUT.x there: exit 1" test $? -eq 1
check "OUT.x there: one line" test "$(cat "$WORK/err")" = "krovane-import: $WORK/kept.x: already there; --force replaces it"
check "OUT.x there: kept as it was" test "$(cat "$WORK/kept.x")" = mine
check "--force: replaced" grep -q '^xof 0303txt' <<<"$("$IMPORT" --text --force "$WORK/src/model.obj" "$WORK/kept.x" >/dev/null && cat "$WORK/kept.x")"

# Damaged models and bad arguments: one line naming the file and the reason (the library's own where it has one).
for cut in glb:40 fbx:300 dae:700; do head -c "${cut#*:}" "$WORK/src/model.${cut%:*}" >"$WORK/cut.${cut%:*}"; done
printf '{"asset": {"version": "2.0"}, "meshes": [{"primitives": [{"attributes": {"POSITION": 7}}]}]}' >"$WORK/bad.gltf"
printf 'v 1 2\nf 1 9 99\n' >"$WORK/bad.obj"
: >"$WORK/empty.gltf"
python3 -c 'import random, sys; random.seed(16); sys.stdout.buffer.write(b"Kaydara FBX Binary  \0\x1a\0" + random.randbytes(2000))' >"$WORK/noise.fbx"
# A header that promises 400 million vertices, and a real model beyond a tiny limit.
printf 'ply\nformat ascii 1.0\nelement vertex 400000000\nproperty float x\nproperty float y\nproperty float z\nend_header\n0 0 0\n' >"$WORK/huge.ply"
python3 -c 'print("".join("v %d %d 0\n" % (i, j) for i in range(200) for j in range(200)) + "f 1 2 201")' >"$WORK/grid.obj"
while IFS='|' read -r bad reason; do
    KROVANE_IMPORT_MEMORY_MB=$([[ $bad == grid.obj ]] && echo 1) "$IMPORT" --text "$WORK/$bad" "$WORK/out.x" >/dev/null 2>"$WORK/err"
    status=$?
    check "$bad: refused with exit 1 (got $status)" test $status -eq 1
    check "$bad: in one line naming the file and '$reason' ($(cat "$WORK/err"))" \
        test "$(wc -l <"$WORK/err")" -eq 1 -a "$(grep -c "^krovane-import: $WORK/$bad: .*$reason" "$WORK/err")" -eq 1
    check "$bad: no .x is left" test -z "$(find "$WORK" -maxdepth 1 -name 'out.x*')"
done <<CASES
cut.glb|.
cut.fbx|.
cut.dae|.
bad.gltf|GLTF
bad.obj|OBJ
empty.gltf|.
noise.fbx|.
missing.obj|no such file
huge.ply|the import ran out of memory (the limit is 4096 MiB)
grid.obj|the import ran out of memory (the limit is 1 MiB)
CASES
"$IMPORT" --text "$WORK/src/model.obj" "$WORK/nowhere/model.x" 2>"$WORK/err"
check "a missing folder is named" test "$(cat "$WORK/err")" = \
    "krovane-import: $WORK/nowhere/model.x: the folder $WORK/nowhere is not there"
while IFS='|' read -r args; do
    # shellcheck disable=SC2086
    "$IMPORT" --text $args >/dev/null 2>"$WORK/err"
    check "arguments '$args': usage, exit 2" test $? -eq 2 -a "$(grep -c '^usage: krovane-import' "$WORK/err")" -eq 1
done <<CASES

$WORK/src/model.obj
--bogus $WORK/src/model.obj $WORK/out.x
a b c
--scale 0 a b
--scale -2 a b
--fit nan a b
--scale 2x a b
--scale 2 --fit 3 a b
a b --fit
CASES
check "--help: usage, exit 0" grep -q '^usage: krovane-import' <<<"$("$IMPORT" --text --help)"
check "--version: the version, exit 0" grep -qE '^krovane-import [0-9]+\.[0-9]+\.[0-9]+$' <<<"$("$IMPORT" --text --version)"

finish
