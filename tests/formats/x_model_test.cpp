// .x model files: text, binary and compressed forms give the same model;
// frames, materials, normals and polygons come out right; templates a viewer
// does not draw are skipped; and damaged or hostile files fail with a reason.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "formats/x_model.h"
#include "temp_dir.h"

namespace {

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
    std::string error = "(none)";
    EXPECT_FALSE(parse(file, model, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(model.vertices.empty() && model.indices.empty() && model.materials.empty() && model.subsets.empty());
    return error;
}

// --- a cube with a normal per side and two materials, in every form ---

const float kCubePositions[] = {-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1, -1, -1, 1, 1, -1, 1, 1, 1, 1, -1, 1, 1};
const std::uint32_t kCubeFaces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 4, 7, 3},
                                        {1, 2, 6, 5}, {0, 1, 5, 4}, {3, 7, 6, 2}};
const float kCubeNormals[] = {0, 0, -1, 0, 0, 1, -1, 0, 0, 1, 0, 0, 0, -1, 0, 0, 1, 0};
const float kCubeUvs[] = {0, 0, 1, 0, 1, 1, 0, 1, 0.5f, 0, 0.5f, 0.5f, 0, 0.5f, 0.25f, 0.75f};

const char* const kCubeText = R"(xof 0303txt 0032
// A cube: quads, a normal per side, two materials by alternating sides.
template Mesh {
 <3d82ab44-62da-11cf-ab39-0020af71e433>
 DWORD nVertices;
 array Vector vertices[nVertices];
 [...]
}
Mesh Cube {
 8;
 -1;-1;-1;, 1;-1;-1;, 1;1;-1;, -1;1;-1;,
 -1;-1;1;, 1;-1;1;, 1;1;1;, -1;1;1;;
 6;
 4;0,3,2,1;, 4;4,5,6,7;, 4;0,4,7,3;,
 4;1,2,6,5;, 4;0,1,5,4;, 4;3,7,6,2;;
 MeshNormals {
  6;
  0;0;-1;, 0;0;1;, -1;0;0;, 1;0;0;, 0;-1;0;, 0;1;0;;
  6;
  4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;;
 }
 MeshTextureCoords {
  8;
  0;0;, 1;0;, 1;1;, 0;1;, 0.5;0;, 0.5;0.5;, 0;0.5;, 0.25;0.75;;
 }
 MeshMaterialList {
  2;
  6;
  0, 1, 0, 1, 0, 1;;
  Material Red {
   1.0;0.0;0.0;0.5;;
   12.5;
   0.25;0.25;0.25;;
   0.0;0.125;0.0;;
  }
  Material {
   1;1;1;1;;
   0;
   0;0;0;;
   0;0;0;;
   TextureFilename { "tex\\Stone.BMP"; }
  }
 }
})";

