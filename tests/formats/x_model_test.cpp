// .x model files: text, binary and compressed forms give the same model;
// frames, materials, normals and polygons come out right; templates a viewer
// does not draw are skipped; and damaged or hostile files fail with a reason.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/x_model.h"

namespace {

using krovane::formats::AlphaMode;
using krovane::formats::MaterialAlpha;
using krovane::formats::XModel;
using krovane::formats::XVertex;

bool parse(const std::string& file, XModel& model, std::string& error) {
    return krovane::formats::parseXModel(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), model, error);
}

XModel load(const std::string& file) {
    XModel model;
    std::string error;
    EXPECT_TRUE(parse(file, model, error)) << error;
    return model;
}

// Parses what must fail: the model stays empty and the reason is given.
std::string failure(const std::string& file) {
    XModel model;
    std::string error;
    EXPECT_FALSE(parse(file, model, error) || error.empty()) << error;
    EXPECT_TRUE(model.vertices.empty() && model.indices.empty() && model.materials.empty() && model.subsets.empty());
    return error;
}

void expectVec(const float* v, float x, float y, float z) {
    EXPECT_TRUE(std::abs(v[0] - x) < 1e-5f && std::abs(v[1] - y) < 1e-5f && std::abs(v[2] - z) < 1e-5f)
        << v[0] << " " << v[1] << " " << v[2];
}

const float kCubePositions[] = {-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1, -1, -1, 1, 1, -1, 1, 1, 1, 1, -1, 1, 1};
const std::uint32_t kCubeFaces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 4, 7, 3},
                                        {1, 2, 6, 5}, {0, 1, 5, 4}, {3, 7, 6, 2}};
const float kCubeNormals[] = {0, 0, -1, 0, 0, 1, -1, 0, 0, 1, 0, 0, 0, -1, 0, 0, 1, 0};
const float kCubeUvs[] = {0, 0, 1, 0, 1, 1, 0, 1, 0.5f, 0, 0.5f, 0.5f, 0, 0.5f, 0.25f, 0.75f};

const char* const kCubeText = R"(xof 0303txt 0032
// A cube: quads, a normal per side, two materials by alternating sides.
template Mesh { <3d82ab44-62da-11cf-ab39-0020af71e433> DWORD nVertices; array Vector vertices[nVertices]; [...] }
Mesh Cube {
 8; -1;-1;-1;, 1;-1;-1;, 1;1;-1;, -1;1;-1;, -1;-1;1;, 1;-1;1;, 1;1;1;, -1;1;1;;
 6; 4;0,3,2,1;, 4;4,5,6,7;, 4;0,4,7,3;, 4;1,2,6,5;, 4;0,1,5,4;, 4;3,7,6,2;;
 MeshNormals { 6; 0;0;-1;, 0;0;1;, -1;0;0;, 1;0;0;, 0;-1;0;, 0;1;0;;
  6; 4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;; }
 MeshTextureCoords { 8; 0;0;, 1;0;, 1;1;, 0;1;, 0.5;0;, 0.5;0.5;, 0;0.5;, 0.25;0.75;; }
 MeshMaterialList { 2; 6; 0, 1, 0, 1, 0, 1;;
  Material Red { 1.0;0.0;0.0;0.5;; 12.5; 0.25;0.25;0.25;; 0.0;0.125;0.0;; }
  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { "tex\\Stone.BMP"; } }
 }
})";

struct Bin {
    std::string bytes;
    bool doubles;
    explicit Bin(bool d = false) : bytes(std::string("xof 0303bin ") + (d ? "0064" : "0032")), doubles(d) {}
    Bin& put(const void* p, std::size_t n) { return bytes.append(static_cast<const char*>(p), n), *this; }
    Bin& token(std::uint16_t id) { return put(&id, 2); }
    Bin& u32(std::uint32_t v) { return put(&v, 4); }
    Bin& name(const std::string& s) { return token(1).u32(std::uint32_t(s.size())).put(s.data(), s.size()); }
    Bin& ints(const std::vector<std::uint32_t>& v) {
        token(6).u32(std::uint32_t(v.size()));
        for (std::uint32_t x : v) u32(x);
        return *this;
    }
    Bin& floats(const std::vector<float>& v) {
        token(7).u32(std::uint32_t(v.size()));
        for (const double d : v) doubles ? put(&d, 8) : u32(std::bit_cast<std::uint32_t>(float(d)));
        return *this;
    }
    Bin& open() { return token(10); }
    Bin& close() { return token(11); }
    Bin& object(const std::string& type, const std::string& instance = "") {
        return (instance.empty() ? name(type) : name(type).name(instance)).open();
    }
};

