"""Writes the import test model: model.obj + .mtl, model.gltf and model.glb (texture inside); texture tex/green.png.
Right-handed, y-up, facing +z, faces counter-clockwise from the front: a green textured square (x, y -100..100, z 0),
a red half before its left half, a blue strip before its top right (z 50).   python3 make_import_models.py FOLDER
Beside it, glTF models for the size, side and texture-name cases: sided.gltf (the square, double-sided), wood.gltf
(two halves with different textures both named wood.png), oak.gltf and elm.gltf (one texture named wood.png each,
oak's the same as wood's first), colour.obj (vertex colours, a face without area, a line and a point), and
alpha.gltf: a MASK left half textured green with its top half transparent (tex/cut.png), a BLEND red right half at
half alpha (z 50), and an opaque blue quarter behind its top (after it in the file, so drawn after it unless blended
subsets wait).
"""
import base64, json, os, struct, sys, zlib

QUADS = [  # name, x0, x1, y0, y1, z, colour
    ("green", -100, 100, -100, 100, 0, (1, 1, 1)),
    ("red", -100, 0, -100, 100, 50, (1, 0, 0)),
    ("blue", 0, 100, 50, 100, 50, (0, 0, 1)),
]
UVS = [(0, 0), (1, 0), (1, 1), (0, 1)]


def corners(q):
    _, x0, x1, y0, y1, z, _ = q
    return [(x0, y0, z), (x1, y0, z), (x1, y1, z), (x0, y1, z)]


def png(rgb, size=2, alpha=None):  # alpha(row): that row's alpha, for an RGBA picture
    pixel = lambda y: bytes(rgb) if alpha is None else bytes(rgb) + bytes([alpha(y)])
    rows = b"".join(b"\0" + pixel(y) * size for y in range(size))
    chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    kind = 2 if alpha is None else 6
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, kind, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def obj(out):
    v = "".join("v %g %g %g\n" % c for q in QUADS for c in corners(q))
    vt = "".join("vt %g %g\n" % uv for uv in UVS)
    faces = "".join("usemtl %s\nf %s\n" % (q[0], " ".join("%d/%d/1" % (i * 4 + k + 1, k + 1) for k in range(4)))
                    for i, q in enumerate(QUADS))
    open(out + "/model.obj", "w").write("mtllib model.mtl\n" + v + vt + "vn 0 0 1\n" + faces)
    mtl = "".join("newmtl %s\nKd %g %g %g\n" % ((q[0],) + q[6]) for q in QUADS)
    open(out + "/model.mtl", "w").write(mtl.replace("Kd 1 1 1\n", "Kd 1 1 1\nmap_Kd tex/green.png\n", 1))


def gltf(out, binary, name="model", quads=QUADS, textures=("tex/green.png",), double_sided=False, alpha=()):
    data, views, accessors, prims = b"", [], [], []

    def add(blob, target, accessor):
        nonlocal data
        views.append({"buffer": 0, "byteOffset": len(data), "byteLength": len(blob), "target": target})
        accessor["bufferView"] = len(views) - 1
        accessors.append(accessor)
        data += blob + b"\0" * (-len(blob) % 4)
        return len(accessors) - 1

    for i, q in enumerate(quads):
        c = corners(q)
        pos = add(b"".join(struct.pack("<3f", *p) for p in c), 34962,
                  {"componentType": 5126, "count": 4, "type": "VEC3",
                   "min": [min(p[k] for p in c) for k in range(3)], "max": [max(p[k] for p in c) for k in range(3)]})
        nrm = add(struct.pack("<3f", 0, 0, 1) * 4, 34962, {"componentType": 5126, "count": 4, "type": "VEC3"})
        uv = add(b"".join(struct.pack("<2f", u, 1 - v) for u, v in UVS), 34962,
                 {"componentType": 5126, "count": 4, "type": "VEC2"})
        idx = add(struct.pack("<6H", 0, 1, 2, 0, 2, 3), 34963, {"componentType": 5123, "count": 6, "type": "SCALAR"})
        prims.append({"attributes": {"POSITION": pos, "NORMAL": nrm, "TEXCOORD_0": uv}, "indices": idx, "material": i})
    images = [{"uri": uri} for uri in textures]
    if binary:
        blob = png((0, 200, 0))
        views.append({"buffer": 0, "byteOffset": len(data), "byteLength": len(blob)})
        data += blob + b"\0" * (-len(blob) % 4)
        images = [{"bufferView": len(views) - 1, "mimeType": "image/png"}]
    materials = [{"name": q[0], "pbrMetallicRoughness": {"baseColorFactor": list(q[6]) + [1], "metallicFactor": 0},
                  "doubleSided": double_sided} for q in quads]
    for i in range(len(images)):
        materials[i]["pbrMetallicRoughness"]["baseColorTexture"] = {"index": i}
    for material, (mode, factor) in zip(materials, alpha):
        material["alphaMode"], material["pbrMetallicRoughness"]["baseColorFactor"][3] = mode, factor
    doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
           "meshes": [{"primitives": prims}], "materials": materials,
           "textures": [{"source": i} for i in range(len(images))],
           "images": images, "bufferViews": views, "accessors": accessors,
           "buffers": [{"byteLength": len(data)}]}
    if not binary:
        doc["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64.b64encode(data).decode()
        open(out + "/%s.gltf" % name, "w").write(json.dumps(doc))
        return
    text = json.dumps(doc).encode()
    text += b" " * (-len(text) % 4)
    body = struct.pack("<I4s", len(text), b"JSON") + text + struct.pack("<I4s", len(data), b"BIN\0") + data
    open(out + "/model.glb", "wb").write(struct.pack("<4sII", b"glTF", 2, 12 + len(body)) + body)


folder = sys.argv[1]
for sub, rgb in (("tex/green.png", (0, 200, 0)), ("a/wood.png", (200, 0, 0)), ("b/wood.png", (0, 0, 200))):
    os.makedirs(os.path.dirname(folder + "/" + sub), exist_ok=True)
    open(folder + "/" + sub, "wb").write(png(rgb))
obj(folder)
gltf(folder, False)
gltf(folder, True)
gltf(folder, False, "sided", QUADS[:1], double_sided=True)
halves = [("left", -100, 0, -100, 100, 0, (1, 1, 1)), ("right", 0, 100, -100, 100, 0, (1, 1, 1))]
gltf(folder, False, "wood", halves, ("a/wood.png", "b/wood.png"))
gltf(folder, False, "oak", halves[:1], ("a/wood.png",))
gltf(folder, False, "elm", halves[:1], ("b/wood.png",))
open(folder + "/tex/cut.png", "wb").write(png((0, 200, 0), 8, lambda y: 0 if y < 4 else 255))
gltf(folder, False, "alpha", [("mask", -100, 0, -100, 100, 0, (1, 1, 1)), ("blend", 0, 100, -100, 100, 50, (1, 0, 0)),
                              ("under", 0, 100, 0, 100, 0, (0, 0, 1))],
     ("tex/cut.png",), alpha=[("MASK", 1), ("BLEND", 0.5)])
open(folder + "/colour.obj", "w").write("v 0 0 0 1 0 0\nv 9 0 0 0 1 0\nv 0 9 0 0 0 1\nv 9 9 0\n"
                                        "f 1 2 3\nf 1 1 2\nl 1 4\np 4\n")
