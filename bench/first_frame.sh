#!/usr/bin/env bash
# Time to the first frame and peak memory of whole runs of krovane-shot, for
# one or more builds side by side, alternating run by run so that both see
# the same load on the machine. Prints the median of each figure per build.
#
#   bench/first_frame.sh [-n RUNS] [-f FRAMES] LEVEL_DIR SHOT [SHOT...]
#
# SHOT is a krovane-shot binary (for example the old and the new build's
# tools/krovane-shot). Each run works in a fresh copy of LEVEL_DIR, renders
# 640 x 480 offscreen, and is measured by krovane-shot itself (start-up to the
# first frame) and by /usr/bin/time (peak resident memory, and the processor
# time of the whole run, which a busy machine disturbs less than the clock). With FRAMES above
# 1 the median frame rate of the frames after the first is shown too.
# Set KROVANE_NO_CACHE=1 to measure without the viewer's start-up cache.
set -euo pipefail
runs=5 frames=1
while getopts "n:f:" opt; do
    case $opt in
        n) runs=$OPTARG ;;
        f) frames=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ $# -ge 2 ] || { sed -n '2,14p' "$0"; exit 2; }
level=$(realpath "$1"); shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Each build keeps its start-up caches (ours and Mesa's shader cache) in a
# folder of its own under the temporary folder, warmed by one run that is not
# counted: the figures are those of a machine the viewer has started on before.
run() {  # run BUILD_NUMBER SHOT
    rm -rf "$work/level"; cp -r "$level" "$work/level"
    (cd "$work" && XDG_CACHE_HOME="$work/cache.$1" /usr/bin/time -f "peak %M cpu %U %S" "$2" --frames "$frames" \
        --out "$work/shot.png" level 2>&1)
}
for i in $(seq $#); do run "$i" "$(realpath "${!i}")" > /dev/null; done

median() { sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }

for ((r = 0; r < runs; ++r)); do
    for i in $(seq $#); do
        out=$(run "$i" "$(realpath "${!i}")")
        echo "$out" | sed -n 's/.*first frame \([0-9.]*\) ms.*/\1/p' >> "$work/ms.$i"
        echo "$out" | sed -n 's/^peak \([0-9]*\) .*/\1/p' >> "$work/kb.$i"
        echo "$out" | awk '$1 == "peak" {print ($4 + $5) * 1000}' >> "$work/cpu.$i"
        echo "$out" | sed -n 's/.* \([0-9.]*\) fps$/\1/p' >> "$work/fps.$i"
    done
done
for i in $(seq $#); do
    ms=$(median < "$work/ms.$i") kb=$(median < "$work/kb.$i") fps=$(median < "$work/fps.$i")
    cpu=$(median < "$work/cpu.$i")
    printf "%-44s first frame %6s ms  peak %4d MB  whole run cpu %6s ms" "${!i}" "$ms" $((kb / 1024)) "$cpu"
    [ "$frames" -gt 1 ] && printf "  %s fps" "$fps"
    echo
done