std::string cubeBinary(bool doubles) {
    Bin b(doubles);
    // A template definition, which the loader skips.
    b.token(31).name("Mesh").open().token(5).put("0123456789abcdef", 16).token(41).name("nVertices").token(20);
    b.token(14).token(18).token(18).token(18).token(15).close();
    b.object("Material", "Red").floats({1, 0, 0, 0.5f, 12.5f, 0.25f, 0.25f, 0.25f, 0, 0.125f, 0}).close();
    b.object("Mesh", "Cube").ints({8}).floats(std::vector<float>(std::begin(kCubePositions), std::end(kCubePositions)));
    b.ints({6, 4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 4, 7, 3, 4, 1, 2, 6, 5, 4, 0, 1, 5, 4, 4, 3, 7, 6, 2});
    b.object("MeshNormals").ints({6}).floats(std::vector<float>(std::begin(kCubeNormals), std::end(kCubeNormals)));
    b.ints({6, 4, 0, 0, 0, 0, 4, 1, 1, 1, 1, 4, 2, 2, 2, 2, 4, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5}).close();
    b.object("MeshTextureCoords").ints({8}).floats(std::vector<float>(std::begin(kCubeUvs), std::end(kCubeUvs)));
    // The first material by reference, the second written in place.
    b.close().object("MeshMaterialList").ints({2, 6, 0, 1, 0, 1, 0, 1}).open().name("Red").close();
    b.object("Material").floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}).object("TextureFilename");
    const std::string texture = "tex\\\\Stone.BMP";
    b.token(2).u32(std::uint32_t(texture.size())).put(texture.data(), texture.size()).token(20);
    return b.close().close().close().close().bytes;
}

// The compressed form of a text or binary file, in blocks of `blockSize` bytes: one deflate
// stream flushed at each block's end, so that each block refers back to the data before it.
std::string compress(const std::string& file, std::size_t blockSize = 32768) {
    const std::uint32_t total = std::uint32_t(file.size());
    std::string out = file.substr(0, 8) + (file.compare(8, 4, "txt ") == 0 ? "tzip" : "bzip") + file.substr(12, 4);
    out.append(reinterpret_cast<const char*>(&total), 4);
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    for (std::size_t at = 16; at < file.size(); at += blockSize) {
        const std::size_t n = std::min(blockSize, file.size() - at);
        std::string packed(deflateBound(&z, uLong(n)) + 16, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(file.data() + at));
        z.avail_in = uInt(n);
        z.next_out = reinterpret_cast<Bytef*>(packed.data());
        z.avail_out = uInt(packed.size());
        EXPECT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
        packed.resize(packed.size() - z.avail_out);
        const std::uint16_t sizes[2] = {std::uint16_t(n), std::uint16_t(packed.size() + 2)};
        out.append(reinterpret_cast<const char*>(sizes), 4).append("CK").append(packed);
    }
    deflateEnd(&z);
    return out;
}

// Every byte of a model's vertices, indices, materials and subsets, to compare models whole.
std::string bytesOf(const XModel& m) {
    std::string out(reinterpret_cast<const char*>(m.vertices.data()), m.vertices.size() * sizeof(XVertex));
    out.append(reinterpret_cast<const char*>(m.indices.data()), m.indices.size() * 4);
    for (const auto& x : m.materials) {
        for (const auto* c : {&x.diffuse, &x.specular, &x.emissive})
            out.append(reinterpret_cast<const char*>(c), sizeof *c);
        out.append(reinterpret_cast<const char*>(&x.power), 4).append(x.textureFile).push_back('\0');
    }
    return out.append(reinterpret_cast<const char*>(m.subsets.data()), m.subsets.size() * sizeof m.subsets[0]);
}

std::vector<float> positions(const XModel& m) {
    std::vector<float> out;
    for (const XVertex& v : m.vertices) out.insert(out.end(), v.position, v.position + 3);
    return out;
}

