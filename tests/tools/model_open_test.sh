#!/usr/bin/env bash
# krovane-shot on a model file, as a user runs it: a .x shown whole (the picture's border untouched), a glTF from its
# front, nothing written beside the model, an import kept until the model changes, models that fail with the reason.
# Where the level is made, and how it frames any model, is the model level unit test's.
#   bash tests/tools/model_open_test.sh SHOT [MAKE_IMPORT_MODELS]    (the glTF part only with krovane-import built)
set -uo pipefail
SHOT=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/check.sh"
export XDG_CACHE_HOME=$WORK/cache TMPDIR=$WORK/tmp
unset KROVANE_NO_CACHE
mkdir -p "$WORK/user" "$WORK/tmp"
cp "$HERE/../../demo/models/crate.x" "$HERE/../../demo/textures/crate.bmp" "$WORK/user/"
BACK=282c34  # the background of the level made for a model
listing() { (cd "$WORK/user" && find . | sort); }
before=$(listing)

# shot NAME MODEL [ARG...]: a 400 x 300 picture NAME.png of MODEL (wide enough that the head-up text stays off its
# right border); its stderr in NAME.err.
shot() { "$SHOT" --frames 1 --size 400x300 "${@:3}" --out "$WORK/$1.png" "$2" >/dev/null 2>"$WORK/$1.err"; }
# whole NAME: the model is drawn, and all of it: the picture's border is background, its middle is not.
whole() {
    local border=0 side
    for side in "0 0 400 1" "0 299 400 1" "0 0 1 300" "399 0 1 300"; do
        border=$((border + $(picture "$WORK/$1.png" near $BACK $side)))
    done
    ((border == 2 * 400 + 2 * 300)) && (($(picture "$WORK/$1.png" near $BACK 150 100 100 100) < 5000))
}

check "a .x model is shown (exit 0)" shot crate "$WORK/user/crate.x"
check "all of it, within the picture" whole crate
"$SHOT" --check --strict "$WORK/user/crate.x" >/dev/null 2>&1
check "it checks clean, warnings included" test $? -eq 0
echo broken >"$WORK/user/broken.x"
"$SHOT" --check "$WORK/user/broken.x" >"$WORK/check" 2>/dev/null
check "a model that does not load fails the check" test $? -eq 1
check "and the log says so" grep -qxF 'Error: [M.F] cannot find: source\broken.x' "$WORK/check"
# Drawn without a cache: no picture, the log's errors on stderr, exit 1; the private folder made is gone.
KROVANE_NO_CACHE=1 "$SHOT" --out "$WORK/broken.png" "$WORK/user/broken.x" >/dev/null 2>"$WORK/err"
check "a model that does not load draws no picture (exit $?)" test $? -eq 1 -a ! -e "$WORK/broken.png"
check "saying what" grep -qxF 'krovane-shot: the model did not load: no picture' "$WORK/err"
check "and why, from the log" grep -qxF '[M.F] cannot find: source\broken.x' "$WORK/err"
check "leaving no folder behind" test -z "$(ls "$WORK/tmp")"
rm "$WORK/user/broken.x"
echo text >"$WORK/user/notes.txt"
"$SHOT" "$WORK/user/notes.txt" >/dev/null 2>"$WORK/err"
check "a file that is no model is refused (exit 2)" test $? -eq 2
check "saying why" grep -q '^krovane-shot: not a level folder or a model (.x, .gltf, .glb, .obj, .fbx, .dae): ' "$WORK/err"
rm "$WORK/user/notes.txt"
check "nothing is written beside the model" test "$(listing)" = "$before"

if [[ -n ${2:-} ]]; then
    python3 "$2" "$WORK/src" || exit 1
    head -c 40 "$WORK/src/model.glb" >"$WORK/src/cut.glb"
    sources=$(cd "$WORK/src" && find . | sort)
    # imports N NAME: the picture NAME of the glTF model through the level's front camera (1), and whether it was
    # imported N times.
    imports() {
        shot "$2" "$WORK/src/model.gltf" --camera 1 &&
            test "$(grep -c '^krovane-shot: importing ' "$WORK/$2.err")" -eq "$1"
    }
    check "a glTF model is imported and shown" imports 1 gltf
    # Red left, green bottom right, blue top right, as the model is made: seen from its front.
    seen=$(for spot in "150 150" "240 170" "240 80"; do picture "$WORK/gltf.png" main $spot 8 8; done)
    check "from its front ($seen)" test "$(echo $seen)" = "red green blue"
    check "the second time it is not imported again" imports 0 again
    echo " " >>"$WORK/src/model.gltf"
    check "a changed model is imported again" imports 1 changed
    # Alpha, seen from the front: the mask's transparent top half shows the background, its bottom half is green;
    # the blended red half mixes with the blue behind its top (drawn after it in the file) and the background below.
    "$SHOT" --bare --frames 1 --size 400x300 --out "$WORK/alpha.png" "$WORK/src/alpha.gltf" >/dev/null 2>&1
    check "alpha: the mask's cut-out shows the background" test "$(picture "$WORK/alpha.png" near $BACK 145 95 10 10)" = 100
    seen=$(for spot in "145 180" "225 95" "225 190"; do picture "$WORK/alpha.png" main $spot 10 10; done)
    check "alpha: the mask's rest green, the blend over blue mixed, over the background red ($seen)" \
        test "$(echo $seen)" = "green none red"
    check "alpha: the blend over blue is drawn" test "$(picture "$WORK/alpha.png" near $BACK 225 95 10 10)" = 0
    "$SHOT" --check --strict "$WORK/src/alpha.gltf" >/dev/null 2>&1
    check "alpha: it checks clean: its effect shows the transparent texture" test $? -eq 0
    "$SHOT" --out "$WORK/cut.png" "$WORK/src/cut.glb" >/dev/null 2>"$WORK/err"
    check "a model that cannot be imported draws no picture (exit $?)" test $? -eq 1 -a ! -e "$WORK/cut.png"
    check "saying why" grep -qx "\[I.F\] krovane-import: $WORK/src/cut.glb: .*" "$WORK/err"
    check "nothing is written beside the glTF models" test "$(cd "$WORK/src" && find . | sort)" = "$sources"
fi

finish
