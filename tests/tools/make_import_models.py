"""Writes the import test's model in four formats: model.obj (+ .mtl),
model.gltf, model.glb and model.dae, with the texture tex/green.png.

The model, in the right-handed, y-up coordinates of those formats, faces its
viewer at +z: a green textured square (x, y from -100 to 100, z 0), a red
half in front of its left half (z 50) and a blue strip in front of its top
right (y 50 to 100, z 50); faces counter-clockwise seen from the front.
Seen the right way round from the front: red left, green bottom right, blue
top right.   python3 make_import_models.py FOLDER
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


def png(rgb, size=2):
    rows = b"".join(b"\0" + bytes(rgb) * size for _ in range(size))
    chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def obj(out):
    v = "".join("v %g %g %g\n" % c for q in QUADS for c in corners(q))
    vt = "".join("vt %g %g\n" % uv for uv in UVS)
    faces = "".join("usemtl %s\nf %s\n" % (q[0], " ".join("%d/%d/1" % (i * 4 + k + 1, k + 1) for k in range(4)))
                    for i, q in enumerate(QUADS))
    open(out + "/model.obj", "w").write("mtllib model.mtl\n" + v + vt + "vn 0 0 1\n" + faces)
    mtl = "".join("newmtl %s\nKd %g %g %g\n" % ((q[0],) + q[6]) for q in QUADS)
    open(out + "/model.mtl", "w").write(mtl.replace("Kd 1 1 1\n", "Kd 1 1 1\nmap_Kd tex/green.png\n", 1))


def gltf(out, binary):
    data, views, accessors, prims = b"", [], [], []

    def add(blob, target, accessor):
        nonlocal data
        views.append({"buffer": 0, "byteOffset": len(data), "byteLength": len(blob), "target": target})
        accessor["bufferView"] = len(views) - 1
        accessors.append(accessor)
        data += blob + b"\0" * (-len(blob) % 4)
        return len(accessors) - 1

    for i, q in enumerate(QUADS):
        c = corners(q)
        pos = add(b"".join(struct.pack("<3f", *p) for p in c), 34962,
                  {"componentType": 5126, "count": 4, "type": "VEC3",
                   "min": [min(p[k] for p in c) for k in range(3)], "max": [max(p[k] for p in c) for k in range(3)]})
        nrm = add(struct.pack("<3f", 0, 0, 1) * 4, 34962, {"componentType": 5126, "count": 4, "type": "VEC3"})
        uv = add(b"".join(struct.pack("<2f", u, 1 - v) for u, v in UVS), 34962,
                 {"componentType": 5126, "count": 4, "type": "VEC2"})
        idx = add(struct.pack("<6H", 0, 1, 2, 0, 2, 3), 34963, {"componentType": 5123, "count": 6, "type": "SCALAR"})
        prims.append({"attributes": {"POSITION": pos, "NORMAL": nrm, "TEXCOORD_0": uv}, "indices": idx, "material": i})
    image = {"uri": "tex/green.png"}
    if binary:
        blob = png((0, 200, 0))
        views.append({"buffer": 0, "byteOffset": len(data), "byteLength": len(blob)})
        data += blob + b"\0" * (-len(blob) % 4)
        image = {"bufferView": len(views) - 1, "mimeType": "image/png"}
    materials = [{"name": q[0], "pbrMetallicRoughness": {"baseColorFactor": list(q[6]) + [1], "metallicFactor": 0}}
                 for q in QUADS]
    materials[0]["pbrMetallicRoughness"]["baseColorTexture"] = {"index": 0}
    doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
           "meshes": [{"primitives": prims}], "materials": materials, "textures": [{"source": 0}],
           "images": [image], "bufferViews": views, "accessors": accessors,
           "buffers": [{"byteLength": len(data)}]}
    if not binary:
        doc["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64.b64encode(data).decode()
        open(out + "/model.gltf", "w").write(json.dumps(doc))
        return
    text = json.dumps(doc).encode()
    text += b" " * (-len(text) % 4)
    body = struct.pack("<I4s", len(text), b"JSON") + text + struct.pack("<I4s", len(data), b"BIN\0") + data
    open(out + "/model.glb", "wb").write(struct.pack("<4sII", b"glTF", 2, 12 + len(body)) + body)


def dae(out):
    fx, mats, geos, nodes = "", "", "", ""
    for q in QUADS:
        n = q[0]
        diffuse = ('<texture texture="samp" texcoord="UV"/>' if n == "green" else
                   "<color>%g %g %g 1</color>" % q[6])
        params = ('<newparam sid="surf"><surface type="2D"><init_from>green_png</init_from></surface></newparam>'
                  '<newparam sid="samp"><sampler2D><source>surf</source></sampler2D></newparam>' if n == "green" else "")
        fx += ('<effect id="%s-fx"><profile_COMMON>%s<technique sid="common"><phong><diffuse>%s</diffuse></phong>'
               "</technique></profile_COMMON></effect>" % (n, params, diffuse))
        mats += '<material id="%s" name="%s"><instance_effect url="#%s-fx"/></material>' % (n, n, n)
        pos = " ".join("%g" % x for p in corners(q) for x in p)
        uvs = " ".join("%g" % x for uv in UVS for x in uv)
        geos += ('<geometry id="%s-g"><mesh>'
                 '<source id="%s-p"><float_array id="%s-pa" count="12">%s</float_array><technique_common>'
                 '<accessor source="#%s-pa" count="4" stride="3"><param name="X" type="float"/>'
                 '<param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>'
                 '<source id="%s-t"><float_array id="%s-ta" count="8">%s</float_array><technique_common>'
                 '<accessor source="#%s-ta" count="4" stride="2"><param name="S" type="float"/>'
                 '<param name="T" type="float"/></accessor></technique_common></source>'
                 '<vertices id="%s-v"><input semantic="POSITION" source="#%s-p"/></vertices>'
                 '<triangles material="m" count="2"><input semantic="VERTEX" source="#%s-v" offset="0"/>'
                 '<input semantic="TEXCOORD" source="#%s-t" offset="0" set="0"/><p>0 1 2 0 2 3</p></triangles>'
                 "</mesh></geometry>" % ((n,) * 3 + (pos,) + (n,) * 3 + (uvs,) + (n,) * 5))
        nodes += ('<node id="%s-n"><instance_geometry url="#%s-g"><bind_material><technique_common>'
                  '<instance_material symbol="m" target="#%s"><bind_vertex_input semantic="UV" '
                  'input_semantic="TEXCOORD" input_set="0"/></instance_material></technique_common></bind_material>'
                  "</instance_geometry></node>" % (n, n, n))
    open(out + "/model.dae", "w").write(
        '<?xml version="1.0" encoding="utf-8"?>\n'
        '<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">'
        '<asset><unit name="meter" meter="1"/><up_axis>Y_UP</up_axis></asset>'
        '<library_images><image id="green_png"><init_from>tex/green.png</init_from></image></library_images>'
        "<library_effects>%s</library_effects><library_materials>%s</library_materials>"
        "<library_geometries>%s</library_geometries>"
        '<library_visual_scenes><visual_scene id="scene">%s</visual_scene></library_visual_scenes>'
        '<scene><instance_visual_scene url="#scene"/></scene></COLLADA>\n' % (fx, mats, geos, nodes))


folder = sys.argv[1]
os.makedirs(folder + "/tex", exist_ok=True)
open(folder + "/tex/green.png", "wb").write(png((0, 200, 0)))
obj(folder)
gltf(folder, False)
gltf(folder, True)
dae(folder)