// Binary .x files, token by token.
class Bin {
public:
    Bin(const char* format, bool doubles) : doubles_(doubles) {
        bytes_ = std::string("xof 0303") + format + (doubles ? "0064" : "0032");
    }
    Bin& token(std::uint16_t id) { return put(&id, 2); }
    Bin& name(const std::string& s) { return token(1).u32(std::uint32_t(s.size())).put(s.data(), s.size()); }
    Bin& string(const std::string& s) {
        return token(2).u32(std::uint32_t(s.size())).put(s.data(), s.size()).token(20);
    }
    Bin& guid() { return token(5).put("0123456789abcdef", 16); }
    Bin& ints(const std::vector<std::uint32_t>& v) {
        token(6).u32(std::uint32_t(v.size()));
        for (std::uint32_t x : v) u32(x);
        return *this;
    }
    Bin& floats(const std::vector<float>& v) {
        token(7).u32(std::uint32_t(v.size()));
        for (float x : v) {
            const double d = x;
            doubles_ ? put(&d, 8) : put(&x, 4);
        }
        return *this;
    }
    Bin& open() { return token(10); }
    Bin& close() { return token(11); }
    Bin& object(const std::string& type, const std::string& instance = "") {
        name(type);
        if (!instance.empty()) name(instance);
        return open();
    }
    Bin& u32(std::uint32_t v) { return put(&v, 4); }
    Bin& put(const void* p, std::size_t n) {
        bytes_.append(static_cast<const char*>(p), n);
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
    bool doubles_;
};

std::string cubeBinary(bool doubles) {
    Bin b("bin ", doubles);
    // A template definition, which the loader skips.
    b.token(31).name("Mesh").open().guid().token(41).name("nVertices").token(20).token(14).token(18).token(18);
    b.token(18).token(15).close();
    b.object("Material", "Red").floats({1, 0, 0, 0.5f, 12.5f, 0.25f, 0.25f, 0.25f, 0, 0.125f, 0}).close();
    b.object("Mesh", "Cube").ints({8}).floats(std::vector<float>(std::begin(kCubePositions), std::end(kCubePositions)));
    std::vector<std::uint32_t> faces{6}, normalFaces{6};
    for (std::uint32_t f = 0; f < 6; ++f) {
        faces.push_back(4);
        normalFaces.push_back(4);
        faces.insert(faces.end(), std::begin(kCubeFaces[f]), std::end(kCubeFaces[f]));
        normalFaces.insert(normalFaces.end(), 4, f);
    }
    b.ints(faces);
    b.object("MeshNormals").ints({6}).floats(std::vector<float>(std::begin(kCubeNormals), std::end(kCubeNormals)));
    b.ints(normalFaces).close();
    b.object("MeshTextureCoords").ints({8}).floats(std::vector<float>(std::begin(kCubeUvs), std::end(kCubeUvs)));
    b.close();
    // The first material by reference, the second written in place.
    b.object("MeshMaterialList").ints({2, 6, 0, 1, 0, 1, 0, 1});
    b.open().name("Red").close();
    b.object("Material").floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    b.object("TextureFilename").string("tex\\\\Stone.BMP").close();
    b.close().close().close();
    return b.bytes();
}

void put16(std::string& s, std::uint32_t v) { s.append({char(v & 0xFF), char(v >> 8)}); }

// The compressed form of a text or binary file, in blocks of `blockSize`
// bytes, each deflated with the data before it as dictionary.
std::string compress(const std::string& file, std::size_t blockSize = 32768) {
    std::string out = file.substr(0, 16);
    out.replace(8, 4, file.compare(8, 4, "txt ") == 0 ? "tzip" : "bzip");
    const std::string body = file.substr(16);
    const std::uint32_t total = std::uint32_t(file.size());
    out.append(reinterpret_cast<const char*>(&total), 4);
    for (std::size_t at = 0; at < body.size(); at += blockSize) {
        const std::size_t n = std::min(blockSize, body.size() - at);
        z_stream z{};
        EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
        if (at > 0) {
            const std::size_t dict = std::min<std::size_t>(at, 32768);
            deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(body.data() + at - dict), uInt(dict));
        }
        std::string packed(deflateBound(&z, uLong(n)), '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + at));
        z.avail_in = uInt(n);
        z.next_out = reinterpret_cast<Bytef*>(packed.data());
        z.avail_out = uInt(packed.size());
        EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        packed.resize(z.total_out);
        deflateEnd(&z);
        put16(out, std::uint32_t(n));
        put16(out, std::uint32_t(packed.size() + 2));
        out += "CK" + packed;
    }
    return out;
}

void expectSameModel(const XModel& a, const XModel& b) {
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    for (std::size_t i = 0; i < a.vertices.size(); ++i)
        EXPECT_EQ(std::memcmp(&a.vertices[i], &b.vertices[i], sizeof(XVertex)), 0) << "vertex " << i;
    EXPECT_EQ(a.indices, b.indices);
    ASSERT_EQ(a.materials.size(), b.materials.size());
    for (std::size_t i = 0; i < a.materials.size(); ++i) {
        const auto &x = a.materials[i], &y = b.materials[i];
        const krovane::formats::ColorValue colours[3][2] = {
            {x.diffuse, y.diffuse}, {x.specular, y.specular}, {x.emissive, y.emissive}};
        for (const auto& c : colours) EXPECT_EQ(std::memcmp(&c[0], &c[1], sizeof c[0]), 0) << "material " << i;
        EXPECT_EQ(x.power, y.power);
        EXPECT_EQ(x.textureFile, y.textureFile);
    }
    ASSERT_EQ(a.subsets.size(), b.subsets.size());
    for (std::size_t i = 0; i < a.subsets.size(); ++i) {
        EXPECT_EQ(a.subsets[i].firstTriangle, b.subsets[i].firstTriangle);
        EXPECT_EQ(a.subsets[i].triangleCount, b.subsets[i].triangleCount);
    }
}

void expectVec(const float* v, float x, float y, float z) {
    EXPECT_NEAR(v[0], x, 1e-5f);
    EXPECT_NEAR(v[1], y, 1e-5f);
    EXPECT_NEAR(v[2], z, 1e-5f);
}

TEST(XModelCube, TextCubeSplitsCornersByNormalAndGroupsByMaterial) {
    const XModel m = load(kCubeText);
    ASSERT_EQ(m.vertices.size(), 24u);  // each corner of each side has its own normal
    ASSERT_EQ(m.indices.size(), 36u);
    ASSERT_EQ(m.subsets.size(), 2u);
    EXPECT_EQ(m.subsets[0].firstTriangle, 0u);
    EXPECT_EQ(m.subsets[0].triangleCount, 6u);
    EXPECT_EQ(m.subsets[1].firstTriangle, 6u);
    EXPECT_EQ(m.subsets[1].triangleCount, 6u);

    // Subset 0 holds sides 0, 2, 4 in file order, each a fan from its first corner.
    const int sides[2][3] = {{0, 2, 4}, {1, 3, 5}};
    for (int s = 0; s < 2; ++s) {
        for (int k = 0; k < 3; ++k) {
            const int side = sides[s][k];
            const std::uint32_t* face = kCubeFaces[side];
            const std::uint32_t fan[2][3] = {{face[0], face[1], face[2]}, {face[0], face[2], face[3]}};
            for (int t = 0; t < 2; ++t) {
                for (int c = 0; c < 3; ++c) {
                    const XVertex& v = m.vertices[m.indices[((s * 3 + k) * 2 + t) * 3 + c]];
                    const float* p = &kCubePositions[fan[t][c] * 3];
                    expectVec(v.position, p[0], p[1], p[2]);
                    const float* n = &kCubeNormals[side * 3];
                    expectVec(v.normal, n[0], n[1], n[2]);
                    EXPECT_EQ(v.uv[0], kCubeUvs[fan[t][c] * 2]);
                    EXPECT_EQ(v.uv[1], kCubeUvs[fan[t][c] * 2 + 1]);
                }
            }
        }
    }
    const auto& red = m.materials[0];
    EXPECT_EQ(red.diffuse.r, 1.0f);
    EXPECT_EQ(red.diffuse.g, 0.0f);
    EXPECT_EQ(red.diffuse.a, 0.5f);
    EXPECT_EQ(red.power, 12.5f);
    EXPECT_EQ(red.specular.b, 0.25f);
    EXPECT_EQ(red.emissive.g, 0.125f);
    EXPECT_EQ(red.textureFile, "");
    EXPECT_EQ(m.materials[1].textureFile, "tex\\\\Stone.BMP");  // as written, escapes and case kept
}

TEST(XModelCube, BinaryCompressedAndDoubleFormsGiveTheTextModel) {
    const XModel text = load(kCubeText);
    for (bool doubles : {false, true}) {
        SCOPED_TRACE(doubles ? "64-bit floats" : "32-bit floats");
        const std::string binary = cubeBinary(doubles);
        expectSameModel(load(binary), text);
        expectSameModel(load(compress(binary)), text);
        expectSameModel(load(compress(binary, 97)), text);  // many blocks, each using the ones before
    }
    std::string text64 = kCubeText;
    text64.replace(12, 4, "0064");
    expectSameModel(load(text64), text);
    expectSameModel(load(compress(kCubeText)), text);
    expectSameModel(load(compress(kCubeText, 50)), text);
}

TEST(XModelCube, LargeCompressedMeshAcrossFullBlocks) {
    // A grid big enough for several 32 KiB blocks, compressed and not.
    std::string text = "xof 0302txt 0032\nMesh {\n 10000;\n";
    for (int i = 0; i < 10000; ++i) text += std::to_string(i % 100) + ".25;" + std::to_string(i / 100) + ".5;0.0;,\n";
    text += " 9801;\n";
    for (int y = 0; y < 99; ++y)
        for (int x = 0; x < 99; ++x) {
            const int i = y * 100 + x;
            text += "4;" + std::to_string(i) + "," + std::to_string(i + 1) + "," + std::to_string(i + 101) + "," +
                    std::to_string(i + 100) + ";,\n";
        }
    text += ";\n}\n";
    const XModel plain = load(text);
    EXPECT_EQ(plain.vertices.size(), 10000u);
    EXPECT_EQ(plain.indices.size(), 9801u * 6);
    expectVec(plain.vertices[9999].position, 99.25f, 99.5f, 0);
    expectSameModel(load(compress(text)), plain);
}

// --- polygons, normals and materials ---

TEST(XModelMeshes, PolygonsFanAndShortFacesAreDropped) {
    const XModel m = load(R"(xof 0303txt 0032
Mesh { 5; 0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;1;0;;
  3; 5;0,1,2,3,4;, 2;0,1;, 1;4;; }
)");
    ASSERT_EQ(m.indices.size(), 9u);
    EXPECT_EQ(m.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    ASSERT_EQ(m.subsets.size(), 1u);  // the default material
    EXPECT_EQ(m.subsets[0].triangleCount, 3u);
    EXPECT_EQ(m.materials[0].diffuse.r, 1.0f);
    EXPECT_EQ(m.materials[0].diffuse.a, 1.0f);
    EXPECT_EQ(m.materials[0].power, 0.0f);
    EXPECT_EQ(m.materials[0].specular.r, 0.0f);
    for (const XVertex& v : m.vertices) expectVec(v.normal, 0, 0, 0);
}

TEST(XModelMeshes, SharedNormalsKeepSharedVertices) {
    // Normals indexed like the positions: no corner needs a vertex of its own.
    const XModel m = load(R"(xof 0303txt 0032
Mesh { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;; 2; 3;0,1,2;, 3;0,2,3;;
  MeshNormals { 4; 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;; 2; 3;0,1,2;, 3;0,2,3;; } }
)");
    EXPECT_EQ(m.vertices.size(), 4u);
    EXPECT_EQ(m.indices.size(), 6u);
}

TEST(XModelMaterials, ListsNamesAndShortIndexLists) {
    const XModel m = load(R"(xof 0303txt 0032
Material Blue { 0;0;1;1;; 5; 1;1;1;; 0;0;0;; TextureFilename { "C:\models\blue.png"; } }
Mesh first {
  3; 0;0;0;, 1;0;0;, 0;1;0;; 3; 3;0,1,2;, 3;0,2,1;, 3;1,2,0;;
  MeshMaterialList { 3; 1; 2;;
    { Blue }
    Material Unused { 0.5;0.5;0.5;1;; 0; 0;0;0;; 0;0;0;; }
    Material Green { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; }
  }
}
Mesh second {
  3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;0,2,1;;
  MeshMaterialList { 2; 2; 1, 0;; {Green} { Blue } }
}
)");
    // One index for three faces: all use material 2; then the second mesh's two.
    ASSERT_EQ(m.subsets.size(), 5u);
    const std::uint32_t counts[] = {0, 0, 3, 1, 1};
    for (int s = 0; s < 5; ++s) EXPECT_EQ(m.subsets[s].triangleCount, counts[s]) << s;
    EXPECT_EQ(m.subsets[2].firstTriangle, 0u);
    EXPECT_EQ(m.subsets[3].firstTriangle, 3u);
    EXPECT_EQ(m.materials[0].textureFile, "C:\\models\\blue.png");
    EXPECT_EQ(m.materials[0].diffuse.b, 1.0f);
    EXPECT_EQ(m.materials[2].diffuse.g, 1.0f);
    EXPECT_EQ(m.materials[3].diffuse.g, 1.0f);  // the second mesh's "Green"
    EXPECT_EQ(m.materials[4].textureFile, "C:\\models\\blue.png");
    // The second mesh's faces swap places: face 1 (0,2,1) uses its first material.
    expectVec(m.vertices[m.indices[10]].position, 0, 1, 0);
    expectVec(m.vertices[m.indices[13]].position, 1, 0, 0);
}

// --- frames ---

TEST(XModelFrames, NestedTransformsApplyChildThenParent) {
    const XModel m = load(R"(xof 0303txt 0032
Frame Root {
  FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 10,0,0,1;; }
  Frame Child {
    Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;;
      MeshNormals { 1; 1;0;0;; 1; 3;0,0,0;; } }
    // The matrix may come after the mesh it moves: a quarter turn about z, then up 1.
    FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, 0,0,1,1;; }
  }
  Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }
}
Mesh { 3; 5;5;5;, 6;5;5;, 5;6;5;; 1; 3;0,1,2;; }
)");
    ASSERT_EQ(m.vertices.size(), 9u);
    // Child mesh: (1,0,0) -> turn (0,1,0) -> up (0,1,1) -> scale (0,2,2) -> move (10,2,2).
    expectVec(m.vertices[0].position, 10, 2, 2);
    expectVec(m.vertices[1].position, 8, 0, 2);
    expectVec(m.vertices[2].position, 10, 0, 4);
    expectVec(m.vertices[0].normal, 0, 1, 0);  // turned and still unit length
    // Root's own mesh: scaled and moved only.
    expectVec(m.vertices[4].position, 12, 0, 0);
    // A mesh outside any frame stays as written.
    expectVec(m.vertices[8].position, 5, 6, 5);
    EXPECT_EQ(m.subsets.size(), 3u);  // a default material for each mesh
}

