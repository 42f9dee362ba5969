#!/usr/bin/env bash
# The viewer's command line and its picture key, as a level maker uses them:
# --help and --version answer and exit 0; an unknown option or a folder that
# is not there is refused with the reason and the usage, exit 2; a level
# folder given is worked in as if started there; under a virtual X server,
# Print Screen and F12 each write the frame as a PNG of the window's size
# beside LOG.dr, and the log names it.
#
#   bash tests/tools/krovane_viewer_cli_test.sh PATH-TO-krovane
set -uo pipefail
VIEWER=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
TITLE='|Korvane|0.0.5|June 12|'
WORK=$(mktemp -d)
XVFB_PID=
VIEWER_PID=
cleanup() {
    [[ -n $VIEWER_PID ]] && kill -KILL "$VIEWER_PID" 2>/dev/null
    [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what" >&2; fi
}

# Waits up to SECONDS for a command to succeed.
wait_for() {  # wait_for SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# Options and refusals: ARGS | exit status | the line it must print (stdout or stderr).
while IFS='|' read -r args status line; do
    # shellcheck disable=SC2086
    (cd "$WORK" && "$VIEWER" $args) >"$WORK/out" 2>&1
    got=$?
    check "krovane $args: exit $status (got $got)" test "$got" -eq "$status"
    check "krovane $args: prints '$line'" grep -qxF "$line" "$WORK/out"
    [[ $status -eq 2 ]] && check "krovane $args: and the usage" grep -q '^usage: krovane \[LEVEL_DIR\]$' "$WORK/out"
done <<'CASES'
--help|0|usage: krovane [LEVEL_DIR]
-h|0|usage: krovane [LEVEL_DIR]
--version|0|krovane 0.0.5
--fullscreen|2|krovane: unknown option --fullscreen
nowhere|2|krovane: no such folder: nowhere
. nowhere|2|krovane: one level folder at most, not also nowhere
CASES
check "nothing is left where it was refused" test ! -e "$WORK/LOG.dr"

for tool in Xvfb xwininfo xdotool python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "picture key skipped: $tool is not installed (scripts/setup installs it)"
        echo "$passed passed, $failed failed"
        [[ $failed -eq 0 ]] && exit 77
        exit 1
    fi
done
for n in $(seq 141 190); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break
done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$n"
wait_for 20 xwininfo -root >/dev/null 2>&1

# The bundled level, started from elsewhere with its folder named.
LEVEL=$WORK/level
cp -r "$HERE/../../demo" "$LEVEL"
printf 'SCREEN = 320, 240\n' >"$LEVEL/ini.txt"
(cd "$WORK" && exec "$VIEWER" "$LEVEL") >"$WORK/out" 2>&1 &
VIEWER_PID=$!
pictures() { find "$LEVEL" -maxdepth 1 -name 'shot_*.png' | sort; }
count_is() { test "$(pictures | wc -l)" -eq "$1"; }
# The window exists (hidden) while the level loads; keys reach it once it is shown and focused.
shown() { xwininfo -name "$TITLE" 2>/dev/null | grep -q 'Map State: IsViewable'; }
focused() { xdotool windowfocus --sync "$id" 2>/dev/null && test "$(xdotool getwindowfocus)" = "$((id))"; }
if wait_for 60 shown; then
    id=$(xwininfo -name "$TITLE" | awk '/Window id:/ {print $4}')
    wait_for 10 focused
    xdotool key Print
    check "Print Screen writes a picture in the level folder" wait_for 30 count_is 1
    xdotool key F12
    check "F12 writes another" wait_for 30 count_is 2
    python3 "$HERE/../e2e/close_window.py" "$id"
    wait "$VIEWER_PID"
    check "exit 0" test $? -eq 0
    VIEWER_PID=
    check "LOG.dr is in the level folder, not where it was started" test -s "$LEVEL/LOG.dr" -a ! -e "$WORK/LOG.dr"
    for png in $(pictures); do
        name=$(basename "$png")
        size=$(python3 -c 'import struct, sys; print("%dx%d" % struct.unpack(">II", open(sys.argv[1], "rb").read()[16:24]))' "$png")
        check "$name has the window's size ($size)" test "$size" = 320x240
        check "$name is named in the log as a comment" \
            grep -qzP "\\] Picture saved: \\Q$name\\E\"? \\{\\s*_COMMENT_" "$LEVEL/LOG.dr"
    done
else
    check "the viewer opens the level ($(cat "$WORK/out"))" false
fi

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