std::vector<std::uint32_t> spans(const XModel& m) {
    std::vector<std::uint32_t> out;
    for (const auto& s : m.subsets) out.insert(out.end(), {s.firstTriangle, s.triangleCount});
    return out;
}

TEST(XModelCube, TextCubeSplitsCornersByNormalAndGroupsByMaterial) {
    const XModel m = load(kCubeText);
    ASSERT_TRUE(m.vertices.size() == 24 && m.indices.size() == 36);  // each corner of each side has its own normal
    ASSERT_EQ(spans(m), (std::vector<std::uint32_t>{0, 6, 6, 6}));
    // Subset 0 holds sides 0, 2, 4 in file order, subset 1 sides 1, 3, 5; each a fan from its first corner.
    for (int t = 0; t < 12; ++t) {
        const int side = (t / 2) % 3 * 2 + t / 6;
        for (int c = 0; c < 3; ++c) {
            const XVertex& v = m.vertices[m.indices[t * 3 + c]];
            const std::uint32_t corner = kCubeFaces[side][c == 0 ? 0 : c + t % 2];  // corners 0 1 2, then 0 2 3
            const float* p = &kCubePositions[corner * 3];
            expectVec(v.position, p[0], p[1], p[2]);
            expectVec(v.normal, kCubeNormals[side * 3], kCubeNormals[side * 3 + 1], kCubeNormals[side * 3 + 2]);
            EXPECT_TRUE(v.uv[0] == kCubeUvs[corner * 2] && v.uv[1] == kCubeUvs[corner * 2 + 1]) << t;
        }
    }
    const auto& r = m.materials[0];
    EXPECT_EQ((std::vector<float>{r.diffuse.r, r.diffuse.g, r.diffuse.a, r.power, r.specular.b, r.emissive.g}),
              (std::vector<float>{1, 0, 0.5f, 12.5f, 0.25f, 0.125f}));
    EXPECT_TRUE(r.textureFile.empty() && m.materials[1].textureFile == "tex\\\\Stone.BMP");  // as written
}

TEST(XModelCube, BinaryCompressedAndDoubleFormsGiveTheTextModel) {
    const std::string text = bytesOf(load(kCubeText));
    // Blocks of 97 and 50 bytes: many blocks, each using the ones before.
    std::vector<std::string> forms = {std::string(kCubeText).replace(12, 4, "0064"), compress(kCubeText),
                                      compress(kCubeText, 50)};
    for (const bool doubles : {false, true})
        for (const std::size_t block : {0, 32768, 97})
            forms.push_back(block ? compress(cubeBinary(doubles), block) : cubeBinary(doubles));
    for (const std::string& form : forms) EXPECT_TRUE(bytesOf(load(form)) == text) << &form - forms.data();
    // Over 32 KiB of vertices: blocks take the last 32 KiB before them as dictionary.
    std::string grid = "xof 0302txt 0032\nMesh { 10000;\n";
    for (int i = 0; i < 10000; ++i) grid += std::to_string(i % 100) + ".25;" + std::to_string(i / 100) + ".5;0;,\n";
    grid += "; 1; 3;0,1,9999;; }";
    const XModel plain = load(grid);
    ASSERT_EQ(plain.vertices.size(), 10000u);
    EXPECT_TRUE(bytesOf(load(compress(grid))) == bytesOf(plain));
}

TEST(XModelCube, WithoutNormalsSharedCornersRoundOverAndSplitOnesStayFlat) {
    // The cube without its normals: each of the 8 shared corners points out along its diagonal.
    const std::string text = kCubeText;
    const std::size_t normals = text.find(" MeshNormals"), uvs = text.find(" MeshTextureCoords");
    const XModel shared = load(text.substr(0, normals) + text.substr(uvs));
    ASSERT_TRUE(shared.normalsMade && shared.vertices.size() == 8 && !load(kCubeText).normalsMade);
    for (const XVertex& v : shared.vertices) {
        const float d = 1 / std::sqrt(3.0f);
        expectVec(v.normal, v.position[0] * d, v.position[1] * d, v.position[2] * d);
    }
    // Corners of their own where two faces meet square: each keeps its face's normal, not smoothed with the corner
    // at the same place; a face without area leaves its corner's normal as it was.
    const XModel split = load("xof 0303txt 0032\nMesh { 6; 0;0;0;, 1;0;0;, 0;1;0;, 0;0;0;, 0;1;0;, 0;0;1;;"
                              " 3; 3;0,1,2;, 3;3,4,5;, 3;0,0,0;; }");
    ASSERT_EQ(split.vertices.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) expectVec(split.vertices[i].normal, i < 3 ? 0.f : 1.f, 0, i < 3 ? 1.f : 0.f);
    // A face of one point alone: a zero normal, never NaN.
    for (const XVertex& v : load("xof 0303txt 0032\nMesh { 1; 1;1;1;; 1; 3;0,0,0;; }").vertices)
        expectVec(v.normal, 0, 0, 0);
}