// --- what is skipped ---

TEST(XModelSkipping, AnimationSkinningAndCustomTemplatesAreSkipped) {
    const XModel m = load(R"(xof 0303txt 0032
# Comments of both kinds, and a custom template with braces in a string.
template Custom { <01234567-89ab-cdef-0123-456789abcdef> STRING s; [...] }
Custom thing { "not a } brace"; Inner { 1; 2; { Ref } } }
AnimTicksPerSecond { 24; }
Frame Root {
  Mesh body {
    3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
    XSkinMeshHeader { 1; 1; 1; }
    SkinWeights { "Root"; 2; 0, 99; 1.0, 0.5; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
    VertexDuplicationIndices { 3; 3; 0, 1, 2; }
    MeshVertexColors { 1; 0; 1;0;0;1;; }
    DeclData { 1; 2;0;3;0;; 3; 1, 2, 3; }
    MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }
  }
}
AnimationSet walk {
  Animation { { Root } AnimationKey { 0; 1; 0; 4; 1,0,0,0;;; } }
}
)");
    EXPECT_EQ(m.vertices.size(), 3u);
    EXPECT_EQ(m.indices.size(), 3u);
    EXPECT_EQ(m.vertices[1].uv[0], 1.0f);
}

TEST(XModelSkipping, LooseSeparatorsAndOddNumbers) {
    // Missing and doubled separators, exponents, a plus sign and an undefined value.
    const XModel m = load(R"(xof 0303txt 0032
Mesh{3 0 0 0,,; 1e0;0;+0;; -1.#IND00;2.5E-1;0;
1;;3 0 1 2}
)");
    ASSERT_EQ(m.vertices.size(), 3u);
    expectVec(m.vertices[1].position, 1, 0, 0);
    expectVec(m.vertices[2].position, 0, 0.25f, 0);
}

