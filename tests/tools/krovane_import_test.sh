#!/usr/bin/env bash
# krovane-import as a level maker runs it: a model of ours in each format becomes a .x, textures beside it, that
# krovane-shot shows the right way round (neither mirrored nor inside out). Bad files and arguments: one line.
#   bash tests/tools/krovane_import_test.sh IMPORT SHOT EXPORT_MODEL
set -uo pipefail
IMPORT=$1
SHOT=$2
EXPORT=$3
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/check.sh"

python3 "$HERE/make_import_models.py" "$WORK/src" || exit 1
for format in fbxa:fbx collada:dae; do "$EXPORT" "$WORK/src/model.obj" "$WORK/src/model.${format#*:}" "${format%:*}" || exit 1; done

# A level that shows the model from its front (the engine's -z), lit from the camera.
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

for format in gltf glb obj fbx dae; do
    rm -f "$LEVEL"/models/*
    out=$("$IMPORT" "$WORK/src/model.$format" "$LEVEL/models/model.x" 2>"$WORK/err")
    status=$?
    check "$format: converts (exit 0: $(cat "$WORK/err"))" test $status -eq 0
    check "$format: says what it wrote" grep -q "wrote $LEVEL/models/model.x: 3 meshes, 6 triangles, 1 textures" <<<"$out"
    check "$format: all 12 normals face -z" test "$(grep -cE '^\s*-?0;-?0;-1;[,;]$' "$LEVEL/models/model.x")" = 12
    texture=green.png
    [[ $format == glb ]] && texture=model_0.png  # held inside the file: written out beside the model
    check "$format: names its texture $texture" grep -q "TextureFilename { \"$texture\"; }" "$LEVEL/models/model.x"
    check "$format: the texture is beside the model" test -s "$LEVEL/models/$texture"
    "$SHOT" --frames 1 --size 200x150 --out "$WORK/$format.png" "$LEVEL" >/dev/null 2>&1
    # Red left, green bottom right, blue top right: not mirrored or upside down, front faces kept (culled: back).
    seen=$(for spot in "74 73" "122 100" "138 40"; do picture "$WORK/$format.png" main $spot 5 5; done)
    check "$format: shows the right way round ($seen)" test "$(echo $seen)" = "red green blue"
done

# Damaged models and bad arguments: one line naming the file and the reason.
for cut in glb:40 fbx:300 dae:700; do head -c "${cut#*:}" "$WORK/src/model.${cut%:*}" >"$WORK/cut.${cut%:*}"; done
printf '{"asset": {"version": "2.0"}, "meshes": [{"primitives": [{"attributes": {"POSITION": 7}}]}]}' >"$WORK/bad.gltf"
printf 'v 1 2\nf 1 9 99\n' >"$WORK/bad.obj"
: >"$WORK/empty.gltf"
python3 -c 'import random, sys; random.seed(16); sys.stdout.buffer.write(b"Kaydara FBX Binary  \0\x1a\0" + random.randbytes(2000))' >"$WORK/noise.fbx"
for bad in cut.glb cut.fbx cut.dae bad.gltf bad.obj empty.gltf noise.fbx missing.obj; do
    "$IMPORT" "$WORK/$bad" "$WORK/out.x" >/dev/null 2>"$WORK/err"
    status=$?
    check "$bad: refused with exit 1 (got $status)" test $status -eq 1
    check "$bad: in one line naming the file ($(cat "$WORK/err"))" \
        test "$(wc -l <"$WORK/err")" -eq 1 -a "$(grep -c "^krovane-import: $WORK/$bad: ." "$WORK/err")" -eq 1
    check "$bad: no .x is left" test ! -e "$WORK/out.x" -a ! -e "$WORK/out.x.part"
done
for args in "" "$WORK/src/model.obj" "--bogus $WORK/src/model.obj $WORK/out.x" "a b c"; do
    # shellcheck disable=SC2086
    "$IMPORT" $args >/dev/null 2>"$WORK/err"
    check "arguments '$args': usage, exit 2" test $? -eq 2 -a "$(grep -c '^usage: krovane-import' "$WORK/err")" -eq 1
done
check "--help: usage, exit 0" grep -q '^usage: krovane-import' <<<"$("$IMPORT" --help)"
check "--version: the version, exit 0" grep -qE '^krovane-import [0-9]+\.[0-9]+\.[0-9]+$' <<<"$("$IMPORT" --version)"

finish
