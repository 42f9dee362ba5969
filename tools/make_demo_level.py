#!/usr/bin/env python3
"""Generates the bundled level in demo/: .x models, textures, the default
pictures, the mouse cursor, the level file, object files and the command base.

    make_demo_level.py                      the bundled level, into demo/
    make_demo_level.py --heavy DIR [LIGHTS] a level for measuring (100 objects of
                                            5,000 triangles), into DIR

Everything is made here from numbers, so the level carries nothing made
elsewhere. Run it from anywhere; it writes into the demo/ folder beside tools/.
The output is committed; run it again only after changing this script.
"""
import math
import os
import random
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "demo")


def path(*parts):
    p = os.path.join(ROOT, *parts)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    return p


# ---- pictures -----------------------------------------------------------------

def write_bmp(name, width, height, pixel):
    """A 24-bit BMP; pixel(x, y) gives (r, g, b) with y = 0 at the top."""
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((int(b) & 255, int(g) & 255, int(r) & 255))
        data += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path(*name.split("/")), "wb") as f:
        f.write(header + info + data)


def clamp(v):
    return max(0, min(255, v))


def noise_table(seed, size=64):
    rnd = random.Random(seed)
    return [[rnd.random() for _ in range(size)] for _ in range(size)]


def smooth_noise(table, x, y):
    size = len(table)
    x0, y0 = int(math.floor(x)) % size, int(math.floor(y)) % size
    x1, y1 = (x0 + 1) % size, (y0 + 1) % size
    fx, fy = x - math.floor(x), y - math.floor(y)
    fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
    top = table[y0][x0] * (1 - fx) + table[y0][x1] * fx
    bottom = table[y1][x0] * (1 - fx) + table[y1][x1] * fx
    return top * (1 - fy) + bottom * fy


def fractal(table, x, y, octaves=4):
    total, amplitude, scale = 0.0, 0.5, 1.0
    for _ in range(octaves):
        total += amplitude * smooth_noise(table, x * scale, y * scale)
        amplitude *= 0.5
        scale *= 2.0
    return total