// --- damaged and hostile files ---

TEST(XModelFailures, HeadersAndEmptyFiles) {
    EXPECT_EQ(failure(""), "empty file");
    failure("xof 0303");
    failure("xyz 0303txt 0032\nMesh { 0; 0; }");
    EXPECT_NE(failure("xof 0303abc 0032\nMesh { 0; 0; }").find("format"), std::string::npos);
    EXPECT_NE(failure("xof 0303txt 0016\nMesh { 0; 0; }").find("float size"), std::string::npos);
    EXPECT_NE(failure("xof 0303txt 0032\n// nothing but a comment\n").find("no mesh"), std::string::npos);
}

TEST(XModelFailures, EveryTruncationFailsCleanly) {
    const std::string text = std::string(kCubeText);
    for (const std::string& file : {text, cubeBinary(false), cubeBinary(true), compress(cubeBinary(false), 200)}) {
        for (std::size_t n = 0; n + 1 < file.size(); ++n) {
            XModel model;
            std::string error;
            ASSERT_FALSE(parse(file.substr(0, n), model, error)) << n;
            ASSERT_FALSE(error.empty());
            ASSERT_TRUE(model.vertices.empty() && model.subsets.empty());
        }
    }
}

TEST(XModelFailures, IndicesOutOfRangeNameTheLine) {
    EXPECT_EQ(failure("xof 0303txt 0032\nMesh {\n 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1;\n 3;0,1,3;;\n}"),
              "line 5: face 0: index 3 out of range (3)");
    EXPECT_NE(failure("xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                      " MeshNormals { 1; 0;0;1;; 1; 3;0,1,0;; } }")
                  .find("normal face 0: index 1 out of range"),
              std::string::npos);
    EXPECT_NE(failure("xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                      " MeshMaterialList { 1; 1; 4;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }")
                  .find("material 4 out of range"),
              std::string::npos);
    Bin b("bin ", false);
    b.object("Mesh").ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 7}).close();
    EXPECT_EQ(failure(b.bytes()).substr(0, 5), "byte ");
}

