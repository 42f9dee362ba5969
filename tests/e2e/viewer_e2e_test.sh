#!/usr/bin/env bash
# The viewer as a user runs it: options and refusals; under a virtual X server the bundled level (size, scene,
# head-up text, picture keys, console, Tab, close button, log; a file changed without --watch is not taken; a line
# typed faster than the frames), the small level of watch_level.py with --watch (a texture, a model, an effect broken
# then mended, an object file, the level file, each awaited in the picture, then in the log), a model file (watched
# without asking; its window titled after it, resized, orbited by drags, the wheel and keys, closed by Escape), an
# impossible SCREEN (SIGTERM), no ini.txt (message box, SIGINT), a device that cannot be had.
#   bash tests/e2e/viewer_e2e_test.sh PATH-TO-krovane
set -uo pipefail
VIEWER=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
TITLE='|Korvane|0.0.5|June 12|'
source "$HERE/../tools/check.sh"
XVFB_PID= VIEWER_PID=
trap '[[ -n $VIEWER_PID ]] && kill -KILL $VIEWER_PID; [[ -n $XVFB_PID ]] && kill $XVFB_PID; rm -rf "$WORK"' EXIT
wait_for() {  # wait_for SECONDS COMMAND...: until it succeeds
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do ((SECONDS < deadline)) || return 1; sleep 0.1; done
}

# Options and refusals: ARGS | exit status | a line it prints; refusals add the usage.
: >"$WORK/ini.txt"  # a file that is neither a level folder nor a model
while IFS='|' read -r args status line; do
    # shellcheck disable=SC2086
    (cd "$WORK" && "$VIEWER" $args) >"$WORK/out" 2>&1
    check "krovane $args: exit $status (got $?)" test $? -eq "$status"
    check "krovane $args: prints '$line'" grep -qxF "$line" "$WORK/out"
    ((status != 2)) || check "krovane $args: and the usage" grep -qx 'usage: krovane \[--watch\] \[LEVEL_DIR\]' "$WORK/out"