def stone_tiles(x, y, n=noise_table(1)):
    # Square flagstones with dark joints and a mottled surface.
    tile = 64
    jx, jy = x % tile, y % tile
    joint = jx < 3 or jy < 3
    shade = fractal(n, x / 16.0, y / 16.0)
    variant = ((x // tile) * 7 + (y // tile) * 13) % 5
    base = 118 + variant * 9 + shade * 60
    if joint:
        base = 52 + shade * 20
    return clamp(base), clamp(base * 0.97), clamp(base * 0.9)


def marble(x, y, n=noise_table(2)):
    veins = math.sin(x / 9.0 + fractal(n, x / 24.0, y / 24.0) * 9.0)
    v = 200 + 45 * (1 - abs(veins)) ** 6 - 25 * fractal(n, x / 8.0, y / 8.0)
    return clamp(v), clamp(v * 0.97), clamp(v * 0.93)


def planks(x, y, n=noise_table(3)):
    # Wooden planks across the crate with a frame around them.
    border = x < 14 or x > 241 or y < 14 or y > 241
    grain = math.sin(y / 3.0 + fractal(n, x / 40.0, y / 6.0) * 6.0)
    plank = (y // 43) % 2
    base = 150 + 25 * grain + plank * 12
    if (y % 43) < 2:
        base = 70
    if border:
        base = 110 + 20 * grain
    return clamp(base), clamp(base * 0.72), clamp(base * 0.45)


def brushed_metal(x, y, n=noise_table(4)):
    v = 170 + 50 * fractal(n, x / 64.0, y / 1.5, 3)
    return clamp(v * 0.95), clamp(v), clamp(v * 1.05)


def write_textures():
    write_bmp("textures/stone.bmp", 256, 256, stone_tiles)
    write_bmp("textures/marble.bmp", 256, 256, marble)
    write_bmp("textures/crate.bmp", 256, 256, planks)
    write_bmp("textures/metal.bmp", 256, 256, brushed_metal)
    # The engine's default pictures: plain colours for the markers, and the
    # picture shown where a model's own texture is missing (a magenta check).
    for name, colour in (("white", (255, 255, 255)), ("red", (255, 0, 0)), ("Blue", (0, 0, 255)),
                         ("yellow", (255, 255, 0))):
        write_bmp("textures/_def/%s.bmp" % name, 8, 8, lambda x, y, c=colour: c)
    write_bmp("textures/_def/def.bmp", 64, 64,
              lambda x, y: (255, 0, 255) if ((x // 8) + (y // 8)) % 2 else (40, 40, 40))


def write_cursor():
    """A 32 x 32 arrow cursor, 32-bit with alpha, hot spot at the tip."""
    size = 32
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            inside = x <= y * 0.55 and y < 22 and x >= 0
            stem = 5 <= x <= 8 and 14 <= y <= 26 and x >= (y - 14) * 0.2 + 4
            edge_inside = x <= y * 0.55 - 1.2 and y < 20
            if inside or stem:
                white = edge_inside or (6 <= x <= 7 and 15 <= y <= 25)
                row.append((255, 255, 255, 255) if white else (0, 0, 0, 255))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for r, g, b, a in pixels[y]:
            xor += bytes((b, g, r, a))
    mask = bytes(size * 4)  # all zero: the alpha channel decides
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + xor + mask
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 0, 0, len(image), 6 + 16)
    with open(path("mouse.cur"), "wb") as f:
        f.write(header + entry + image)


# ---- models -------------------------------------------------------------------

class Mesh:
    def __init__(self):
        self.positions, self.normals, self.uvs, self.faces, self.face_material = [], [], [], [], []

    def vertex(self, p, n, uv):
        self.positions.append(p)
        self.normals.append(n)
        self.uvs.append(uv)
        return len(self.positions) - 1

    def face(self, indices, material=0):
        self.faces.append(indices)
        self.face_material.append(material)


def fmt(v):
    return ("%.5f" % v).rstrip("0").rstrip(".") if v != 0 else "0"


def write_x(name, mesh, materials):
    """Text .x with one mesh: positions, faces, normals (one per vertex),
    texture coordinates and a material list."""
    out = ["xof 0303txt 0032", "// Made by tools/make_demo_level.py", ""]
    out.append("Mesh %s {" % name.split(".")[0])
    out.append(" %d;" % len(mesh.positions))
    out.append(",\n".join(" %s;%s;%s;" % tuple(fmt(c) for c in p) for p in mesh.positions) + ";")
    out.append(" %d;" % len(mesh.faces))
    out.append(",\n".join(" %d;%s;" % (len(f), ",".join(map(str, f))) for f in mesh.faces) + ";")
    out.append(" MeshNormals {")
    out.append("  %d;" % len(mesh.normals))
    out.append(",\n".join("  %s;%s;%s;" % tuple(fmt(c) for c in n) for n in mesh.normals) + ";")
    out.append("  %d;" % len(mesh.faces))
    out.append(",\n".join("  %d;%s;" % (len(f), ",".join(map(str, f))) for f in mesh.faces) + ";")
    out.append(" }")
    out.append(" MeshTextureCoords {")
    out.append("  %d;" % len(mesh.uvs))
    out.append(",\n".join("  %s;%s;" % (fmt(u), fmt(v)) for u, v in mesh.uvs) + ";")
    out.append(" }")
    out.append(" MeshMaterialList {")
    out.append("  %d;" % len(materials))
    out.append("  %d;" % len(mesh.faces))
    out.append(",\n".join("  %d" % m for m in mesh.face_material) + ";;")
    for diffuse, power, specular, texture in materials:
        out.append("  Material {")
        out.append("   %s;%s;%s;%s;;" % tuple(fmt(c) for c in diffuse))
        out.append("   %s;" % fmt(power))
        out.append("   %s;%s;%s;;" % tuple(fmt(c) for c in specular))
        out.append("   0;0;0;;")
        if texture:
            out.append('   TextureFilename { "%s"; }' % texture)
        out.append("  }")
    out.append(" }")
    out.append("}")
    with open(path("models", name), "w") as f:
        f.write("\n".join(out) + "\n")


def box(sx, sy, sz, top_material=0, uv_scale=1.0, y0=0.0):
    """An axis-aligned box standing on y = y0, centred on x and z."""
    m = Mesh()
    hx, hz = sx / 2.0, sz / 2.0
    faces = [  # normal, corner order seen from outside (clockwise, left-handed)
        ((0, 0, -1), [(-hx, 0, -hz), (-hx, sy, -hz), (hx, sy, -hz), (hx, 0, -hz)]),
        ((0, 0, 1), [(hx, 0, hz), (hx, sy, hz), (-hx, sy, hz), (-hx, 0, hz)]),
        ((-1, 0, 0), [(-hx, 0, hz), (-hx, sy, hz), (-hx, sy, -hz), (-hx, 0, -hz)]),
        ((1, 0, 0), [(hx, 0, -hz), (hx, sy, -hz), (hx, sy, hz), (hx, 0, hz)]),
        ((0, 1, 0), [(-hx, sy, -hz), (-hx, sy, hz), (hx, sy, hz), (hx, sy, -hz)]),
        ((0, -1, 0), [(-hx, 0, hz), (-hx, 0, -hz), (hx, 0, -hz), (hx, 0, hz)]),
    ]
    uvs = [(0, 1), (0, 0), (1, 0), (1, 1)]
    for normal, corners in faces:
        idx = [m.vertex((x, y + y0, z), normal, (u * uv_scale, v * uv_scale)) for (x, y, z), (u, v) in zip(corners, uvs)]
        m.face(idx, top_material if normal == (0, 1, 0) else 0)
    return m


def ground(size, tiles):
    m = Mesh()
    h = size / 2.0
    idx = [m.vertex((x, 0, z), (0, 1, 0), (u, v)) for (x, z), (u, v) in
           zip([(-h, -h), (-h, h), (h, h), (h, -h)], [(0, tiles), (0, 0), (tiles, 0), (tiles, tiles)])]
    m.face(idx)
    return m


def cylinder(radius, height, segments):
    m = Mesh()
    for i in range(segments):
        a0, a1 = 2 * math.pi * i / segments, 2 * math.pi * (i + 1) / segments
        quad = []
        for a, u in ((a0, i / segments), (a1, (i + 1) / segments)):
            n = (math.sin(a), 0, math.cos(a))
            quad.append((n, u))
        v0 = m.vertex((quad[0][0][0] * radius, 0, quad[0][0][2] * radius), quad[0][0], (quad[0][1] * 2, 3))
        v1 = m.vertex((quad[0][0][0] * radius, height, quad[0][0][2] * radius), quad[0][0], (quad[0][1] * 2, 0))
        v2 = m.vertex((quad[1][0][0] * radius, height, quad[1][0][2] * radius), quad[1][0], (quad[1][1] * 2, 0))
        v3 = m.vertex((quad[1][0][0] * radius, 0, quad[1][0][2] * radius), quad[1][0], (quad[1][1] * 2, 3))
        m.face([v3, v2, v1, v0])
    # The top cap as one polygon (a fan from its first corner).
    top = [m.vertex((math.sin(2 * math.pi * i / segments) * radius, height,
                     math.cos(2 * math.pi * i / segments) * radius), (0, 1, 0),
                    (0.5 + 0.5 * math.sin(2 * math.pi * i / segments), 0.5 + 0.5 * math.cos(2 * math.pi * i / segments)))
           for i in range(segments)]
    m.face(top)
    return m


def sphere(radius, slices, stacks):
    m = Mesh()
    rows = []
    for j in range(stacks + 1):
        theta = math.pi * j / stacks
        row = []
        for i in range(slices + 1):
            phi = 2 * math.pi * i / slices
            n = (math.sin(theta) * math.sin(phi), math.cos(theta), math.sin(theta) * math.cos(phi))
            row.append(m.vertex(tuple(c * radius for c in n), n, (i / slices * 2, j / stacks)))
        rows.append(row)
    for j in range(stacks):
        for i in range(slices):
            a, b, c, d = rows[j][i], rows[j][i + 1], rows[j + 1][i + 1], rows[j + 1][i]
            m.face([a, d, c, b])
    return m


def torus(major, minor, segments, sides):
    m = Mesh()
    grid = []
    for i in range(segments + 1):
        u = 2 * math.pi * i / segments
        row = []
        for j in range(sides + 1):
            v = 2 * math.pi * j / sides
            n = (math.cos(v) * math.cos(u), math.sin(v), math.cos(v) * math.sin(u))
            p = ((major + minor * math.cos(v)) * math.cos(u), minor * math.sin(v), (major + minor * math.cos(v)) * math.sin(u))
            row.append(m.vertex(p, n, (i / segments * 4, j / sides)))
        grid.append(row)
    for i in range(segments):
        for j in range(sides):
            m.face([grid[i][j], grid[i][j + 1], grid[i + 1][j + 1], grid[i + 1][j]])
    return m


WHITE_SPEC = (0.6, 0.6, 0.6)


def write_models():
    write_x("ground.x", ground(900, 14), [((1, 1, 1, 1), 20, (0.2, 0.2, 0.2), "stone.bmp")])
    write_x("column.x", cylinder(11, 110, 32), [((1, 1, 1, 1), 30, WHITE_SPEC, "marble.bmp")])
    write_x("crate.x", box(40, 40, 40, top_material=1),
            [((1, 1, 1, 1), 10, (0.1, 0.1, 0.1), "crate.bmp"), ((0.85, 0.8, 0.7, 1), 10, (0.1, 0.1, 0.1), "crate.bmp")])
    write_x("plinth.x", box(90, 24, 90, top_material=1, uv_scale=2),
            [((0.9, 0.9, 0.95, 1), 40, WHITE_SPEC, "marble.bmp"), ((0.75, 0.78, 0.85, 1), 60, WHITE_SPEC, "marble.bmp")])
    write_x("sphere.x", sphere(22, 32, 20), [((0.95, 0.95, 1, 1), 60, (1, 1, 1), "metal.bmp")])
    write_x("torus.x", torus(34, 10, 48, 20), [((1.0, 0.72, 0.25, 1), 80, (1, 0.9, 0.6), "")])
    write_x("pillar.x", box(26, 70, 26, uv_scale=1),
            [((0.7, 0.75, 0.85, 1), 20, (0.3, 0.3, 0.3), "stone.bmp")])


# ---- level --------------------------------------------------------------------

OBJECTS = [
    # name, object file, position, rotation
    ("ground", "ground", (0, 0, 0), (0, 0, 0)),
    ("plinth", "plinth", (0, 0, 0), (0, 0, 0)),
    ("torus", "torus", (0, 24 + 44, 0), (90, 0, 30)),  # upright on the plinth
    ("orb", "sphere", (0, 24 + 44, 0), (0, 0, 0)),     # held inside the ring
    ("crate_a", "crate", (150, 0, -90), (0, 20, 0)),
    ("crate_b", "crate", (185, 0, -50), (0, -15, 0)),
    ("crate_c", "crate", (165, 40, -70), (0, 40, 0)),
    ("pillar_a", "pillar", (-170, 0, -110), (0, 45, 0)),
    ("pillar_b", "pillar", (-200, 0, 120), (0, 10, 0)),
    ("sphere_a", "sphere", (-120, 22, -150), (0, 0, 0)),
    ("sphere_b", "sphere", (110, 22, 160), (0, 0, 0)),
]
for k in range(6):
    a = 2 * math.pi * k / 6 + math.pi / 6
    OBJECTS.append(("column_%d" % (k + 1), "column", (round(260 * math.sin(a), 1), 0, round(260 * math.cos(a), 1)),
                    (0, 0, 0)))


def rotation(rx, ry, rz):
    """Rx * Ry * Rz for row vectors, angles in degrees, as the engine makes them."""
    def mul(a, b):
        return [[sum(a[i][k] * b[k][j] for k in range(3)) for j in range(3)] for i in range(3)]
    x, y, z = (math.radians(v) for v in (rx, ry, rz))
    mx = [[1, 0, 0], [0, math.cos(x), math.sin(x)], [0, -math.sin(x), math.cos(x)]]
    my = [[math.cos(y), 0, -math.sin(y)], [0, 1, 0], [math.sin(y), 0, math.cos(y)]]
    mz = [[math.cos(z), math.sin(z), 0], [-math.sin(z), math.cos(z), 0], [0, 0, 1]]
    return mul(mul(mx, my), mz)


def placement(where, angles):
    """The engine places a model first and turns it about the world's origin
    after (world = T * R), so the position that puts the model's origin at
    `where` is where * R^-1 = where * R^T."""
    r = rotation(*angles)
    return tuple(round(sum(where[j] * r[i][j] for j in range(3)), 2) for i in range(3))


def write_level():
    lines = ["# The bundled level: a plinth with a torus and an orb, a ring of columns,",
             "# crates, pillars and spheres on a stone floor, lit by three coloured lights.",
             "# Made by tools/make_demo_level.py.", ""]
    lines += ["_CAMERAS_ {",
              "    overview { _POSITION_ { 0 190 -460 } _LOOK_ { 0 40 0 } _MOVESPEED_ { 3 } }",
              "    crates   { _POSITION_ { 330 90 -280 } _LOOK_ { 150 30 -70 } _MOVESPEED_ { 2 } }",
              "    columns  { _POSITION_ { -380 60 200 } _LOOK_ { 0 60 0 } _MOVESPEED_ { 2 } }",
              "    above    { _POSITION_ { 10 520 -120 } _LOOK_ { 0 0 0 } _MOVESPEED_ { 4 } }",
              "}", ""]
    lines += ["_LIGHTS_ {",
              "    sun  { _POSITION_ { 180 320 -260 } _COLOR_ { 1 0.93 0.82 } _FALLOFF_ { 1400 }",
              "           _SPECULAR_ { 24 } _SPECULAR_INTENSY_ { 0.45 } _AMBIENT_ { 0.22 } _ATTENUATION_ { 0.5 } }",
              "    sky  { _POSITION_ { -320 180 160 } _COLOR_ { 0.35 0.5 0.95 } _FALLOFF_ { 1100 }",
              "           _SPECULAR_ { 16 } _SPECULAR_INTENSY_ { 0.3 } _ATTENUATION_ { 0.8 } }",
              "    ember { _POSITION_ { 60 70 120 } _COLOR_ { 1 0.5 0.15 } _FALLOFF_ { 420 }",
              "           _SPECULAR_ { 32 } _SPECULAR_INTENSY_ { 0.5 } _ATTENUATION_ { 1.2 } }",
              "}", ""]
    lines += ["_EFFECTS_ {",
              "    vek_Phong { _FILE_FX_ { fx\\vek_Phong.fx } _FILE_ { none } }",
              "}", ""]
    lines.append("_OBJECTS_ {")
    for name, kind, where, (rx, ry, rz) in OBJECTS:
        x, y, z = placement(where, (rx, ry, rz))
        lines.append("    %s { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\%s.DR }" % (name, kind))
        lines.append("        _POSITION_ { %s %s %s } _ROTATION_ { %s %s %s } }" % tuple(
            fmt(v) for v in (x, y, z, rx, ry, rz)))
    lines.append("}")
    with open(path("POLYGON01"), "w") as f:
        f.write("\n".join(lines) + "\n")
    for kind in sorted({k for _, k, _, _ in OBJECTS}):
        with open(path("objects", kind + ".DR"), "w") as f:
            f.write("# The %s of the bundled level.\n_MODEL_FILE_ { models\\%s.x }\n_FX_ { vek_Phong }\n" % (kind, kind))


def write_command_base():
    text = """# The console's commands, for reference: type the target word, then the command.
_COMMANDS_ {
    cam_mngr {
        camera.set { "camera.set N: make camera N current" }
        camera.next { "camera.next: the next camera" }
        camera.speed { "camera.speed S: the current camera's speed" }
    }
    obj_mngr {
        load.OBJECT_SIMPLE { "load.OBJECT_SIMPLE PATH: add an object from its parameter file" }
        show.list { "show.list: list the objects" }
        object.visible { "object.visible ID VALUE: show (1) or hide (0) an object" }
    }
    console { "console TEXT: write TEXT to the log" }
}
"""
    with open(path("GlobalCommandBase.DR"), "w") as f:
        f.write(text)


def write_heavy_level(folder, lights):
    """A level for measuring: 100 spheres of 5,000 triangles each on a 10 x 10
    grid, with `lights` lights, in `folder` (a copy of the bundled level's
    files, with its own level file, model and object file)."""
    global ROOT
    import shutil
    if os.path.exists(folder):
        shutil.rmtree(folder)
    shutil.copytree(ROOT, folder, ignore=shutil.ignore_patterns("LOG.dr"))
    ROOT = folder
    write_x("heavy.x", sphere(18, 50, 50), [((0.9, 0.9, 1, 1), 60, (1, 1, 1), "metal.bmp")])
    with open(path("objects", "heavy.DR"), "w") as f:
        f.write("_MODEL_FILE_ { models\\heavy.x }\n_FX_ { vek_Phong }\n")
    colours = ["1 0.93 0.82", "0.35 0.5 0.95", "1 0.5 0.15", "0.5 1 0.5"]
    lines = ["_CAMERAS_ { overview { _POSITION_ { 0 420 -620 } _LOOK_ { 0 0 0 } } }", "_LIGHTS_ {"]
    for i in range(lights):
        a = 2 * math.pi * i / max(lights, 1)
        lines.append("    l%d { _POSITION_ { %s 250 %s } _COLOR_ { %s } _FALLOFF_ { 1600 } _AMBIENT_ { 0.15 } }" % (
            i, fmt(300 * math.sin(a)), fmt(300 * math.cos(a)), colours[i % len(colours)]))
    lines += ["}", "_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\\vek_Phong.fx } _FILE_ { none } } }", "_OBJECTS_ {"]
    for i in range(100):
        x, z = (i % 10 - 4.5) * 60, (i // 10 - 4.5) * 60
        lines.append("    s%d { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\heavy.DR } "
                     "_POSITION_ { %s 18 %s } _ROTATION_ { 0 0 0 } }" % (i, fmt(x), fmt(z)))
    lines.append("}")
    with open(path("POLYGON01"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    import sys
    if len(sys.argv) >= 3 and sys.argv[1] == "--heavy":
        write_heavy_level(os.path.abspath(sys.argv[2]), int(sys.argv[3]) if len(sys.argv) > 3 else 3)
        sys.exit(0)
    write_textures()
    write_cursor()
    write_models()
    write_level()
    write_command_base()