TEST(XModelFailures, AbsurdCountsAreRefusedBeforeAllocating) {
    EXPECT_NE(failure("xof 0303txt 0032\nMesh { 4000000000; 0;0;0;; 0; }").find("more than the file holds"),
              std::string::npos);
    EXPECT_NE(failure("xof 0303txt 0032\nMesh { 1; 0;0;0;; 1; 3000000000; 0;0;0;; }").find("more than the file"),
              std::string::npos);
    EXPECT_NE(failure("xof 0303txt 0032\nMesh { -3; }").find("expected a count"), std::string::npos);
    // A list that claims more values than follow, and a vertex count bigger than its list.
    Bin list("bin ", false);
    list.object("Mesh").token(6).u32(0x7FFFFFFF).u32(1).close();
    EXPECT_NE(failure(list.bytes()).find("truncated integer list"), std::string::npos);
    Bin count("bin ", true);
    count.object("Mesh").ints({0xFFFFFFF0u}).floats({0, 0, 0}).close();
    EXPECT_NE(failure(count.bytes()).find("more than the file holds"), std::string::npos);
    Bin longName("bin ", false);
    longName.token(1).u32(0xFFFFFFFFu).put("Mesh", 4);
    EXPECT_NE(failure(longName.bytes()).find("truncated name"), std::string::npos);
    Bin unknown("bin ", false);
    unknown.token(99);
    EXPECT_NE(failure(unknown.bytes()).find("unknown token 99"), std::string::npos);
    // A material list declaring billions of materials.
    EXPECT_NE(failure("xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;"
                      " MeshMaterialList { 4000000000; 1; 0;; } }")
                  .find("too large"),
              std::string::npos);
    // Small meshes that each declare many materials cannot add up to millions.
    std::string many = "xof 0303txt 0032\n";
    for (int i = 0; i < 40; ++i)
        many += "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 60000; 1; 0;; } }\n";
    EXPECT_NE(failure(many).find("more than 65536 materials"), std::string::npos);
}

