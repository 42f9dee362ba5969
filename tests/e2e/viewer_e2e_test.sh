#!/usr/bin/env bash
# The viewer as a user runs it, under a virtual X server: it opens at the
# configured size filled with the configured colour, shows the bundled level
# with its head-up text and switches cameras with Tab, writes LOG.dr and exits
# 0 on SIGTERM, SIGINT and closing, and refuses clearly (non-zero exit, one line on
# stderr) an impossible multisample type or a missing display.
#
#   bash tests/e2e/viewer_e2e_test.sh PATH-TO-krovane
set -uo pipefail

VIEWER=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
TITLE='|Korvane|0.0.5|June 12|'
for tool in Xvfb xwininfo xwd xdotool python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (scripts/setup installs it)"
        exit 77
    fi
done

WORK=$(mktemp -d)
XVFB_PID=
VIEWER_PID=
cleanup() {
    [[ -n $VIEWER_PID ]] && kill -KILL "$VIEWER_PID" 2>/dev/null
    [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

# A display number nobody uses. -noreset: without it the server resets whenever
# its last client leaves, and refuses connections meanwhile.
for n in $(seq 91 140); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break
done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$n"
for _ in $(seq 200); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

passed=0
failed=0
check() {  # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $what" >&2
    fi
}

# Starts the viewer in a fresh folder with the given ini.txt (none when
# empty), after copying the level folder LEVEL there when one is given;
# sets VIEWER_PID. A message box captioned "ERROR" is answered with
# Return, as a user would, and counted in BOXES.
start() {  # start INI [LEVEL]
    [[ -n $VIEWER_PID ]] && kill -KILL "$VIEWER_PID" 2>/dev/null
    RUN=$(mktemp -d -p "$WORK")
    [[ -n ${2:-} ]] && cp -r "$2"/. "$RUN"/
    [[ -n $1 ]] && printf "%s" "$1" >"$RUN/ini.txt"
    (cd "$RUN" && exec "$VIEWER") >"$RUN/out" 2>"$RUN/err" &
    VIEWER_PID=$!
    BOXES=0
    local answered=
    for _ in $(seq 300); do  # up to 30 s: software GL starts slowly on a busy machine
        if xwininfo -name "$TITLE" >/dev/null 2>&1; then
            # The window is made hidden and shown once the level is loaded: give
            # it up to 5 s to be mapped, as a screenshot of an unmapped window fails.
            for _ in $(seq 50); do
                xwininfo -name "$TITLE" 2>/dev/null | grep -q IsViewable && break
                sleep 0.1
            done
            return 0
        fi
        if ! kill -0 "$VIEWER_PID" 2>/dev/null; then
            wait "$VIEWER_PID"
            echo "exited with status $?" >>"$RUN/err"
            return 1
        fi
        box=$(xwininfo -root -tree | awk '/"ERROR"/ {print $1; exit}')
        if [[ -n $box ]]; then
            [[ $box != "$answered" ]] && BOXES=$((BOXES + 1))
            answered=$box
            xdotool windowfocus "$box" 2>/dev/null
            xdotool key Return
        fi
        sleep 0.1
    done
    echo "no window after 30 s; windows: $(xwininfo -root -tree | grep -c Korvane)" >>"$RUN/err"
    xwininfo -name "$TITLE" >>"$RUN/err" 2>&1
    return 1
}

# Sends a signal and waits for the exit status.
stop() {
    kill "-$1" "$VIEWER_PID"
    wait "$VIEWER_PID"
}

# Opens at the configured size and colour; SIGTERM saves the log and exits 0.
if start $'SCREEN = 320, 240\nBACK_RENDERER_COLOR = 255, 0, 0\n'; then
    info=$(xwininfo -name "$TITLE")
    check "width 320" grep -q 'Width: 320' <<<"$info"
    check "height 240" grep -q 'Height: 240' <<<"$info"
    sleep 0.5  # a few frames
    xwd -silent -name "$TITLE" -out "$RUN/shot.xwd"
    check "filled with red" test "$(python3 "$HERE/xwd_pixel.py" "$RUN/shot.xwd" 160 120)" = ff0000
    stop TERM
    check "exit 0 on SIGTERM" test $? -eq 0
    check "LOG.dr with the header" grep -q 'Currient date: ' "$RUN/LOG.dr"
    check "a missing mouse.cur is said and borne" grep -q '^krovane: no mouse cursor: ' "$RUN/err"
else
    check "the viewer opens its window ($(cat "$RUN/err"))" false
fi

# Defaults without a configuration: 640 x 480; SIGINT ends it the same way.
if start ''; then
    check "default size 640 x 480" grep -q 'Width: 640' <<<"$(xwininfo -name "$TITLE")"
    check "one ERROR box for the missing ini.txt" test "$BOXES" -eq 1
    check "its text, also on stderr" grep -q 'ERROR: | File loading failed! |ini.txt | ' "$RUN/err"
    stop INT
    check "exit 0 on SIGINT" test $? -eq 0
    check "LOG.dr after SIGINT" test -s "$RUN/LOG.dr"
else
    check "the viewer opens without ini.txt ($(cat "$RUN/err"))" false
fi

# The bundled level (without multisampling, to keep software GL quick): the
# scene and the head-up text are drawn, Tab steps to the next camera, and
# closing saves the log once with every stage of the start.
DEMO=$(cd "$HERE/../../demo" && pwd)
level_ini=$'SCREEN = 640, 480\nBACK_RENDERER_COLOR = 20, 24, 32\n'
if start "$level_ini" "$DEMO"; then
    sleep 3  # the first frames, in software
    xwd -silent -name "$TITLE" -out "$RUN/level.xwd"
    check "the scene is drawn, not only the clear colour" \
        test "$(python3 "$HERE/xwd_pixel.py" "$RUN/level.xwd" 200 200 240 200)" -gt 500
    check "the head-up text is drawn in white" \
        test "$(python3 "$HERE/xwd_pixel.py" "$RUN/level.xwd" 0 0 260 60 ffffff)" -gt 40
    id=$(xwininfo -name "$TITLE" | awk '/Window id:/ {print $4}')
    xdotool windowfocus --sync "$id" 2>/dev/null
    xdotool keydown Tab
    sleep 2
    xdotool keyup Tab
    sleep 1
    xwd -silent -name "$TITLE" -out "$RUN/tab.xwd"
    python3 "$HERE/close_window.py" "$id"
    wait "$VIEWER_PID"
    check "exit 0 after the level ran" test $? -eq 0
    check "the HUD shows another camera after Tab" \
        test "$(python3 "$HERE/xwd_pixel.py" "$RUN/level.xwd" 0 0 400 40 --same "$RUN/tab.xwd")" = different
    check "one log header" test "$(grep -c 'Currient date: ' "$RUN/LOG.dr")" -eq 1
    for stage in '[>>>] Initializing rendering manager : ' '[>>>] Loading level : POLYGON01' \
        '[i] Light Manager setup completed. ' '[>>>] Loading Objects : ' '[i] Camera Manager setup completed. ' \
        '[i] Effect Manager setup completed. ' 'Rendering manager inicialized with 0 errors.' \
        'Object Manager setup completed with 0 errors and 17 objects.'; do
        check "the log holds: $stage" grep -qF "$stage" "$RUN/LOG.dr"
    done
else
    check "the viewer opens the bundled level ($(cat "$RUN/err"))" false
fi
VIEWER_PID=

# The console with real key presses: open it with the key left of 1, type
# commands and a note, paste with Shift+Insert, close it. The viewer samples
# the keyboard once a frame, so every key is held long enough for a frame to
# see it.
hold() {  # hold KEY [MODIFIER]: press, keep for a few frames, release
    [[ -n ${2:-} ]] && xdotool keydown "$2"
    xdotool keydown "$1"
    sleep 0.45  # under the display's auto-repeat delay, over a slow frame
    xdotool keyup "$1"
    [[ -n ${2:-} ]] && xdotool keyup "$2"
    sleep 0.1
}
type_line() {  # type_line TEXT: lower-case letters, digits, blanks, dots and underscores, then Return
    local text=$1 i c
    for ((i = 0; i < ${#text}; i++)); do
        c=${text:i:1}
        case $c in
            ' ') hold space ;;
            '.') hold period ;;
            '_') hold minus Shift_L ;;
            *) hold "$c" ;;
        esac
    done
    hold Return
    sleep 0.5
}
if start "$level_ini" "$DEMO"; then
    sleep 2
    id=$(xwininfo -name "$TITLE" | awk '/Window id:/ {print $4}')
    xdotool windowfocus --sync "$id" 2>/dev/null
    xwd -silent -name "$TITLE" -out "$RUN/closed.xwd"
    hold grave
    sleep 1
    type_line "cam_mngr camera.next"
    type_line "obj_mngr show.list"
    type_line "a note for the log"
    printf 'console pasted from the clipboard' | xclip -selection clipboard
    hold Insert Shift_L
    hold Return
    sleep 1
    xwd -silent -name "$TITLE" -out "$RUN/console.xwd"
    hold grave
    sleep 2
    xwd -silent -name "$TITLE" -out "$RUN/after.xwd"
    python3 "$HERE/close_window.py" "$id"
    wait "$VIEWER_PID"
    check "exit 0 after typing" test $? -eq 0
    log=$(iconv -f CP1251 -t UTF-8 "$RUN/LOG.dr")
    check "camera.next changed the camera" grep -q 'Currient camera was changed to: camera № 2' <<<"$log"
    check "show.list listed the objects" grep -qF 'id:1  visible:1  file:objects\ground.DR' <<<"$log"
    check "a note is kept as a comment" grep -qzP '\] a note for the log"? \{\s*_COMMENT_' <<<"$log"
    check "the pasted line ran" grep -q '\] pasted from the clipboard' <<<"$log"
    check "the open console shows its boxes" \
        test "$(python3 "$HERE/xwd_pixel.py" "$RUN/closed.xwd" 0 0 640 480 --same "$RUN/console.xwd")" = different
    check "the HUD is back after closing the console" \
        test "$(python3 "$HERE/xwd_pixel.py" "$RUN/after.xwd" 0 0 260 60 ffffff)" -gt 40
else
    check "the viewer opens for typing ($(cat "$RUN/err"))" false
fi
VIEWER_PID=

# A size no window can have: said, and the default used instead.
if start $'SCREEN = 0, -5\n'; then
    check "default size for SCREEN 0, -5" grep -q 'Width: 640' <<<"$(xwininfo -name "$TITLE")"
    check "the size is reported" grep -q 'SCREEN 0 x -5 cannot be opened; using 640 x 480' "$RUN/err"
    stop TERM
else
    check "the viewer opens despite SCREEN 0, -5 ($(cat "$RUN/err"))" false
fi

# The window's close button (what a window manager sends when it is clicked).
if start $'SCREEN = 200, 150\n'; then
    id=$(xwininfo -name "$TITLE" | awk '/Window id:/ {print $4}')
    python3 "$HERE/close_window.py" "$id"
    wait "$VIEWER_PID"
    check "exit 0 when the window is closed" test $? -eq 0
    check "LOG.dr after closing" grep -q 'Currient date: ' "$RUN/LOG.dr"
else
    check "the viewer opens ($(cat "$RUN/err"))" false
fi

# An impossible multisample type: a clear message and a failure status.
RUN=$(mktemp -d -p "$WORK")
printf 'MULTISAMPLE_TYPE = 64\n' >"$RUN/ini.txt"
(cd "$RUN" && timeout 20 "$VIEWER") 2>"$RUN/err"
status=$?
check "non-zero exit for multisample type 64" test $status -eq 1
check "the reason on stderr" grep -q 'cannot create the 3D device: multisample type 64 is not available' "$RUN/err"

# A display that cannot be reached: the same, not a window nobody sees.
(cd "$RUN" && DISPLAY=:1999 timeout 20 "$VIEWER") 2>"$RUN/err"
status=$?
check "non-zero exit when the display cannot be reached" test $status -eq 1
check "says the display cannot be reached" grep -q 'cannot open the window: the display cannot be reached' "$RUN/err"

# No display at all: the viewer does not run invisibly.
(cd "$RUN" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$VIEWER") 2>"$RUN/err"
status=$?
check "non-zero exit without a display" test $status -eq 1
check "says there is no display" grep -q 'no display is available' "$RUN/err"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