TEST(XModelMeshes, PolygonsNormalsAndMaterialLists) {
    // Polygons fan; faces of fewer than 3 corners are dropped; no list gives the default material.
    XModel m = load(
        "xof 0303txt 0032\nMesh { 5; 0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;1;0;;\n"
        "  3; 5;0,1,2,3,4;, 2;0,1;, 1;4;; }");
    EXPECT_EQ(m.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    EXPECT_EQ(spans(m), (std::vector<std::uint32_t>{0, 3}));
    const krovane::formats::XMaterial& d = m.materials[0];
    EXPECT_TRUE(d.diffuse.r == 1 && d.diffuse.b == 1 && d.diffuse.a == 1 && d.power == 0 && d.specular.r == 0 &&
                d.emissive.r == 0 && d.textureFile.empty() && d.alpha == MaterialAlpha{});
    for (const XVertex& v : m.vertices) expectVec(v.normal, 0, 0, 1);  // made from the faces
    // Materials by name and in place; a list of one index for three faces; each mesh its own materials.
    // Our alpha template, declared as other readers need it: a mask, and a blend with a value for a later version.
    m = load(R"(xof 0303txt 0032
template KrovaneAlpha { <5B0E8C2A-3F71-4D6B-9A14-7C2E0B9D4F61> DWORD mode; FLOAT cutoff; [...] }
Material Blue { 0;0;1;1;; 5; 1;1;1;; 0;0;0;; TextureFilename { "C:\models\blue.png"; } KrovaneAlpha { 1; 0.25;; } }
Mesh first { 3; 0;0;0;, 1;0;0;, 0;1;0;; 3; 3;0,1,2;, 3;0,2,1;, 3;1,2,0;;
  MeshMaterialList { 3; 1; 2;; { Blue } Material Unused { 0.5;0.5;0.5;1;; 0; 0;0;0;; 0;0;0;; }
    Material Green { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; KrovaneAlpha { 2; 0.5; 7;; } } } }
Mesh second { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;0,2,1;; MeshMaterialList { 2; 2; 1, 0;; {Green} { Blue } } }
)");
    ASSERT_EQ(spans(m), (std::vector<std::uint32_t>{0, 0, 0, 0, 0, 3, 3, 1, 4, 1}));
    EXPECT_TRUE(m.materials[0].textureFile == "C:\\models\\blue.png" && m.materials[0].diffuse.b == 1);
    EXPECT_TRUE(m.materials[4].textureFile == m.materials[0].textureFile && m.materials[0].power == 5);
    EXPECT_TRUE(m.materials[2].diffuse.g == 1 && m.materials[3].diffuse.g == 1);  // [3]: the second mesh's "Green"
    EXPECT_TRUE(m.materials[0].alpha == (MaterialAlpha{AlphaMode::Mask, 0.25f}) &&
                m.materials[4].alpha == m.materials[0].alpha);
    EXPECT_TRUE(m.materials[1].alpha == MaterialAlpha{} &&
                m.materials[3].alpha == (MaterialAlpha{AlphaMode::Blend, 0.5f}));
    // The second mesh's faces swap places: face 1 (0,2,1) uses its first material.
    EXPECT_TRUE(m.vertices[m.indices[10]].position[1] == 1 && m.vertices[m.indices[13]].position[0] == 1);
}

TEST(XModelScenes, FramesMoveTheirMeshesAndWhatIsNotDrawnIsSkipped) {
    XModel m = load(R"(xof 0303txt 0032
Frame Root { FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 10,0,0,1;; }
  Frame Child {
    Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 2; 3;0,1,2;, 3;0,2,1;; MeshNormals { 1; 1;0;0;; 2; 3;0,0,0;, 3;0,0,0;; } }
    // The matrix may come after the mesh it moves: a quarter turn about z, then up 1.
    FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, 0,0,1,1;; } }
  Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; } }