TEST(XModelFailures, CompressedSizesAndDamage) {
    std::string file = compress(cubeBinary(false));
    std::string huge = file;
    const std::uint32_t claim = 0xFFFFFFFFu;
    std::memcpy(huge.data() + 16, &claim, 4);
    EXPECT_NE(failure(huge).find("declared size"), std::string::npos);
    std::string damaged = file;
    for (std::size_t i = 26; i < damaged.size(); i += 3) damaged[i] = char(damaged[i] ^ 0x5A);
    failure(damaged);
    std::string noMark = file;
    noMark[24] = 'X';
    EXPECT_NE(failure(noMark).find("CK"), std::string::npos);
    std::string longBlock = file;
    longBlock[22] = char(0xFF);
    longBlock[23] = char(0xFF);
    EXPECT_NE(failure(longBlock).find("past the end"), std::string::npos);
}

TEST(XModelFailures, DeepNestingIsLimitedButSkippedObjectsMayNest) {
    auto frames = [](int depth) {
        std::string s = "xof 0303txt 0032\n";
        for (int i = 0; i < depth; ++i) s += "Frame {\n";
        s += "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n";
        for (int i = 0; i < depth; ++i) s += "}\n";
        return s;
    };
    EXPECT_EQ(load(frames(60)).indices.size(), 3u);
    EXPECT_NE(failure(frames(100000)).find("nested"), std::string::npos);
    // Skipped data nests without recursion, so any depth is only slow, never a crash.
    std::string skipped = "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; Extra ";
    skipped += std::string(200000, '{') + std::string(200000, '}') + " }";
    EXPECT_EQ(load(skipped).indices.size(), 3u);
    Bin b("bin ", false);
    for (int i = 0; i < 100000; ++i) b.object("Frame");
    failure(b.bytes());
}

TEST(XModelFailures, RandomAndMutatedBytesNeverCrash) {
    std::mt19937 random(1234);
    const std::string seeds[] = {kCubeText, cubeBinary(false), cubeBinary(true), compress(cubeBinary(false))};
    for (int round = 0; round < 3000; ++round) {
        std::string file = seeds[round % 4];
        const int changes = 1 + int(random() % 8);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = 16 + random() % (file.size() - 16);
            file[at] = char(random());
        }
        if (round % 5 == 0) file.resize(16 + random() % (file.size() - 16));
        XModel model;
        std::string error;
        if (!parse(file, model, error)) {
            ASSERT_FALSE(error.empty());
            ASSERT_TRUE(model.vertices.empty());
        } else {
            for (std::uint32_t i : model.indices) ASSERT_LT(i, model.vertices.size());
            ASSERT_EQ(model.subsets.size(), model.materials.size());
        }
    }
}

// --- reading files ---

