#!/usr/bin/env bash
# The viewer reloading what changes on disk, under a virtual X server: a small level (one textured square filling
# the middle of the window, drawn through an effect that shows its texture as it is) started with --watch; a
# texture overwritten, a model replaced, an effect broken then mended, an object file edited, a model written
# half, the level file edited, each seen in the picture within its deadline and in the log; the same level without
# --watch changes nothing; a model file opened is watched by itself. Each change is saved as some program would
# (in place, cp, cp -p, through a temporary file and a rename) and the time from the write to the first frame that
# shows it is printed (information, not a test).
#   bash tests/e2e/watch_e2e_test.sh PATH-TO-krovane
set -uo pipefail
VIEWER=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
TITLE='|Korvane|0.0.5|June 12|'
source "$HERE/../tools/check.sh"
XVFB_PID= VIEWER_PID=
trap '[[ -n $VIEWER_PID ]] && kill -KILL $VIEWER_PID; [[ -n $XVFB_PID ]] && kill $XVFB_PID; rm -rf "$WORK"' EXIT

for tool in Xvfb xwininfo xdotool python3 iconv; do
    command -v "$tool" >/dev/null && continue
    echo "skipped: $tool is not installed (scripts/setup installs it)"
    exit 77
done
for n in $(seq 141 190); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$n"
for _ in $(seq 200); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

# The level and the files it is changed with (see watch_level.py).
LEVEL=$WORK/level STOCK=$WORK/stock
python3 "$HERE/watch_level.py" "$LEVEL" "$STOCK"
cp "$STOCK/model/"{ship.x,hull.bmp,huge.bmp} "$WORK/"  # the model opened at the end

# start [ARG...]: the viewer in LEVEL (or on ARG), until its window shows.
start() {
    (cd "$WORK" && exec "$VIEWER" "$@") >"$WORK/out" 2>"$WORK/err" &
    VIEWER_PID=$!
    local deadline=$((SECONDS + 60))
    until xwininfo -name "$TITLE" 2>/dev/null | grep -q IsViewable; do
        kill -0 "$VIEWER_PID" 2>/dev/null && ((SECONDS < deadline)) || { cat "$WORK/err" >&2; return 1; }
        sleep 0.1
    done
    ID=$(xwininfo -name "$TITLE" | awk '/Window id:/ {print $4}')
}
stop() {
    python3 "$HERE/x11.py" close "$ID"
    wait "$VIEWER_PID"
    local status=$? && VIEWER_PID=
    return $status
}
MIDDLE=(150 110 20 20) RING=(76 110 20 20)  # inside the small square; inside the large one only
# shows NAME RECT RRGGBB COMMAND...: runs COMMAND (the change), then waits until RECT shows the colour; prints how long.
shows() {
    local ms
    ms=$(python3 "$HERE/x11.py" after "$ID" "${@:2:5}" "${@:7}") || return 1
    echo "latency: $1 $ms ms"
}
# log [FOLDER]: the lines of LOG.dr there (default: the level's), without their stamps.
log() { iconv -f CP1251 -t UTF-8 "${1:-$LEVEL}/LOG.dr" | grep -oP '^\s*"?\[\d+:\d+\] \K.*?(?="? \{ _[A-Z]+_ \}$)'; }
# showing RECT COLOUR: the rectangle shows the colour (at once, or within 20 s).
showing() { python3 "$HERE/x11.py" after "$ID" "$@" true >/dev/null; }

