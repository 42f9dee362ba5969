#!/usr/bin/env python3
"""Writes the levels the start-up benchmarks load, into a folder of their own:

    make_levels.py shared DIR          100 objects naming one model of 4,512
                                       triangles and one texture
    make_levels.py many DIR [N]        N objects (10,000 by default) over 20
                                       models and 20 textures, on a square grid
    make_levels.py cubes DIR [N] [L] [textured]
                                       N cubes of 12 triangles (10,000 by default)
                                       naming one model, untextured unless asked,
                                       on a square grid all in view, lit by L
                                       lights (1 to 3, 1 by default)
    make_levels.py demo DIR            the bundled level, with an ini.txt of
                                       640 x 480 without multisampling

Each level is a copy of the bundled level's files (effect, default pictures,
command base) with its own models, textures, object files and level file,
made from numbers by tools/make_demo_level.py's writers. Every level gets an
ini.txt of 640 x 480 without multisampling.
"""
import math
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import make_demo_level as demo  # noqa: E402

INI = "SCREEN = 640, 480\nBACK_RENDERER_COLOR = 20, 24, 32\nMULTISAMPLE_TYPE = 0\nMULTISAMPLEANTIALIAS = 0\nFILLMODE = 3\n"
EFFECTS = "_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\\vek_Phong.fx } _FILE_ { none } } }"
LIGHT = [" sun { _POSITION_ { 300 600 -400 } _COLOR_ { 1 0.95 0.85 } _FALLOFF_ { 100000 } _AMBIENT_ { 0.2 } }",
         " sky { _POSITION_ { -500 400 300 } _COLOR_ { 0.35 0.5 0.95 } _FALLOFF_ { 100000 } }",
         " ember { _POSITION_ { 0 150 0 } _COLOR_ { 1 0.5 0.15 } _FALLOFF_ { 100000 } }"]
LIGHTS = "_LIGHTS_ {" + LIGHT[0] + " }"


def start(folder):
    """A fresh copy of the bundled level's files in `folder`, made the writers' root."""
    bundled = demo.ROOT
    if os.path.exists(folder):
        shutil.rmtree(folder)
    shutil.copytree(bundled, folder, ignore=shutil.ignore_patterns("LOG.dr", "paramLoom2.0"))
    demo.ROOT = folder
    with open(demo.path("ini.txt"), "w") as f:
        f.write(INI)


def write_level(cameras, objects, lights=LIGHTS):
    """The level file: `objects` is a list of (object file, x, y, z, ry)."""
    lines = [cameras, lights, EFFECTS, "_OBJECTS_ {"]
    for i, (kind, x, y, z, ry) in enumerate(objects):
        lines.append("    o%d { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\%s.DR } "
                     "_POSITION_ { %s %s %s } _ROTATION_ { 0 %s 0 } }" % (i, kind, *(demo.fmt(v) for v in (x, y, z, ry))))
    lines.append("}")
    with open(demo.path("POLYGON01"), "w") as f:
        f.write("\n".join(lines) + "\n")


def write_object_file(kind, model):
    with open(demo.path("objects", kind + ".DR"), "w") as f:
        f.write("_MODEL_FILE_ { models\\%s }\n_FX_ { vek_Phong }\n" % model)


def shared(folder):
    start(folder)
    demo.write_bmp("textures/shared.bmp", 256, 256, demo.marble)
    demo.write_x("shared.x", demo.sphere(18, 48, 47), [((0.9, 0.9, 1, 1), 60, (1, 1, 1), "shared.bmp")])
    write_object_file("shared", "shared.x")
    objects = [("shared", (i % 10 - 4.5) * 60, 18, (i // 10 - 4.5) * 60, 0) for i in range(100)]
    write_level("_CAMERAS_ { overview { _POSITION_ { 0 420 -620 } _LOOK_ { 0 0 0 } } }", objects)


def many(folder, count):
    start(folder)
    painters = [demo.stone_tiles, demo.marble, demo.planks, demo.brushed_metal]
    for k in range(20):
        tint = 0.6 + 0.02 * k
        paint = painters[k % 4]
        demo.write_bmp("textures/t%02d.bmp" % k, 128, 128,
                       lambda x, y, p=paint, t=tint: tuple(c * t for c in p(x + k * 7, y)))
        material = [((1, 1, 1, 1), 30, (0.5, 0.5, 0.5), "t%02d.bmp" % k)]
        # Shapes of about 300 to 3,100 triangles (about 1,200 on average).
        if k % 2:
            mesh = demo.sphere(8, 16 + 2 * k, 10 + k)
        else:
            mesh = demo.torus(8, 3, 18 + 2 * k, 8 + k // 2)
        demo.write_x("m%02d.x" % k, mesh, material)
        write_object_file("m%02d" % k, "m%02d.x" % k)
    side = max(1, math.ceil(math.sqrt(count)))
    objects = [("m%02d" % (i % 20), (i % side - side / 2) * 24, 8, (i // side - side / 2) * 24, (i * 37) % 360)
               for i in range(count)]
    reach = side * 24
    write_level("_CAMERAS_ { overview { _POSITION_ { 0 %s %s } _LOOK_ { 0 0 0 } } }"
                % (demo.fmt(reach * 0.8), demo.fmt(-reach * 0.9)), objects)


def cubes(folder, count, lights, textured):
    start(folder)
    if textured:
        demo.write_bmp("textures/cube.bmp", 64, 64, demo.stone_tiles)
    demo.write_x("cube.x", demo.box(8, 8, 8),
                 [((0.85, 0.8, 0.7, 1), 30, (0.5, 0.5, 0.5), "cube.bmp" if textured else None)])
    write_object_file("cube", "cube.x")
    side = max(1, math.ceil(math.sqrt(count)))
    objects = [("cube", (i % side - side / 2) * 12, 0, (i // side - side / 2) * 12, (i * 37) % 360)
               for i in range(count)]
    reach = side * 12
    write_level("_CAMERAS_ { overview { _POSITION_ { 0 %s %s } _LOOK_ { 0 0 %s } } }"
                % (demo.fmt(reach * 1.5), demo.fmt(-reach * 1.1), demo.fmt(reach * 0.05)), objects,
                "_LIGHTS_ {" + "".join(LIGHT[:lights]) + " }")


def bundled(folder):
    start(folder)


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in ("shared", "many", "cubes", "demo"):
        sys.exit(__doc__)
    target = os.path.abspath(sys.argv[2])
    if sys.argv[1] == "shared":
        shared(target)
    elif sys.argv[1] == "many":
        many(target, int(sys.argv[3]) if len(sys.argv) > 3 else 10000)
    elif sys.argv[1] == "cubes":
        cubes(target, int(sys.argv[3]) if len(sys.argv) > 3 else 10000,
              min(3, max(1, int(sys.argv[4]))) if len(sys.argv) > 4 else 1, sys.argv[5:6] == ["textured"])
    else:
        bundled(target)