TEST(XModelFiles, LoadsThroughTheEnginePath) {
    krovane::test::TempDir dir;
    std::filesystem::create_directories("models");
    std::ofstream("models/cube.x", std::ios::binary) << cubeBinary(false);
    XModel m;
    std::string error;
    ASSERT_TRUE(krovane::formats::loadXModel("Models\\CUBE.X", m, error)) << error;
    EXPECT_EQ(m.vertices.size(), 24u);
    EXPECT_FALSE(krovane::formats::loadXModel("models\\none.x", m, error));
    EXPECT_EQ(error, "models\\none.x: cannot open the file");
    std::ofstream("models/bad.x") << "xof 0303txt 0032\nMesh {";
    EXPECT_FALSE(krovane::formats::loadXModel("models/bad.x", m, error));
    EXPECT_EQ(error.rfind("models/bad.x: line 2: ", 0), 0u) << error;
}

// --- files from other tools, where present ---

namespace conformance {

std::vector<std::filesystem::path> modelFolders() {
    std::vector<std::filesystem::path> folders;
    for (const char* f : {KROVANE_SHARED_MODELS, "/usr/share/assimp/models/X"})
        if (std::filesystem::is_directory(f)) folders.emplace_back(f);
    return folders;
}

bool loadFile(const std::filesystem::path& path, XModel& model, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse(bytes, model, error);
}

XModel loadShared(const std::string& name) {
    XModel model;
    std::string error;
    EXPECT_TRUE(loadFile(std::filesystem::path(KROVANE_SHARED_MODELS) / name, model, error)) << name << ": " << error;
    return model;
}

void expectMaterial(const krovane::formats::XMaterial& m, float r, float g, float b, float a, float power,
                    const std::string& texture) {
    EXPECT_NEAR(m.diffuse.r, r, 1e-5f);
    EXPECT_NEAR(m.diffuse.g, g, 1e-5f);
    EXPECT_NEAR(m.diffuse.b, b, 1e-5f);
    EXPECT_NEAR(m.diffuse.a, a, 1e-5f);
    EXPECT_NEAR(m.power, power, 1e-4f);
    EXPECT_EQ(m.textureFile, texture);
}

#define SKIP_WITHOUT_SHARED_MODELS() \
    if (!std::filesystem::is_directory(KROVANE_SHARED_MODELS)) GTEST_SKIP() << "no shared models"

TEST(XModelConformance, EveryFileLoadsOrFailsCleanly) {
    const auto folders = modelFolders();
    if (folders.empty()) GTEST_SKIP() << "no model folders";
    int loaded = 0;
    for (const auto& folder : folders) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            if (!entry.is_regular_file() || (ext != ".x" && name != "OV_GetNextToken")) continue;
            XModel model;
            std::string error;
            const bool ok = loadFile(entry.path(), model, error);
            if (name == "invalid_empty.x" || name == "OV_GetNextToken") {
                EXPECT_FALSE(ok) << name;
                EXPECT_FALSE(error.empty()) << name;
                continue;
            }
            EXPECT_TRUE(ok) << entry.path() << ": " << error;
            if (!ok) continue;
            ++loaded;
            EXPECT_EQ(model.subsets.size(), model.materials.size());
            std::size_t triangles = 0;
            for (const auto& s : model.subsets) {
                EXPECT_EQ(s.firstTriangle, triangles);
                triangles += s.triangleCount;
            }
            EXPECT_EQ(triangles * 3, model.indices.size());
            for (std::uint32_t i : model.indices) ASSERT_LT(i, model.vertices.size()) << name;
        }
    }
    EXPECT_GT(loaded, 0);
}

TEST(XModelConformance, CubeInEveryForm) {
    SKIP_WITHOUT_SHARED_MODELS();
    // 24 corners with their own normals, 12 triangles, one material.
    const XModel text = loadShared("assimp/test_cube_text.x");
    EXPECT_EQ(text.vertices.size(), 24u);
    EXPECT_EQ(text.indices.size(), 36u);
    ASSERT_EQ(text.subsets.size(), 1u);
    expectMaterial(text.materials[0], 0.639216f, 0.639216f, 0.639216f, 1, 96.07843f, "");
    EXPECT_NEAR(text.materials[0].specular.r, 0.498039f, 1e-5f);
    // The root frame swaps y and z (rows 1 0 0, 0 0 1, 0 1 0): (-1,-1,1) becomes (-1,1,-1).
    expectVec(text.vertices[text.indices[0]].position, -1, 1, -1);
    for (const char* name : {"assimp/test_cube_binary.x", "assimp/test_cube_compressed.x", "derived/cube_bin64.x",
                             "derived/cube_tzip.x", "derived/cube_rebzip.x"}) {
        SCOPED_TRACE(name);
        const XModel other = loadShared(name);
        ASSERT_EQ(other.vertices.size(), text.vertices.size());
        ASSERT_EQ(other.indices, text.indices);
        for (std::size_t i = 0; i < text.vertices.size(); ++i) {
            const XVertex &a = text.vertices[i], &b = other.vertices[i];
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(a.position[c], b.position[c], 1e-5f);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(a.normal[c], b.normal[c], 1e-5f);
        }
        expectMaterial(other.materials[0], 0.639216f, 0.639216f, 0.639216f, 1, 96.07843f, "");
    }
}

