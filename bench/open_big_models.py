#!/usr/bin/env python3
"""How long big models take to open, and how much memory: krovane-shot MODEL (its import included) beside
Debian's f3d rendering the same file to a picture, on glb files of 2 and 5.8 million triangles that
make_big_glb writes into a temporary folder.

    bench/open_big_models.py BUILD_DIR [--runs 5] [--size 800x600] [--triangles 2e6,5.8e6]

Each figure is the median of --runs runs: the wall time, and the peak memory of the whole process tree (the
program, the import it starts, and for f3d the virtual X server it needs without a display), the resident
sizes of the tree summed every 10 ms, or the largest single process's peak where that is more. Ours runs
cold (an empty model cache: the import runs) and warm (the cached import is loaded). f3d keeps no cache, so
it has one figure. Where f3d is not installed its rows are left out.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PAGE = os.sysconf("SC_PAGE_SIZE")


def tree(root):
    """The process ids of root and all its descendants."""
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        try:
            for task in os.listdir(f"/proc/{pid}/task"):
                with open(f"/proc/{pid}/task/{task}/children") as f:
                    todo += [int(c) for c in f.read().split()]
        except OSError:
            pass
    return found


def resident(pid):
    try:
        with open(f"/proc/{pid}/statm") as f:
            return int(f.read().split()[1]) * PAGE
    except (OSError, IndexError, ValueError):
        return 0


def measure(command, env):
    """(wall seconds, peak bytes of the tree, exit status) of one run."""
    start = time.monotonic()
    child = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    peak = 0
    while True:
        done, status, usage = os.wait4(child.pid, os.WNOHANG)
        if done:
            break
        peak = max(peak, sum(resident(p) for p in tree(child.pid)))
        time.sleep(0.01)
    wall = time.monotonic() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    err = child.stderr.read().decode(errors="replace")
    if child.returncode != 0:
        sys.stderr.write(f"{' '.join(command)}: exit {child.returncode}\n{err}")
    return wall, max(peak, usage.ru_maxrss * 1024), child.returncode


def median_of(runs, command, env, before=None):
    walls, peaks = [], []
    for _ in range(runs):
        if before:
            before()
        wall, peak, status = measure(command, env)
        if status != 0:
            return None
        walls.append(wall)
        peaks.append(peak)
    return statistics.median(walls), statistics.median(peaks) / 2**20


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--size", default="800x600")
    parser.add_argument("--triangles", default="2e6,5.8e6")
    args = parser.parse_args()
    shot = os.path.join(args.build, "tools", "krovane-shot")
    make = os.path.join(args.build, "bench", "make_big_glb")
    width, height = args.size.split("x")
    f3d = shutil.which("f3d")
    display = [] if os.environ.get("DISPLAY") else (["xvfb-run", "-a"] if shutil.which("xvfb-run") else None)
    work = tempfile.mkdtemp(prefix="krovane-big-")
    try:
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"))
        env.pop("KROVANE_NO_CACHE", None)
        print(f"| model | program | median wall s | median peak MB |\n|---|---|---|---|")
        for count in args.triangles.split(","):
            model = os.path.join(work, f"big_{count}.glb")
            subprocess.run([make, model, count], check=True, stdout=subprocess.DEVNULL)
            name = f"{float(count) / 1e6:g}M triangles"
            ours = [shot, "--frames", "1", "--bare", "--size", args.size, "--out", os.path.join(work, "ours.png"),
                    model]
            empty = lambda: shutil.rmtree(env["XDG_CACHE_HOME"], ignore_errors=True)
            rows = [("krovane-shot, cold", median_of(args.runs, ours, env, empty))]
            rows.append(("krovane-shot, warm", median_of(args.runs, ours, env)))
            if f3d and display is not None:
                theirs = display + [f3d, "--output", os.path.join(work, "f3d.png"), "--resolution",
                                    f"{width},{height}", model]
                rows.append(("f3d" + (" (under xvfb-run)" if display else ""), median_of(args.runs, theirs, env)))
            for program, figures in rows:
                shown = f"{figures[0]:.2f} | {figures[1]:.0f}" if figures else "failed | -"
                print(f"| {name} | {program} | {shown} |", flush=True)
            os.remove(model)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