Mesh { 3; 5;5;5;, 6;5;5;, 5;6;5;; 1; 3;0,1,2;; }
)");
    // Child mesh: (1,0,0) -> turn (0,1,0) -> up (0,1,1) -> scale (0,2,2) -> move (10,2,2), its two faces sharing
    // three vertices; the root's own mesh scaled and moved only; the last, outside any frame, as written.
    EXPECT_EQ(positions(m), (std::vector<float>{10, 2, 2, 8, 0, 2, 10, 0, 4, 10, 0, 0, 12, 0, 0, 10, 2, 0,  //
                                                5,  5, 5, 6, 5, 5, 5,  6, 5}));
    expectVec(m.vertices[0].normal, 0, 1, 0);  // turned and still unit length
    EXPECT_EQ(m.subsets.size(), 3u);           // a default material for each mesh

    // What a viewer does not draw is skipped: animation, skinning, custom templates.
    m = load(R"(xof 0303txt 0032
# Comments of both kinds, and a custom template with braces in a string.
template Custom { <01234567-89ab-cdef-0123-456789abcdef> STRING s; [...] }
Custom thing { "not a } brace"; Inner { 1; 2; { Ref } } }
AnimTicksPerSecond { 24; }
Frame Root { Mesh body { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
  XSkinMeshHeader { 1; 1; 1; } SkinWeights { "Root"; 2; 0, 99; 1.0, 0.5; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
  VertexDuplicationIndices { 3; 3; 0, 1, 2; } MeshVertexColors { 1; 0; 1;0;0;1;; } DeclData { 1; 2;0;3;0;; 3; 1, 2, 3; }
  MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; } } }
AnimationSet walk { Animation { { Root } AnimationKey { 0; 1; 0; 4; 1,0,0,0;;; } } }
)");
    EXPECT_TRUE(m.vertices.size() == 3 && m.indices.size() == 3 && m.vertices[1].uv[0] == 1 &&
                m.vertices[2].uv[1] == 1);
    // Missing and doubled separators, exponents, a plus sign and an undefined value.
    m = load("xof 0303txt 0032\nMesh{3 0 0 0,,; 1e0;0;+0;; -1.#IND00;2.5E-1;0;\n1;;3 0 1 2}\n");
    EXPECT_EQ(positions(m), (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 0.25f, 0}));
}

// A slanted triangle with its true normal, placed through two frames (mirrors, mirrors undoing each other, uneven
// scales; the outer frame also moves by 1, 2, 3): its corners still turn clockwise seen from the side its normal
// faces, and the normal stays square to the surface.
TEST(XModelScenes, MirroredAndUnevenlyScaledFramesKeepFacesFrontAndNormalsSquare) {
    const std::string id = "1,0,0,0, 0,1,0,0, 0,0,1,0", mirrorX = "-1,0,0,0, 0,1,0,0, 0,0,1,0",
                      mirrorY = "1,0,0,0, 0,-1,0,0, 0,0,1,0";
    // The outer and the inner frame's matrices.
    const std::pair<std::string, std::string> cases[] = {{mirrorX, id},
                                                         {id, mirrorY},
                                                         {mirrorX, mirrorY},
                                                         {"3,0,0,0, 0,1,0,0, 0,0,1,0", "0,1,0,0, -1,0,0,0, 0,0,1,0"},
                                                         {"-2,0,0,0, 0,1,0,0, 0,0,5,0", "0,0,1,0, 0,1,0,0, 1,0,0,0"}};
    for (const auto& [outer, inner] : cases) {
        const XModel m = load("xof 0303txt 0032\nFrame { FrameTransformMatrix { " + outer + ", 1,2,3,1;; } Frame { " +
                              "FrameTransformMatrix { " + inner + ", 0,0,0,1;; } Mesh { 3; 0;0;0;, 0;1;1;, 1;0;0;; " +
                              "1; 3;0,1,2;; MeshNormals { 1; 0;0.7071068;-0.7071068;; 1; 3;0,0,0;; } } } }");
        ASSERT_EQ(m.indices.size(), 3u);
        const float *p0 = m.vertices[m.indices[0]].position, *p1 = m.vertices[m.indices[1]].position,
                    *p2 = m.vertices[m.indices[2]].position;
        float n[3];  // (p1 - p0) x (p2 - p0)
        for (int c = 0, a = 1, b = 2; c < 3; ++c, a = (c + 1) % 3, b = (c + 2) % 3)
            n[c] = (p1[a] - p0[a]) * (p2[b] - p0[b]) - (p1[b] - p0[b]) * (p2[a] - p0[a]);
        const float length = std::hypot(n[0], n[1], n[2]);
        SCOPED_TRACE(outer + " / " + inner);
        expectVec(m.vertices[m.indices[0]].normal, n[0] / length, n[1] / length, n[2] / length);
    }
}