TEST(XModelConformance, TextModels) {
    SKIP_WITHOUT_SHARED_MODELS();
    // cell.x: 12 triangles, material indices 0 0 1 (x8) 2 2, jpg textures.
    const XModel cell = loadShared("dxsdk/misc/cell.x");
    EXPECT_EQ(cell.vertices.size(), 24u);
    ASSERT_EQ(cell.subsets.size(), 3u);
    EXPECT_EQ(cell.subsets[0].triangleCount, 2u);
    EXPECT_EQ(cell.subsets[1].triangleCount, 8u);
    EXPECT_EQ(cell.subsets[2].triangleCount, 2u);
    expectMaterial(cell.materials[0], 0.6f, 0.6f, 1, 1, 40, "cellfloor.jpg");
    expectMaterial(cell.materials[1], 0.6f, 0.6f, 1, 1, 40, "cellwall.jpg");
    expectMaterial(cell.materials[2], 1, 1, 1, 1, 40, "cellceiling.jpg");

    // tiger.x, 64-bit floats: 303 positions without normals, 596 triangles and 3 quads.
    const XModel tiger = loadShared("dxsdk/tiger/tiger.x");
    EXPECT_EQ(tiger.vertices.size(), 303u);
    EXPECT_EQ(tiger.indices.size(), 602u * 3);
    ASSERT_EQ(tiger.subsets.size(), 1u);
    expectMaterial(tiger.materials[0], 0.694118f, 0.694118f, 0.694118f, 1, 50, "tiger.bmp");

    // heli.x, 64-bit floats: nine meshes in frames, one material each.
    EXPECT_EQ(loadShared("dxsdk/misc/heli.x").subsets.size(), 9u);

    // Three materials with absolute texture paths written with doubled backslashes.
    const XModel kw = loadShared("assimp/kwxport_test_cubewithvcolors.x");
    ASSERT_EQ(kw.subsets.size(), 3u);
    EXPECT_EQ(kw.materials[1].textureFile,
              "C:\\\\code\\\\sourceforge\\\\kwxport\\\\trunkMerged\\\\test\\\\data\\\\top.tga");
    EXPECT_EQ(loadShared("assimp/test.x").materials[0].textureFile, ".\\\\test.png");
}

TEST(XModelConformance, BinaryAndCompressedModels) {
    SKIP_WITHOUT_SHARED_MODELS();
    // ball.x names its material "ball", defined at the top level.
    const XModel ball = loadShared("dxsdk/misc/ball.x");
    EXPECT_EQ(ball.indices.size(), 224u * 3);
    ASSERT_EQ(ball.subsets.size(), 1u);
    expectMaterial(ball.materials[0], 1, 0, 0, 1, 3.2f, "ball.dds");

    const XModel ship = loadShared("dxsdk/misc/bigship1.x");
    EXPECT_EQ(ship.indices.size(), 8686u * 3);
    ASSERT_EQ(ship.subsets.size(), 5u);
    expectMaterial(ship.materials[2], 0.329412f, 0.329412f, 0.654902f, 1, 127, "");

    // skullocc.x: 56 compressed blocks, each using the ones before.
    const XModel skull = loadShared("dxsdk/misc/skullocc.x");
    EXPECT_EQ(skull.indices.size(), 60339u * 3);
    ASSERT_EQ(skull.subsets.size(), 1u);
    expectMaterial(skull.materials[0], 0.705882f, 0.686275f, 0.666667f, 1, 51.2f, "");
    EXPECT_NEAR(skull.materials[0].emissive.r, 0.035294f, 1e-6f);

    // The same trueSpace model as 32-bit binary, 64-bit binary and compressed 64-bit.
    const XModel ts32 = loadShared("assimp/fromtruespace_bin32.x");
    EXPECT_EQ(ts32.indices.size(), 6656u * 3);
    for (const char* name : {"derived/truespace_bin64.x", "derived/truespace_bzip64.x"}) {
        const XModel ts = loadShared(name);
        EXPECT_EQ(ts.vertices.size(), ts32.vertices.size()) << name;
        EXPECT_EQ(ts.indices, ts32.indices) << name;
    }
}

}  // namespace conformance

}  // namespace
