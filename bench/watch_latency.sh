#!/usr/bin/env bash
# The time from a write on disk to the first frame that shows it, with krovane --watch, under a virtual X server:
# on the small level of the watch tests (tests/e2e/watch_level.py) each kind of change 2 N times (N default 10),
# alternating two versions of the file, then the bundled level loaded again whole (its level file edited, the
# first camera moved). Prints the median, the fastest and the slowest of each, in milliseconds. Each time is read
# by polling the window every millisecond from the end of the write, so it includes the viewer's settling time
# (LevelWatch::kSettleMilliseconds), the reload, the frame and the X server showing it.
#   bash bench/watch_latency.sh PATH-TO-krovane [N]
set -uo pipefail
VIEWER=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
N=${2:-10}
HERE=$(cd "$(dirname "$0")" && pwd)
E2E=$HERE/../tests/e2e
TITLE='|Korvane|0.0.5|June 12|'
WORK=$(mktemp -d) XVFB_PID= VIEWER_PID=
trap '[[ -n $VIEWER_PID ]] && kill $VIEWER_PID; [[ -n $XVFB_PID ]] && kill $XVFB_PID; rm -rf "$WORK"' EXIT
for n in $(seq 191 240); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$n"
for _ in $(seq 200); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

start() {  # start LEVEL: the viewer on LEVEL with --watch, until its window shows
    "$VIEWER" --watch "$1" >/dev/null 2>"$WORK/err" &
    VIEWER_PID=$!
    until xwininfo -name "$TITLE" 2>/dev/null | grep -q IsViewable; do
        kill -0 "$VIEWER_PID" 2>/dev/null || { cat "$WORK/err" >&2; exit 1; }
        sleep 0.1
    done
    ID=$(xwininfo -name "$TITLE" | awk '/Window id:/ {print $4}')
    python3 "$E2E/x11.py" after "$ID" 0 0 8 8 changed true >/dev/null 2>&1  # the first frames drawn
}
stop() { kill "$VIEWER_PID" && wait "$VIEWER_PID"; VIEWER_PID=; }
# measure NAME X Y W H  COLOUR-A COMMAND-A  COLOUR-B COMMAND-B: N times A then B, ending as it began; prints the
# figures.
measure() {
    local times=() i
    for ((i = 0; i < 2 * N; ++i)); do
        if ((i % 2 == 0)); then
            times+=("$(python3 "$E2E/x11.py" after "$ID" "${@:2:4}" "$6" sh -c "$7")") || return 1
        else
            times+=("$(python3 "$E2E/x11.py" after "$ID" "${@:2:4}" "$8" sh -c "$9")") || return 1
        fi
    done
    printf '%s\n' "${times[@]}" | sort -n | awk -v name="$1" '{t[NR] = $1}
        END {printf "%-28s median %4d ms   fastest %4d ms   slowest %4d ms   (%d writes)\n", name, t[int((NR + 1) / 2)], t[1], t[NR], NR}'
}

L=$WORK/level S=$WORK/stock
python3 "$E2E/watch_level.py" "$L" "$S"
cp "$S/small.x" "$L/models/small.x"
start "$L"
MIDDLE="150 110 20 20" RING="76 110 20 20"
measure "texture (cp)" $MIDDLE 00ff00 "cp $S/green.bmp $L/textures/tile.bmp" ff0000 "cp $S/red.bmp $L/textures/tile.bmp"
measure "model (temporary + rename)" $RING 000000 "cp $S/small.x $L/models/t.tmp && mv $L/models/t.tmp $L/models/square.x" \
    ff0000 "cp $S/big.x $L/models/t.tmp && mv $L/models/t.tmp $L/models/square.x"
measure "effect (cp)" $MIDDLE 00ffff "cp $S/inverted.fx $L/fx/flat.fx" ff0000 "cp $S/flat.fx $L/fx/flat.fx"
measure "object file (written)" $RING 000000 "printf '_MODEL_FILE_ { models\\\\small.x }\n_FX_ { flat }\n' >$L/objects/square.DR" \
    ff0000 "printf '_MODEL_FILE_ { models\\\\square.x }\n_FX_ { flat }\n' >$L/objects/square.DR"
measure "level file (cp)" $MIDDLE 000000 "cp $S/POLYGON01 $L/POLYGON01" ff0000 "cp $S/POLYGON01.first $L/POLYGON01"
stop

# The bundled level: 17 objects, 7 models, 4 textures, 3 lights; the first camera higher, and back.
D=$WORK/demo
cp -r "$HERE/../demo" "$D"
sed 's/_POSITION_ { 0 190 -460 }/_POSITION_ { 0 330 -460 }/' "$D/POLYGON01" >"$S/demo.higher"
cp "$D/POLYGON01" "$S/demo.first"
start "$D"
measure "bundled level file (cp)" 300 260 40 40 changed "cp $S/demo.higher $D/POLYGON01" changed "cp $S/demo.first $D/POLYGON01"
stop
# The same at 320 x 240 without multisampling: where drawing in software takes less of a frame, what is left is
# the settling, the reload and a frame.
printf 'SCREEN = 320, 240\nMULTISAMPLE_TYPE = 0\n' >"$D/ini.txt"
start "$D"
measure "bundled level, 320 x 240" 100 80 120 80 changed "cp $S/demo.higher $D/POLYGON01" changed "cp $S/demo.first $D/POLYGON01"
stop