const std::string kTri = "3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;";

TEST(XModelFailures, EachRefusalSaysWhy) {
    std::string many = "xof 0303txt 0032\n";  // small meshes whose materials add up past the limit
    for (int i = 0; i < 40; ++i) many += "Mesh { " + kTri + " MeshMaterialList { 60000; 1; 0;; } }\n";
    const std::string h = "xof 0303txt 0032\n", packed = compress(cubeBinary(false));
    auto patched = [&](std::size_t at, const std::string& b) { return std::string(packed).replace(at, b.size(), b); };
    auto mat = [&](const std::string& inside) {
        return h + "Mesh { " + kTri + " MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; " +
               inside + " } } }";
    };
    const std::pair<std::string, std::string> cases[] = {
        {"", "empty file"},
        {"xof 0303", "too short for a .x header"},
        {"xyz 0303txt 0032\nMesh { 0; 0; }", "1:1: not a .x file (no \"xof \" header)"},
        {"xof 0303abc 0032\nMesh { 0; 0; }", "1:9: unknown .x format \"abc \""},
        {"xof 0303txt 0016\nMesh { 0; 0; }", "1:13: unknown float size \"0016\""},
        {h + "// nothing but a comment\n", "3:1: no mesh in the file"},
        {h + "Mesh {\n 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1;\n 3;0,1,3;;\n}", "5:8: face 0: index 3 out of range (3)"},
        {h + "Mesh { " + kTri + "\n MeshNormals { 1; 0;0;1;; 1; 3;0,1,0;; } }",
         "3:34: normal face 0: index 1 out of range (1)"},
        {h + "Mesh { " + kTri + "\n MeshMaterialList { 1; 1; 4;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }",
         "3:74: face 0: material 4 out of range (1)"},
        {mat("KrovaneAlpha { 3; 0.5;; }"), "2:132: alpha mode 3 is not 0, 1 or 2"},
        {mat("KrovaneAlpha { 1; -0.5;; }"), "2:135: alpha cutoff -0.500000 is not a finite number from 0 up"},
        {mat("KrovaneAlpha { 1;  }"), "2:136: expected a number"},
        {mat("KrovaneAlpha { \"blend\"; 0.5;; }"), "2:132: expected a number"},
        {h + "Mesh { 4000000000; 0;0;0;; 0; }", "2:8: vertex count 4000000000 is more than the file holds"},
        {h + "Mesh { 1; 0;0;0;; 1; 3000000000; 0;0;0;; }",
         "2:22: face index count 3000000000 is more than the file holds"},
        {h + "Mesh { -3; }", "2:8: expected a count or an index, found -3.000000"},
        {h + "Mesh { " + kTri + " MeshMaterialList { 4000000000; 1; 0;; } }",
         "2:67: material count 4000000000 is too large"},
        {many, "3:82: more than 65536 materials"},
        {Bin().object("Mesh").ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 7}).bytes,
         "byte 102: face 0: index 7 out of range (3)"},
        {Bin().object("Mesh").token(6).u32(0x7FFFFFFF).u32(1).close().bytes, "byte 28: truncated integer list"},
        {Bin(true).object("Mesh").ints({0xFFFFFFF0u}).floats({0, 0, 0}).close().bytes,
         "byte 34: vertex count 4294967280 is more than the file holds"},
        {Bin().token(1).u32(0xFFFFFFFFu).put("Mesh", 4).bytes, "byte 16: truncated name"},
        {Bin().token(99).bytes, "byte 16: unknown token 99"},
        {patched(16, "\xFF\xFF\xFF\xFF"), "byte 16: declared size 4294967295 is out of range"},
        {patched(24, "X"), "byte 24: block without its \"CK\" mark"},
        {patched(22, std::string(1, char(packed[22] + 1))), "byte 20: block size past the end of the file"},  // 1 over
        {patched(26, std::string(40, '\xFF')), "byte 20: damaged compressed block"},
    };
    for (const auto& [file, message] : cases) EXPECT_EQ(failure(file), message) << file.substr(0, 60);
}

