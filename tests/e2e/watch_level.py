#!/usr/bin/env python3
"""Writes the small level of the watch tests and benchmark, and the files they change it with.
usage: watch_level.py LEVEL STOCK
LEVEL: a 320 x 240 window, one camera 3 units before a 2 x 2 square at the origin (on screen x 64..256,
y 24..216) with the red texture textures/tile.bmp, drawn through fx/flat.fx, which shows the texture as it is.
STOCK: red.bmp, green.bmp, blue.bmp; small.x (1 x 1: x 112..208), big.x (2 x 2); flat.fx, broken.fx, inverted.fx
(1 - the texture); POLYGON01 (the square moved 1.5 to the right), POLYGON01.first (as LEVEL's); model/ship.x (2 x 2,
red hull.bmp) and model/huge.x (800 x 800, blue huge.bmp)."""
import os, struct, sys
level, stock = sys.argv[1:]
def put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, "wb" if isinstance(data, bytes) else "w").write(data)
def bmp(rgb):  # 8 x 8, one colour
    r, g, b = bytes.fromhex(rgb)
    return b"BM" + struct.pack("<IHHIIiiHHIIiiII", 54 + 192, 0, 0, 54, 40, 8, 8, 1, 24, 0, 192, 0, 0, 0, 0) + bytes([b, g, r]) * 64
def square(half, texture="tile.bmp"):
    h = f"{half:.1f}"
    return (f"xof 0303txt 0032\nMesh square {{\n 4;\n -{h};-{h};0.0;,\n -{h};{h};0.0;,\n {h};{h};0.0;,\n {h};-{h};0.0;;\n"
            " 2;\n 3;0,1,2;,\n 3;0,2,3;;\n MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 3;0,0,0;; }\n"
            " MeshTextureCoords { 4; 0.0;1.0;, 0.0;0.0;, 1.0;0.0;, 1.0;1.0;; }\n"
            f" MeshMaterialList {{ 1; 2; 0, 0;; Material {{ 1.0;1.0;1.0;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;\n"
            f"  TextureFilename {{ \"{texture}\"; }} }} }}\n}}\n")
def effect(colour):
    return ("uniform mat4 mat_World_View_Proj;\nVARYING vec2 texCoord;\n"
            "vertex VS { void main() { gl_Position = mat_World_View_Proj * vec4(inPosition, 1.0); texCoord = inTexCoord; } }\n"
            f"fragment PS {{ out vec4 c; void main() {{ c = vec4({colour}, 1.0); }} }}\n"
            "technique vek_Phong { pass P0 { VertexShader = VS; PixelShader = PS; } }\n"
            "technique vek_Phong_alpha { pass P0 { VertexShader = VS; PixelShader = PS; } }\n")
def polygon(x):
    return ("_CAMERAS_ { front { _POSITION_ { 0 0 -3 } _LOOK_ { 0 0 0 } } }\n"
            "_LIGHTS_ { key { _POSITION_ { 0 0 -3 } } }\n"
            "_EFFECTS_ { flat { _FILE_FX_ { fx\\flat.fx } _FILE_ { none } } }\n"
            "_OBJECTS_ { tile { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\square.DR }\n"
            f"  _POSITION_ {{ {x} 0 0 }} _ROTATION_ {{ 0 0 0 }} }} }}\n")
put(f"{level}/ini.txt", "SCREEN = 320, 240\nBACK_RENDERER_COLOR = 0, 0, 0\nMULTISAMPLE_TYPE = 0\n")
put(f"{level}/POLYGON01", polygon(0))
put(f"{level}/objects/square.DR", "_MODEL_FILE_ { models\\square.x }\n_FX_ { flat }\n")
put(f"{level}/models/square.x", square(1.0))
put(f"{level}/textures/tile.bmp", bmp("ff0000"))
put(f"{level}/fx/flat.fx", effect("texture(Texture0, texCoord).rgb"))
for name in ("white", "red", "Blue", "yellow"):
    put(f"{level}/textures/_def/{name}.bmp", bmp("ffffff"))
for name, rgb in (("red", "ff0000"), ("green", "00ff00"), ("blue", "0000ff")):
    put(f"{stock}/{name}.bmp", bmp(rgb))
put(f"{stock}/small.x", square(0.5))
put(f"{stock}/big.x", square(1.0))
put(f"{stock}/flat.fx", effect("texture(Texture0, texCoord).rgb"))
put(f"{stock}/broken.fx", "technique flat { pass P0 { VertexShader = nowhere; } ")
put(f"{stock}/inverted.fx", effect("1.0 - texture(Texture0, texCoord).rgb"))
put(f"{stock}/POLYGON01", polygon(1.5))
put(f"{stock}/POLYGON01.first", polygon(0))
put(f"{stock}/model/ship.x", square(1.0, "hull.bmp"))
put(f"{stock}/model/huge.x", square(400.0, "huge.bmp"))
put(f"{stock}/model/huge.bmp", bmp("0000ff"))
put(f"{stock}/model/hull.bmp", bmp("ff0000"))