if check "the viewer opens the level with --watch" start --watch "$LEVEL"; then
    check "the square shows its red texture" showing "${MIDDLE[@]}" ff0000
    check "a texture overwritten in place (cp)" \
        shows texture "${MIDDLE[@]}" 00ff00 cp "$STOCK/green.bmp" "$LEVEL/textures/tile.bmp"
    check "a model replaced through a temporary file and a rename (as vim saves)" \
        shows model "${RING[@]}" 000000 sh -c "cp '$STOCK/small.x' '$LEVEL/models/.square.x.swp' &&
                                              mv '$LEVEL/models/.square.x.swp' '$LEVEL/models/square.x'"
    # A broken effect keeps the one shown: a texture copied after it shows exactly (the effect draws it as it is).
    cp "$STOCK/broken.fx" "$LEVEL/fx/flat.fx"
    check "an effect broken keeps the old one, which shows a texture copied with cp -p after it" \
        shows "texture (cp -p)" "${MIDDLE[@]}" 0000ff cp -p "$STOCK/blue.bmp" "$LEVEL/textures/tile.bmp"
    check "the effect mended" shows effect "${MIDDLE[@]}" ffff00 cp "$STOCK/inverted.fx" "$LEVEL/fx/flat.fx"
    check "an object file edited to name another model" shows "object file" "${RING[@]}" ffff00 \
        sh -c "cp '$STOCK/big.x' '$LEVEL/models/big.x' &&
               printf '_MODEL_FILE_ { models\\\\big.x }\n_FX_ { flat }\n' >'$LEVEL/objects/square.DR'"
    # Written half: what is shown stays, as the effect changed after it shows.
    head -c 200 "$STOCK/big.x" >"$LEVEL/models/big.x"
    check "a model written half keeps the one shown" \
        shows "effect" "${RING[@]}" 0000ff cp "$STOCK/flat.fx" "$LEVEL/fx/flat.fx"
    check "the model written whole" shows "model (whole)" "${RING[@]}" 000000 cp "$STOCK/mid.x" "$LEVEL/models/big.x"
    check "the level file edited: the square moved to the right" \
        shows level "${MIDDLE[@]}" 000000 cp "$STOCK/POLYGON01" "$LEVEL/POLYGON01"
    check "the square on the right" showing 270 110 20 20 0000ff
    check "exit 0 when the window is closed" stop
    said=$(log)
    check "the log says each reload, in order" diff <(grep -E 'Reloaded|R\.F|fx\\flat|M\.F|Loading level' <<<"$said") - <<'LINES'
[>>>] Loading level : POLYGON01
[i] Reloaded: textures\tile.bmp
[i] Reloaded: models\square.x
fx\flat.fx
[R.F] not reloaded, kept as it was: fx\flat.fx
[i] Reloaded: textures\tile.bmp
[i] Reloaded: fx\flat.fx
[i] Reloaded: objects\square.DR
[M.F] cannot find: models\big.x
[R.F] not reloaded, kept as it was: models\big.x
[i] Reloaded: fx\flat.fx
[i] Reloaded: models\big.x
[>>>] Loading level : POLYGON01
[i] Reloaded: POLYGON01
LINES
    check "the level loaded again with its stages" \
        test "$(grep -c '^\[i\] Effect Manager setup completed. $' <<<"$said")" -eq 2
    check "the broken effect's reason on stderr" grep -q '^effect: fx\\flat.fx' "$WORK/err"
fi

# Without --watch: a change is not taken (the console opened and closed after it: frames have been drawn since),
# and the log holds nothing of it.
cp "$STOCK/green.bmp" "$LEVEL/textures/tile.bmp"
if check "the viewer opens the level without --watch" start "$LEVEL"; then
    check "it shows the green texture" showing 250 110 20 20 00ff00
    cp "$STOCK/blue.bmp" "$LEVEL/textures/tile.bmp"
    check "the console opens and closes" python3 "$HERE/x11.py" keys "$ID" 12 203 208 11 grave grave
    check "the old texture still shows" showing 250 110 20 20 00ff00
    check "exit 0 when the window is closed" stop
    check "the log says nothing of it" test -z "$(log | grep -E 'Reloaded|R\.F')"
fi

# A model file opened is watched without asking: a texture beside it, then the model replaced by one 400 times as
# large, framed again.
export KROVANE_NO_CACHE=1 TMPDIR=$WORK
if check "the viewer opens a model" start "$WORK/ship.x"; then
    check "the model shows its texture" showing 480 360 24 24 red
    check "a texture beside the model" shows "model's texture" 480 360 24 24 green cp "$STOCK/green.bmp" "$WORK/hull.bmp"
    # 400 times as large, with its own (blue) texture: unframed, the camera would be inside it.
    check "the model replaced by a huge one, framed again" \
        shows "model file" 480 360 24 24 blue cp "$STOCK/model/huge.x" "$WORK/ship.x"
    check "exit 0 when the window is closed" stop
    folder=$(sed -n 's/^krovane: the level made for .*, and its LOG.dr, are in //p' "$WORK/err" | tail -1)
    check "the log says the model was reloaded" grep -qxF "[i] Reloaded: $WORK/ship.x" <(log "$folder")
fi

finish