TEST(XModelFailures, EveryTruncationFailsCleanly) {
    for (const std::string& file : {std::string(kCubeText), cubeBinary(false), cubeBinary(true),
                                    compress(cubeBinary(false), 200), compress(kCubeText, 200)})
        for (std::size_t n = 0; n + 1 < file.size(); ++n) ASSERT_FALSE(failure(file.substr(0, n)).empty()) << n;
}

TEST(XModelFailures, DeepNestingIsLimitedButSkippedObjectsMayNest) {
    std::string frames = "xof 0303txt 0032\n";
    for (int i = 0; i < 64; ++i) frames += "Frame {\n";
    const std::string mesh = "Mesh { " + kTri + " }" + std::string(64, '}');
    EXPECT_EQ(load(frames + mesh).indices.size(), 3u);
    EXPECT_EQ(failure(frames + "Frame {\n" + mesh + "}"), "66:8: frames nested more than 64 deep");
    // Skipped data nests without recursion, so any depth is only slow, never a crash.
    const std::string braces = std::string(200000, '{') + std::string(200000, '}');
    EXPECT_EQ(load("xof 0303txt 0032\nMesh { " + kTri + " Extra " + braces + " }").indices.size(), 3u);
}

XModel loadShared(const std::filesystem::path& path, bool expectOk = true) {
    std::ifstream in(std::filesystem::path(KROVANE_SHARED_MODELS) / path, std::ios::binary);
    XModel model;
    std::string error;
    const bool ok = parse(std::string(std::istreambuf_iterator<char>(in), {}), model, error);
    EXPECT_TRUE(expectOk ? ok : !ok && !error.empty()) << path << ": " << error;
    return model;
}

TEST(XModelConformance, EveryFileLoadsConsistentlyOrFailsCleanly) {
    if (!std::filesystem::is_directory(KROVANE_SHARED_MODELS)) GTEST_SKIP() << "skipped: no " KROVANE_SHARED_MODELS;
    int loaded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(KROVANE_SHARED_MODELS)) {
        const std::string name = entry.path().filename().string(), ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".x" && ext != ".X" && name != "OV_GetNextToken")) continue;
        const bool bad = name == "invalid_empty.x" || name == "OV_GetNextToken";
        const XModel model = loadShared(entry.path(), !bad);
        if (bad || model.indices.empty()) continue;
        ++loaded;
        std::size_t triangles = 0;  // one subset per material, together all triangles
        for (const auto& s : model.subsets) triangles += s.triangleCount;
        EXPECT_TRUE(model.subsets.size() == model.materials.size() && triangles * 3 == model.indices.size()) << name;
        for (std::uint32_t i : model.indices) ASSERT_LT(i, model.vertices.size()) << name;
    }
    EXPECT_GT(loaded, 20);
    // A real writer's binary and compressed forms of one model; 56 compressed blocks.
    EXPECT_EQ(positions(loadShared("assimp/test_cube_compressed.x")), positions(loadShared("assimp/test_cube_text.x")));
    const XModel skull = loadShared("dxsdk/misc/skullocc.x");  // a model without normals
    EXPECT_EQ(skull.indices.size(), 60339u * 3);
    EXPECT_TRUE(skull.normalsMade);
    for (const XVertex& v : skull.vertices)
        ASSERT_NEAR(v.normal[0] * v.normal[0] + v.normal[1] * v.normal[1] + v.normal[2] * v.normal[2], 1.0f, 1e-4f);
}

}  // namespace