done <<'CASES'
--help|0|usage: krovane [--watch] [LEVEL_DIR]
-h|0|usage: krovane [--watch] [LEVEL_DIR]
--version|0|krovane 0.0.5
--fullscreen|2|krovane: unknown option --fullscreen
nowhere|2|krovane: no such folder or model: nowhere
--watch nowhere|2|krovane: no such folder or model: nowhere
. nowhere|2|krovane: one level folder or model at most, not also nowhere
ini.txt|2|krovane: not a level folder or a model (.x, .gltf, .glb, .obj, .fbx, .dae): ini.txt
--up +Y .|2|krovane: --up is for a model file, not a level folder
--up up|2|krovane: --up takes +Y, -Y, +Z, -Z, +X or -X
CASES
check "nothing is left where it was refused" test ! -e "$WORK/LOG.dr"
rm "$WORK/ini.txt"
# No display at all, or one that cannot be reached: refused, not a window nobody sees.
(cd "$WORK" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$VIEWER") 2>"$WORK/err"
check "exit 1 without a display" test $? -eq 1 && check "says so" grep -q 'no display is available' "$WORK/err"
(cd "$WORK" && DISPLAY=:1999 timeout 20 "$VIEWER") 2>"$WORK/err"
check "exit 1 when the display cannot be reached" test $? -eq 1 &&
    check "says so" grep -q '^krovane: cannot open the window: the display cannot be reached' "$WORK/err"

for tool in Xvfb xwininfo xwd xdotool xclip python3 iconv; do
    command -v "$tool" >/dev/null && continue
    echo "the window checks skipped: $tool is not installed (scripts/setup installs it); $failed failed"
    exit $((failed == 0 ? 77 : 1))
done
# A display number nobody uses. -noreset: else the server resets when its last client leaves, refusing
# connections meanwhile. No auto-repeat within a minute: a held key stays one press however slow the frames.
for n in $(seq 91 140); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset -ardelay 60000 >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$n"
wait_for 20 xwininfo -root >/dev/null 2>&1

# start INI [ARG...]: runs the viewer with ARGs in a fresh folder RUN (holding INI as ini.txt, when given), answers
# each ERROR box with Return, listing them in BOXES, until the window ID shows.
start() {
    RUN=$(mktemp -d -p "$WORK") BOXES= ID=
    [[ -n $1 ]] && printf '%s' "$1" >"$RUN/ini.txt"
    (cd "$RUN" && exec "$VIEWER" "${@:2}") >"$RUN/out" 2>"$RUN/err" &
    VIEWER_PID=$!
    local deadline=$((SECONDS + 60)) box
    until xwininfo -name "$TITLE" 2>/dev/null | grep -q IsViewable; do
        kill -0 "$VIEWER_PID" 2>/dev/null && ((SECONDS < deadline)) || { cat "$RUN/err" >&2; return 1; }
        box=$(xwininfo -root -tree | awk '/"ERROR"/ {print $1; exit}')
        [[ -z $box || $BOXES == *" $box"* ]] || BOXES+=" $box"
        [[ -n $box ]] && xdotool windowfocus "$box" key Return 2>/dev/null
        sleep 0.1
    done
    ID=$(xwininfo -name "$TITLE" | awk '/Window id:/ {print $4}')
    xdotool windowfocus --sync "$ID" 2>/dev/null
}
# shown NAME TEST...: a dump NAME of the window passes TEST ("picture.py DUMP" + its arguments, "> N")
shown() { xwd -silent -id "$ID" -out "$RUN/$1.xwd" && (($(picture "$RUN/$1.xwd" "${@:2:$#-3}") ${*: -2:1} ${*: -1})); }
stop() {  # stop SIGNAL|close|Escape: ends the viewer, true when it exits 0
    if [[ $1 == close ]]; then python3 "$HERE/x11.py" close "$ID"; elif [[ $1 == Escape ]]; then xdotool key Escape
    else kill "-$1" "$VIEWER_PID"; fi
    wait "$VIEWER_PID"
    local status=$? && VIEWER_PID=
    return $status
}
# keys X Y W H KEY...: each key held until the rectangle of the window changes; =TEXT types TEXT and Return.
keys() { python3 "$HERE/x11.py" keys "$ID" "$@"; }
# shows X Y W H COLOUR COMMAND...: runs COMMAND (a change), then waits until the rectangle shows COLOUR (x11.py).
shows() { python3 "$HERE/x11.py" after "$ID" "$@" >/dev/null; }
# resizable: the window's size hints leave its size to the user (no largest size that a screen could hold).
resizable() { ! xprop -id "$ID" WM_NORMAL_HINTS | grep -qE 'maximum size: [0-9]{1,4} by'; }
# log FOLDER: the lines of LOG.dr there, without their stamps.
log() { iconv -f CP1251 -t UTF-8 "$1/LOG.dr" | grep -oP '^\s*"?\[\d+:\d+\] \K.*?(?="? \{ _[A-Z]+_ \}$)'; }

# The bundled level, named from elsewhere, at a size of its ini.txt.
LEVEL=$WORK/level
pictures() { (($(find "$LEVEL" -maxdepth 1 -name 'shot_*.png' | wc -l) == $1)); }
cp -r "$HERE/../../demo" "$LEVEL"
printf 'SCREEN = 320, 240\nBACK_RENDERER_COLOR = 20, 24, 32\n' >"$LEVEL/ini.txt"
if check "the viewer opens the bundled level" start '' "$LEVEL"; then
    check "the configured size" grep -qzP 'Width: 320\n\s*Height: 240' <<<"$(xwininfo -id "$ID")"
    check "which stays" test -n "$(xprop -id "$ID" WM_NORMAL_HINTS | grep 'maximum size: 320 by 240')"
    check "the scene is drawn" wait_for 30 shown level colours 60 80 200 140 '>' 500
    echo >>"$LEVEL/objects/ground.DR"  # without --watch: never taken, however many frames follow
    check "the head-up text is drawn in white" shown level near ffffff 0 0 260 40 '>' 40
    xdotool key Print
    check "Print Screen writes a picture in the level folder" wait_for 30 pictures 1
    # Inside the console's input line, a grey box (215 x 17 at 9, 200).
    keys 12 203 208 11 grave
    check "the console opens with the key left of 1" shown console near 303030 12 203 208 11 '>' 1500
    printf 'console pasted from the clipboard' | xclip -selection clipboard
    check "commands and a paste are typed" keys 12 203 208 11 "=cam_mngr camera.next" "=obj_mngr show.list" \
        shift+Insert Return
    keys 12 203 208 11 grave
    check "the console closes" shown closed near 303030 12 203 208 11 '<' 100
    check "Tab shows another camera in the head-up text" keys 0 0 300 35 Tab
    xdotool key F12
    check "F12 writes another picture" wait_for 30 pictures 2
    check "exit 0 when the window is closed" stop close
    check "LOG.dr is in the level folder, not where it was started" test -s "$LEVEL/LOG.dr" -a ! -e "$RUN/LOG.dr"
    log=$(iconv -f CP1251 -t UTF-8 "$LEVEL/LOG.dr")
    check "one log header" test "$(grep -c 'Currient date: ' <<<"$log")" -eq 1
    # What was typed, run (a clean start is krovane-shot's level check's; a note kept as a comment, the queue test's).
    for said in 'Currient camera was changed to: camera № 2' 'id:1  visible:1  file:objects\ground.DR' \
        '] pasted from the clipboard'; do
        check "the log holds: $said" grep -qF "$said" <<<"$log"
    done
    check "the changed object file is not taken" test -z "$(log "$LEVEL" | grep -E 'Reloaded|R\.F')"
    # (How pictures are named, and said in the log, is the GL test's.)
    for png in "$LEVEL"/shot_*.png; do check "$png has the window's size" test "$(picture "$png" size)" = "320 240"; done
fi

# The bundled level at its own size and multisampling, about ten frames a second in software: a line typed at 20 keys
# a second, each key held for less than a frame, arrives whole.
cp "$HERE/../../demo/ini.txt" "$LEVEL/ini.txt"
if check "the viewer opens the bundled level at its own size" start '' "$LEVEL"; then
    keys 12 203 208 11 grave
    check "the console opens" shown console near 303030 12 203 208 11 '>' 1500
    python3 "$HERE/x11.py" type "$ID" "console the quick brown fox jumps over the lazy dog"
    keys 12 203 208 11 Return
    check "exit 0 when the window is closed" stop close
    check "every key typed quickly arrives" grep -qxF 'the quick brown fox jumps over the lazy dog' <(log "$LEVEL")
fi

# The small level with --watch: each change as some program saves it (in place, cp, cp -p, through a temporary file
# and a rename), awaited in the picture (the square's colour where its texture shows as it is, or 1 - it).
W=$WORK/watched STOCK=$WORK/stock MODELS=$WORK/models
python3 "$HERE/watch_level.py" "$W" "$STOCK"
MIDDLE=(150 110 20 20) RING=(76 110 20 20)  # inside the small square; inside the large one only
if check "the viewer opens a level with --watch" start '' --watch "$W"; then
    check "the square shows its red texture" shows "${MIDDLE[@]}" ff0000 true
    check "a texture overwritten in place (cp)" shows "${MIDDLE[@]}" 00ff00 cp "$STOCK/green.bmp" "$W/textures/tile.bmp"
    check "a model replaced through a temporary file and a rename (as vim saves)" shows "${RING[@]}" 000000 \
        sh -c "cp '$STOCK/small.x' '$W/models/.swp' && mv '$W/models/.swp' '$W/models/square.x'"
    # A broken effect keeps the one shown: a texture copied after it shows exactly (the effect draws it as it is).
    cp "$STOCK/broken.fx" "$W/fx/flat.fx"
    check "an effect broken keeps the old one, which shows a texture copied with cp -p after it" \
        shows "${MIDDLE[@]}" 0000ff cp -p "$STOCK/blue.bmp" "$W/textures/tile.bmp"
    check "the effect mended" shows "${MIDDLE[@]}" ffff00 cp "$STOCK/inverted.fx" "$W/fx/flat.fx"
    cp "$STOCK/big.x" "$W/models/big.x"
    check "an object file edited to name another model" shows "${RING[@]}" ffff00 \
        sh -c "printf '_MODEL_FILE_ { models\\\\big.x }\n_FX_ { flat }\n' >'$W/objects/square.DR'"
    check "the level file edited: the square moves off the middle" \
        shows "${MIDDLE[@]}" 000000 cp "$STOCK/POLYGON01" "$W"
    check "to the right" shows 270 110 20 20 ffff00 true
    check "exit 0 when the window is closed" stop close
    said=$(log "$W" | grep -E 'Reloaded|R\.F|fx\\flat|Loading level')
    check "the log says each reload, in order" diff <(echo "$said") - <<'LINES'
[>>>] Loading level : POLYGON01
[i] Reloaded: textures\tile.bmp
[i] Reloaded: models\square.x
fx\flat.fx
fx\flat.fx(1): the technique flat has no closing brace
[R.F] not reloaded, kept as it was: fx\flat.fx
[i] Reloaded: textures\tile.bmp
[i] Reloaded: fx\flat.fx
[i] Reloaded: objects\square.DR
[>>>] Loading level : POLYGON01
[i] Reloaded: POLYGON01
LINES
    check "the broken effect's reason is in the log, not on stderr" test -z "$(grep 'flat.fx' "$RUN/err")"
fi

# A model file: shown in a level made for it (in a cache of the test's own, which keeps the level's log after
# exit) and watched without asking; nothing is written beside it. Its window is titled after it, and resizable.
# square W H: the window is W x H and shows the (blue) model about as wide as high: the projection takes its aspect.
square() {
    local w h
    xwd -silent -id "$ID" -out "$RUN/sized.xwd" && [[ $(picture "$RUN/sized.xwd" size) == "$1 $2" ]] &&
        read -r w h <<<"$(picture "$RUN/sized.xwd" extent blue)" && ((w > 100 && w * 10 > h * 9 && w * 10 < h * 11))
}
# drag BUTTON DX DY: from the middle of the window (400 x 600 by then), until the head-up text says the camera moved.
drag() {
    shows 0 0 300 35 moved xdotool mousemove --window "$ID" 200 300 mousedown "$1" sleep 0.5 \
        mousemove_relative -- "$2" "$3" sleep 0.5 mouseup "$1"
}
mkdir "$MODELS" && cp "$STOCK/model/"{ship.x,hull.bmp,huge.bmp} "$MODELS/"
export XDG_CACHE_HOME=$WORK/cache TMPDIR=$WORK
unset KROVANE_NO_CACHE
if TITLE='ship.x — Krovane' check "the viewer opens a model, titled after it" start '' "$MODELS/ship.x"; then
    check "the title desktops show, too" grep -qF '"ship.x — Krovane"' <(xprop -id "$ID" _NET_WM_NAME)
    check "the model shows its texture" shows 480 360 24 24 red true
    check "a texture beside the model" shows 480 360 24 24 green cp "$STOCK/green.bmp" "$MODELS/hull.bmp"
    # 400 times as large, with its own (blue) texture: unframed, the camera would be inside it.
    check "the model replaced by a huge one, framed again" \
        shows 480 360 24 24 blue cp "$STOCK/model/huge.x" "$MODELS/ship.x"
    check "Tab steps to the next view (the front)" keys 0 0 300 35 Tab
    check "its window may be resized" resizable
    xdotool windowsize "$ID" 400 600
    check "resized to 400 x 600, F frames the model again" keys 0 0 300 35 f
    check "which keeps its shape" wait_for 30 square 400 600
    check "a left drag turns the view" drag 1 150 0
    check "a right drag pans" drag 3 0 80
    check "a wheel step zooms" shows 0 0 300 35 moved xdotool click 4
    check "exit 0 when Escape closes the window" stop Escape
    folder=$(sed -n 's/^krovane: the level made for .*, and its LOG.dr, are in //p' "$RUN/err" | tail -1)
    check "its log says the model was reloaded" grep -qxF "[i] Reloaded: $MODELS/ship.x" <(log "$folder")
    check "nothing is written beside the model" test "$(ls "$MODELS")" = "$(printf 'huge.bmp\nhull.bmp\nship.x')"
fi
# The desktop's way in: the demo level, copied where its log may go, with the line that says what may be dropped.
if check "krovane --welcome opens the demo level" start '' --welcome; then
    check "exit 0 when the window is closed" stop close
    check "its log says what may be dropped" grep -qxF 'Drop a model file or a level folder on the window to open it.' \
        <(log "$XDG_CACHE_HOME/krovane/welcome")
fi
unset TMPDIR XDG_CACHE_HOME
export KROVANE_NO_CACHE=1

# A size no window can have: said, and the default used; the clear colour; SIGTERM.
if check "the viewer opens despite SCREEN 0, -5" start $'SCREEN = 0, -5\nBACK_RENDERER_COLOR = 255, 0, 0\n'; then
    check "the default size for SCREEN 0, -5" grep -qzP 'Width: 640\n\s*Height: 480' <<<"$(xwininfo -id "$ID")"
    check "the size is reported" grep -qx 'krovane: SCREEN 0 x -5 cannot be opened; using 640 x 480' "$RUN/err"
    check "filled with red" wait_for 30 shown red near ff0000 100 100 440 280 '==' $((440 * 280))
    check "exit 0 on SIGTERM" stop TERM
    check "LOG.dr with the header" grep -q 'Currient date: ' "$RUN/LOG.dr"
    check "a missing mouse.cur is said and borne" grep -q '^krovane: no mouse cursor: ' "$RUN/err"
fi

# No ini.txt: one message box, also on stderr, and the default size; SIGINT.
if check "the viewer opens without ini.txt" start ''; then
    check "one ERROR box for the missing ini.txt ($BOXES)" test "$(wc -w <<<"$BOXES")" -eq 1
    check "its text, also on stderr" grep -q 'ERROR: | File loading failed! |ini.txt | ' "$RUN/err"
    check "exit 0 on SIGINT" stop INT
    check "LOG.dr after SIGINT" grep -q 'Currient date: ' "$RUN/LOG.dr"
fi

# An impossible multisample type: a clear message and a failure status.
printf 'MULTISAMPLE_TYPE = 64\n' >"$RUN/ini.txt"
(cd "$RUN" && timeout 20 "$VIEWER") 2>"$RUN/err"
check "exit 1 for multisample type 64" test $? -eq 1
check "the reason on stderr" grep -q '^krovane: cannot create the 3D device: multisample type 64 is not available: ' "$RUN/err"

finish
