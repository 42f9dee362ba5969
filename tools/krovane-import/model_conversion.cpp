#include "model_conversion.h"

#include <assimp/GltfMaterial.h>
#include <assimp/material.h>
#include <assimp/metadata.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <map>
#include <initializer_list>
#include <new>
#include <set>
#include <vector>

#include "platform/code_page_1251.h"
#include "platform/file_io.h"
#include "texture_placer.h"
#include "x_writer.h"

namespace fs = std::filesystem;

namespace krovane::import {

namespace {

// A texture file name in the engine's code page, safe inside the .x quotes.
std::string engineName(const std::string& utf8) {
    std::string name = utf8ToCp1251Lossy(utf8);
    for (char& c : name)
        if (c == '"' || c == '\\' || c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
    return name;
}

// An uncompressed embedded texture as a 32-bit TGA, alpha kept, top row first.
std::string tga(const aiTexture& t) {
    std::string out(18, '\0');
    out[2] = 2;  // uncompressed true colour
    out[12] = static_cast<char>(t.mWidth & 0xFF), out[13] = static_cast<char>(t.mWidth >> 8);
    out[14] = static_cast<char>(t.mHeight & 0xFF), out[15] = static_cast<char>(t.mHeight >> 8);
    out[16] = 32, out[17] = 0x28;
    for (std::size_t i = 0; i < static_cast<std::size_t>(t.mWidth) * t.mHeight; ++i) {
        const aiTexel& p = t.pcData[i];
        out += {static_cast<char>(p.b), static_cast<char>(p.g), static_cast<char>(p.r), static_cast<char>(p.a)};
    }
    return out;
}

// The engine loads no picture file larger than this, so none is copied.
constexpr std::uint64_t kMostTextureBytes = std::uint64_t{256} << 20;

// Names, and places beside the .x, the textures the materials name; each path once.
class Textures {
public:
    Textures(const aiScene& scene, const Conversion& job)
        : scene_(scene),
          modelDir_(fs::path(job.model).parent_path().empty() ? fs::path(".") : fs::path(job.model).parent_path()),
          stem_(engineName(job.outPath.stem().string())),
          placer_(job.outPath.parent_path().empty() ? fs::path(".") : job.outPath.parent_path(), stem_) {}

    // The name the .x gives the texture `path`; empty when there is none to give.
    std::string name(const std::string& path, std::string& notes) {
        const auto known = named_.find(path);
        if (known != named_.end()) return known->second;
        return named_[path] = place(path, notes);
    }

    std::size_t count() const { return placer_.count(); }

private:
    std::string place(const std::string& path, std::string& notes) {
        if (const aiTexture* embedded = scene_.GetEmbeddedTexture(path.c_str())) {
            // Held inside the model: written out as OUT_N.ext.
            std::size_t index = 0;
            while (index < scene_.mNumTextures && scene_.mTextures[index] != embedded) ++index;
            const bool compressed = embedded->mHeight == 0;
            std::string hint = compressed ? std::string(embedded->achFormatHint) : "tga";
            if (hint.empty() || hint.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos)
                hint = "bin";
            if (!compressed && (embedded->mWidth > 0xFFFF || embedded->mHeight > 0xFFFF)) {
                notes += "the texture " + path + " inside the model is too large to write out\n";
                return "";
            }
            const std::string bytes =
                compressed ? std::string(reinterpret_cast<const char*>(embedded->pcData), embedded->mWidth)
                           : tga(*embedded);
            return placer_.place(engineName(stem_ + "_" + std::to_string(index) + "." + hint), bytes,
                                 path + " inside the model", notes);
        }

        std::string slashed = path;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        const fs::path given(slashed);
        const std::string name = engineName(given.filename().string());
        if (name.empty()) return "";
        std::error_code ec;
        fs::path source = given.is_absolute() ? given : modelDir_ / given;
        if (!fs::is_regular_file(source, ec)) source = modelDir_ / given.filename();
        std::string bytes;
        if (!fs::is_regular_file(source, ec)) {
            notes += "the texture " + path + " is not there; the model names it as " + cp1251ToUtf8(name) + "\n";
            return name;
        }
        if (krovane::platform::readWholeFile(source, bytes, kMostTextureBytes) != krovane::platform::ReadStatus::Ok) {
            notes +=
                "cannot read the texture " + source.string() + "; the model names it as " + cp1251ToUtf8(name) + "\n";
            return name;
        }
        return placer_.place(name, bytes, source.string(), notes);
    }

    const aiScene& scene_;
    fs::path modelDir_;
    std::string stem_;
    TexturePlacer placer_;
    std::map<std::string, std::string> named_;
};

// Our template for how a material's alpha shows, declared in the header of a
// .x that uses it so that other readers skip it: the mode (0 opaque, 1 mask,
// 2 blend) and a mask's cutoff.
constexpr const char* kAlphaTemplate =
    "template KrovaneAlpha {\n <5B0E8C2A-3F71-4D6B-9A14-7C2E0B9D4F61>\n DWORD mode;\n FLOAT cutoff;\n}\n";

// A glTF material's alphaMode as our template's mode (0 for any other material), and its cutoff.
int alphaMode(const aiMaterial* m, float& cutoff) {
    aiString mode;
    cutoff = 0.5f;
    if (m == nullptr || m->Get(AI_MATKEY_GLTF_ALPHAMODE, mode) != AI_SUCCESS) return 0;
    m->Get(AI_MATKEY_GLTF_ALPHACUTOFF, cutoff);
    if (!(cutoff >= 0) || !std::isfinite(cutoff)) cutoff = 0.5f;
    return std::string(mode.C_Str()) == "MASK" ? 1 : std::string(mode.C_Str()) == "BLEND" ? 2 : 0;
}

void writeMaterial(XWriter& x, const aiMaterial& m, const std::string& texture) {
    aiColor4D diffuse(1, 1, 1, 1), specular(0, 0, 0, 0), emissive(0, 0, 0, 0);
    m.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    m.Get(AI_MATKEY_COLOR_SPECULAR, specular);
    m.Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
    float opacity = 1, power = 0;
    if (m.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) diffuse.a = opacity;
    m.Get(AI_MATKEY_SHININESS, power);
    const auto values = [&](std::initializer_list<float> list, const char* end) {
        std::size_t k = 0;
        for (const float v : list) {
            x.real(v);
            x.layout(++k < list.size() ? ";" : end);
        }
    };
    x.layout("  ");
    x.open("Material");
    x.layout("\n   ");
    values({diffuse.r, diffuse.g, diffuse.b, diffuse.a}, ";;\n   ");
    values({power}, ";\n   ");
    values({specular.r, specular.g, specular.b}, ";;\n   ");
    values({emissive.r, emissive.g, emissive.b}, ";;\n");
    if (!texture.empty()) {
        x.layout("   ");
        x.open("TextureFilename");
        x.layout(" ");
        x.string(texture);
        x.layout("; ");
        x.close();
        x.layout("\n");
    }
    float cutoff;
    if (const int mode = alphaMode(&m, cutoff)) {
        x.layout("   ");
        x.open("KrovaneAlpha");
        x.layout(" ");
        x.integer(static_cast<unsigned>(mode));
        x.layout("; ");
        x.real(cutoff);
        x.layout(";; ");
        x.close();
        x.layout("\n");
    }
    x.layout("  ");
    x.close();
    x.layout("\n");
}

bool twoSided(const aiMaterial* m) {
    int value = 0;
    return m != nullptr && m->Get(AI_MATKEY_TWOSIDED, value) == AI_SUCCESS && value != 0;
}

// What is written of one mesh: its triangles, on both sides for a double-sided material.
struct MeshPlan {
    const aiMesh* mesh = nullptr;
    const aiMaterial* material = nullptr;
    std::vector<const aiFace*> faces;
    bool bothSides = false;
    std::vector<aiVector3D> normals;  // one per corner of `faces`, made where the file gives none
};

// The normal of each corner of `faces`, for a mesh without normals: the sum of
// the faces at the corner's position (each weighted by its area) that meet
// the corner's own face at less than kCreaseDegrees, made unit length. So
// curved surfaces look smooth, and sharper edges (a box's, an L's) stay hard
// whether or not the file shares their vertices. Front faces wind clockwise.
std::vector<aiVector3D> cornerNormals(const aiMesh& mesh, const std::vector<const aiFace*>& faces) {
    using Vec = std::array<double, 3>;
    const auto position = [&](unsigned index) {
        const aiVector3D& v = mesh.mVertices[index];
        return std::array<float, 3>{v.x, v.y, v.z};
    };
    std::vector<Vec> area(faces.size()), unit(faces.size());
    std::map<std::array<float, 3>, std::vector<std::size_t>> around;  // the faces at each position
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const aiFace& face = *faces[f];
        Vec u, v;
        for (int c = 0; c < 3; ++c) {
            u[c] = double{mesh.mVertices[face.mIndices[1]][c]} - mesh.mVertices[face.mIndices[0]][c];
            v[c] = double{mesh.mVertices[face.mIndices[2]][c]} - mesh.mVertices[face.mIndices[0]][c];
        }
        for (int c = 0; c < 3; ++c) area[f][c] = u[(c + 1) % 3] * v[(c + 2) % 3] - u[(c + 2) % 3] * v[(c + 1) % 3];
        const double length = std::sqrt(area[f][0] * area[f][0] + area[f][1] * area[f][1] + area[f][2] * area[f][2]);
        for (int c = 0; c < 3; ++c) unit[f][c] = length > 0 ? area[f][c] / length : 0;
        for (unsigned k = 0; k < 3; ++k) around[position(face.mIndices[k])].push_back(f);
    }
    const double smoothest = std::cos(kCreaseDegrees * 3.14159265358979323846 / 180);
    std::vector<aiVector3D> normals(faces.size() * 3);
    for (std::size_t f = 0; f < faces.size(); ++f)
        for (unsigned k = 0; k < 3; ++k) {
            Vec sum{0, 0, 0};
            for (const std::size_t g : around[position(faces[f]->mIndices[k])])
                if (g == f || unit[f][0] * unit[g][0] + unit[f][1] * unit[g][1] + unit[f][2] * unit[g][2] > smoothest)
                    for (int c = 0; c < 3; ++c) sum[c] += area[g][c];
            const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
            if (length > 0 && std::isfinite(length))
                normals[f * 3 + k] = aiVector3D(static_cast<float>(sum[0] / length),
                                                static_cast<float>(sum[1] / length),
                                                static_cast<float>(sum[2] / length));
        }
    return normals;
}

// What the conversion left out or changed, for the lines after the summary.
struct Tally {
    std::size_t invalidFaces = 0, pointsAndLines = 0, colouredVertices = 0, colouredMeshes = 0;
    std::size_t twoSidedFaces = 0, twoSidedMeshes = 0;

    void notes(std::string& out) const {
        const auto n = [](std::size_t v) { return std::to_string(v); };
        if (invalidFaces > 0) out += "dropped " + n(invalidFaces) + " invalid faces (without area)\n";
        if (pointsAndLines > 0) out += "left out " + n(pointsAndLines) + " points and lines: only faces are drawn\n";
        if (colouredVertices > 0)
            out += "left out the vertex colours of " + n(colouredVertices) + " vertices in " + n(colouredMeshes) +
                   " meshes: the engine does not draw them\n";
        if (twoSidedFaces > 0)
            out += "wrote both sides of " + n(twoSidedFaces) + " faces in " + n(twoSidedMeshes) +
                   " meshes with double-sided materials\n";
    }
};

// Keeps the triangles of `mesh` that have an area; counts the rest.
MeshPlan plan(const aiScene& scene, const aiMesh& mesh, Tally& tally) {
    MeshPlan p;
    p.mesh = &mesh;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices < 3) {
            ++tally.pointsAndLines;
            continue;
        }
        bool valid = face.mNumIndices == 3;
        for (unsigned k = 0; valid && k < 3; ++k) valid = face.mIndices[k] < mesh.mNumVertices;
        if (valid) {
            const aiVector3D& a = mesh.mVertices[face.mIndices[0]];
            const aiVector3D& b = mesh.mVertices[face.mIndices[1]];
            const aiVector3D& c = mesh.mVertices[face.mIndices[2]];
            const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
            const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
            valid = uy * vz - uz * vy != 0 || uz * vx - ux * vz != 0 || ux * vy - uy * vx != 0;
        }
        if (valid)
            p.faces.push_back(&face);
        else
            ++tally.invalidFaces;
    }
    if (p.faces.empty() || mesh.mNumVertices == 0) return p;
    if (mesh.HasVertexColors(0)) {
        // The vertices of its faces: points and lines of the same material may share the mesh.
        std::vector<bool> used(mesh.mNumVertices);
        for (unsigned f = 0; f < mesh.mNumFaces; ++f)
            for (unsigned k = 0; mesh.mFaces[f].mNumIndices >= 3 && k < mesh.mFaces[f].mNumIndices; ++k)
                if (mesh.mFaces[f].mIndices[k] < mesh.mNumVertices) used[mesh.mFaces[f].mIndices[k]] = true;
        tally.colouredVertices += static_cast<std::size_t>(std::count(used.begin(), used.end(), true));
        ++tally.colouredMeshes;
    }
    p.material = mesh.mMaterialIndex < scene.mNumMaterials ? scene.mMaterials[mesh.mMaterialIndex] : nullptr;
    p.bothSides = twoSided(p.material);
    if (!mesh.HasNormals()) p.normals = cornerNormals(mesh, p.faces);
    if (p.bothSides) tally.twoSidedFaces += p.faces.size(), ++tally.twoSidedMeshes;
    return p;
}

// Writes one mesh up to its skin, which goes before its closing brace: a
// double-sided one has its vertices twice, the second time with the normals
// turned round, and each face again on those with the opposite winding, so
// that back-face culling shows it from either side.
void writeMeshBody(XWriter& x, const MeshPlan& p, const std::string& name, double factor, const std::string& texture,
                   const aiMaterial* material) {
    const aiMesh& mesh = *p.mesh;
    const std::size_t vertices = mesh.mNumVertices, faces = p.faces.size();
    const std::size_t copies = p.bothSides ? 2 : 1;
    const auto list = [&](auto&& item, std::size_t count) {
        x.layout("  ");
        x.integer(count);
        x.layout(";\n");
        for (std::size_t k = 0; k < count; ++k) {
            x.layout("  ");
            item(k);
            x.layout(k + 1 < count ? ",\n" : ";\n");
        }
    };
    const auto triangle = [&](std::size_t a, std::size_t b, std::size_t c) {
        x.integer(3);
        x.layout(";");
        x.integer(a);
        x.layout(",");
        x.integer(b);
        x.layout(",");
        x.integer(c);
        x.layout(";");
    };
    const auto faceList = [&] {
        list(
            [&](std::size_t k) {
                const aiFace& f = *p.faces[k % faces];
                const std::size_t back = k < faces ? 0 : vertices;
                const unsigned second = back != 0 ? 2 : 1, third = back != 0 ? 1 : 2;
                triangle(f.mIndices[0] + back, f.mIndices[second] + back, f.mIndices[third] + back);
            },
            faces * copies);
    };
    const auto vector = [&](const aiVector3D& v, double by) {
        for (int c = 0; c < 3; ++c) {
            x.real(v[static_cast<unsigned>(c)] * by);
            x.layout(";");
        }
    };

    x.layout("\n");
    x.open("Mesh", name);
    x.layout("\n");
    list([&](std::size_t k) { vector(mesh.mVertices[k % vertices], factor); }, vertices * copies);
    faceList();
    if (mesh.HasNormals()) {
        x.layout(" ");
        x.open("MeshNormals");
        x.layout("\n");
        list([&](std::size_t k) { vector(mesh.mNormals[k % vertices], k < vertices ? 1 : -1); }, vertices * copies);
        faceList();
        x.layout(" ");
        x.close();
        x.layout("\n");
    } else if (!p.normals.empty()) {
        // A normal for each corner, the back copies' turned round and in their faces' order.
        const std::size_t corners = faces * 3;
        x.layout(" ");
        x.open("MeshNormals");
        x.layout("\n");
        list([&](std::size_t k) { vector(p.normals[k % corners], k < corners ? 1 : -1); }, corners * copies);
        list(
            [&](std::size_t k) {
                const std::size_t n = k * 3, second = k < faces ? 1 : 2, third = k < faces ? 2 : 1;
                triangle(n, n + second, n + third);
            },
            faces * copies);
        x.layout(" ");
        x.close();
        x.layout("\n");
    }
    if (mesh.HasTextureCoords(0)) {
        x.layout(" ");
        x.open("MeshTextureCoords");
        x.layout("\n");
        list(
            [&](std::size_t k) {
                const aiVector3D& t = mesh.mTextureCoords[0][k % vertices];
                x.real(t.x);
                x.layout(";");
                x.real(t.y);
                x.layout(";");
            },
            vertices * copies);
        x.layout(" ");
        x.close();
        x.layout("\n");
    }
    x.layout(" ");
    x.open("MeshMaterialList");
    x.layout("\n  ");
    x.integer(1);
    x.layout(";\n");
    list([&](std::size_t) { x.integer(0); }, faces * copies);
    if (material != nullptr)
        writeMaterial(x, *material, texture);
    else
        writeMaterial(x, aiMaterial(), texture);  // not one expression: that would copy *material, and free it twice
    x.layout(" ");
    x.close();
    x.layout("\n");
}

// An FBX file says which of its axes points up, to the front and to the side
// (UpAxis, FrontAxis, CoordAxis and their signs): the scene is turned so that
// they become +Y, +Z and +X, the way the other formats come in. A set of axes
// that would mirror the model is left as it is. (The library turns COLLADA's
// up_axis itself.)
void standUp(aiScene& scene) {
    const aiMetadata* meta = scene.mMetaData;
    int32_t up = 1, upSign = 1, front = 2, frontSign = 1, side = 0, sideSign = 1;
    if (meta == nullptr || !meta->Get("UpAxis", up) || !meta->Get("FrontAxis", front) || !meta->Get("CoordAxis", side))
        return;
    meta->Get("UpAxisSign", upSign);
    meta->Get("FrontAxisSign", frontSign);
    meta->Get("CoordAxisSign", sideSign);
    if (up < 0 || up > 2 || front < 0 || front > 2 || side < 0 || side > 2) return;
    aiVector3D x, y, z;
    x[static_cast<unsigned>(side)] = sideSign < 0 ? -1.0f : 1.0f;
    y[static_cast<unsigned>(up)] = upSign < 0 ? -1.0f : 1.0f;
    z[static_cast<unsigned>(front)] = frontSign < 0 ? -1.0f : 1.0f;
    const aiMatrix4x4 turn(x.x, x.y, x.z, 0, y.x, y.y, y.z, 0, z.x, z.y, z.z, 0, 0, 0, 0, 1);
    if (turn.Determinant() > 0.5f) scene.mRootNode->mTransformation = turn * scene.mRootNode->mTransformation;
}

// The names the frames of a scene are written under: letters, digits and
// '_' (others become '_'), each name once ("arm", "arm_2"), so that bones and
// animations find their frame by name.
class FrameNames {
public:
    explicit FrameNames(const aiNode& root) { add(root); }

    const std::string& of(const aiNode* node) const { return byNode_.at(node); }

    // The frame a bone or an animation names in the file; its plain name when no node has it.
    std::string find(const aiNode& root, const aiString& name) const {
        const aiNode* node = root.FindNode(name);
        return node != nullptr ? of(node) : plain(name.C_Str());
    }

private:
    static std::string plain(const std::string& name) {
        std::string out = name.empty() ? "frame" : name;
        for (char& c : out)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) c = '_';
        return out;
    }
    void add(const aiNode& node) {
        std::string name = plain(node.mName.C_Str());
        for (int k = 2; !taken_.insert(name).second; ++k) name = plain(node.mName.C_Str()) + "_" + std::to_string(k);
        byNode_[&node] = name;
        for (unsigned c = 0; c < node.mNumChildren; ++c) add(*node.mChildren[c]);
    }

    std::map<const aiNode*, std::string> byNode_;
    std::set<std::string> taken_;
};

// Keys are written in ticks of this many a second.
constexpr std::uint64_t kTicksPerSecond = 4800;

// A transform as a .x matrix (for row vectors: the transpose of the library's),
// its translation multiplied by `factor`, the import's scale.
void writeMatrix(XWriter& x, const aiMatrix4x4& m, double factor) {
    for (unsigned row = 0; row < 4; ++row)
        for (unsigned column = 0; column < 4; ++column) {
            x.real(row == 3 && column < 3 ? m[column][row] * factor : m[column][row]);
            x.layout(row == 3 && column == 3 ? ";;" : ",");
        }
}

// The skin of a mesh: the header, then per bone its frame, the vertices it
// weighs (both copies of a double-sided mesh's) and its offset matrix.
void writeSkin(XWriter& x, const MeshPlan& p, const FrameNames& names, const aiNode& root, double factor) {
    const aiMesh& mesh = *p.mesh;
    if (!mesh.HasBones()) return;
    const std::size_t vertices = mesh.mNumVertices, copies = p.bothSides ? 2 : 1;
    std::vector<unsigned> per(vertices, 0);
    for (unsigned b = 0; b < mesh.mNumBones; ++b)
        for (unsigned w = 0; w < mesh.mBones[b]->mNumWeights; ++w)
            if (mesh.mBones[b]->mWeights[w].mVertexId < vertices) ++per[mesh.mBones[b]->mWeights[w].mVertexId];
    const unsigned most = per.empty() ? 0 : *std::max_element(per.begin(), per.end());
    x.layout(" ");
    x.open("XSkinMeshHeader");
    x.layout(" ");
    for (const unsigned value : {most, std::min(most * 3, mesh.mNumBones), mesh.mNumBones}) {
        x.integer(value);
        x.layout("; ");
    }
    x.close();
    x.layout("\n");
    for (unsigned b = 0; b < mesh.mNumBones; ++b) {
        const aiBone& bone = *mesh.mBones[b];
        std::vector<const aiVertexWeight*> weights;
        for (unsigned w = 0; w < bone.mNumWeights; ++w)
            if (bone.mWeights[w].mVertexId < vertices) weights.push_back(&bone.mWeights[w]);
        x.layout(" ");
        x.open("SkinWeights");
        x.layout("\n  ");
        x.string(names.find(root, bone.mName));
        x.layout(";\n  ");
        x.integer(weights.size() * copies);
        x.layout(";\n  ");
        for (std::size_t k = 0; k < weights.size() * copies; ++k) {
            x.integer(weights[k % weights.size()]->mVertexId + (k < weights.size() ? 0 : vertices));
            x.layout(k + 1 < weights.size() * copies ? "," : ";");
        }
        x.layout("\n  ");
        for (std::size_t k = 0; k < weights.size() * copies; ++k) {
            x.real(weights[k % weights.size()]->mWeight);
            x.layout(k + 1 < weights.size() * copies ? "," : ";");
        }
        x.layout("\n  ");
        writeMatrix(x, bone.mOffsetMatrix, factor);
        x.layout("\n ");
        x.close();
        x.layout("\n");
    }
}

// One animation as an AnimationSet: per moved frame its rotation (w x y z, of
// the transposed rotation), scale and position keys, in kTicksPerSecond ticks.
// Sets loop. False when it moves nothing.
bool writeAnimationSet(XWriter& x, const aiAnimation& animation, unsigned index, const FrameNames& names,
                       double factor, const aiNode& root) {
    if (animation.mNumChannels == 0) return false;
    const double perTick = 1.0 / (animation.mTicksPerSecond > 0 ? animation.mTicksPerSecond : 25.0);
    const auto tick = [&](double time) {
        const double t = std::round(time * perTick * kTicksPerSecond);
        return static_cast<std::uint64_t>(t > 0 ? std::min(t, 4294967295.0) : 0.0);
    };
    std::string name = animation.mName.length > 0 ? animation.mName.C_Str() : "";
    for (char& c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) c = '_';
    if (name.empty()) name = "animation_" + std::to_string(index + 1);
    x.open("AnimationSet", name);
    x.layout("\n");
    const auto keys = [&](unsigned type, unsigned count, auto&& key) {
        if (count == 0) return;
        x.layout("  ");
        x.open("AnimationKey");
        x.layout("\n   ");
        x.integer(type);
        x.layout(";\n   ");
        x.integer(count);
        x.layout(";\n");
        for (unsigned k = 0; k < count; ++k) {
            x.layout("   ");
            key(k);
            x.layout(k + 1 < count ? ";;,\n" : ";;;\n");
        }
        x.layout("  ");
        x.close();
        x.layout("\n");
    };
    const auto values = [&](std::uint64_t time, std::initializer_list<double> list) {
        x.integer(time);
        x.layout(";");
        x.integer(list.size());
        x.layout(";");
        std::size_t k = 0;
        for (const double v : list) {
            x.real(v);
            if (++k < list.size()) x.layout(",");
        }
    };
    for (unsigned c = 0; c < animation.mNumChannels; ++c) {
        const aiNodeAnim& channel = *animation.mChannels[c];
        x.layout(" ");
        x.open("Animation");
        x.layout("\n  ");
        x.reference(names.find(root, channel.mNodeName));
        x.layout("\n");
        keys(0, channel.mNumRotationKeys, [&](unsigned k) {
            const aiQuatKey& q = channel.mRotationKeys[k];
            values(tick(q.mTime), {q.mValue.w, -q.mValue.x, -q.mValue.y, -q.mValue.z});
        });
        keys(1, channel.mNumScalingKeys, [&](unsigned k) {
            const aiVectorKey& v = channel.mScalingKeys[k];
            values(tick(v.mTime), {v.mValue.x, v.mValue.y, v.mValue.z});
        });
        keys(2, channel.mNumPositionKeys, [&](unsigned k) {
            const aiVectorKey& v = channel.mPositionKeys[k];
            values(tick(v.mTime), {v.mValue.x * factor, v.mValue.y * factor, v.mValue.z * factor});
        });
        x.layout("  ");
        x.open("AnimationOptions");
        x.layout(" ");
        x.integer(0);  // closed: the set loops
        x.layout("; ");
        x.integer(1);  // positions between keys are linear
        x.layout("; ");
        x.close();
        x.layout("\n ");
        x.close();
        x.layout("\n");
    }
    x.close();
    x.layout("\n");
    return true;
}

}  // namespace

int convertModel(const Conversion& job, std::string& report) {
    Assimp::Importer importer;
    // Normals the file lacks are made later, per corner (cornerNormals), so that hard edges stay hard.
    const aiScene* scene = importer.ReadFile(job.model, aiProcess_Triangulate | aiProcess_SortByPType |
                                                            aiProcess_ValidateDataStructure);
    bool moves = false;  // skins or animations: the frames are kept, not applied to the vertices
    if (scene != nullptr) {
        moves = scene->HasAnimations() ||
                std::any_of(scene->mMeshes, scene->mMeshes + scene->mNumMeshes, [](const aiMesh* m) { return m->HasBones(); });
        standUp(*const_cast<aiScene*>(scene));  // the importer's own scene, as its post-processing changes it
        scene = importer.ApplyPostProcessing(aiProcess_ConvertToLeftHanded |
                                             (moves ? 0u : unsigned{aiProcess_PreTransformVertices}));
    }
    if (scene == nullptr) {
        // The library turns what is thrown inside it into its message; running
        // out of memory is told as such by the caller.
        if (const std::exception_ptr thrown = importer.GetException()) {
            try {
                std::rethrow_exception(thrown);
            } catch (const std::bad_alloc&) {
                throw;
            } catch (...) {
            }
        }
        report = importer.GetErrorString();
        if (report.empty()) report = "the import library cannot read it";
        return 1;
    }

    Tally tally;
    std::vector<MeshPlan> plans(scene->mNumMeshes);
    double lo[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, hi[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    const auto extend = [&](const aiVector3D& v) {
        for (unsigned axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min<double>(lo[axis], v[axis]);
            hi[axis] = std::max<double>(hi[axis], v[axis]);
        }
    };
    std::size_t kept = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        MeshPlan& p = plans[i] = plan(*scene, *scene->mMeshes[i], tally);
        if (p.faces.empty() || p.mesh->mNumVertices == 0) continue;
        ++kept;
        if (!moves)
            for (unsigned k = 0; k < p.mesh->mNumVertices; ++k) extend(p.mesh->mVertices[k]);
    }
    if (moves) {
        // The bounds of the meshes where their frames place them.
        const auto walk = [&](const auto& self, const aiNode& node, const aiMatrix4x4& parent) -> void {
            const aiMatrix4x4 global = parent * node.mTransformation;
            for (unsigned m = 0; m < node.mNumMeshes; ++m) {
                const MeshPlan& p = plans[node.mMeshes[m]];
                if (p.faces.empty()) continue;
                for (unsigned k = 0; k < p.mesh->mNumVertices; ++k) extend(global * p.mesh->mVertices[k]);
            }
            for (unsigned c = 0; c < node.mNumChildren; ++c) self(self, *node.mChildren[c], global);
        };
        walk(walk, *scene->mRootNode, aiMatrix4x4());
    }
    if (kept == 0 || lo[0] > hi[0]) {
        report = "it holds no triangles";
        return 1;
    }
    double factor = job.scale, side = 0, reach = 0;
    for (int axis = 0; axis < 3; ++axis) {
        side = std::max(side, hi[axis] - lo[axis]);
        reach = std::max({reach, std::fabs(lo[axis]), std::fabs(hi[axis])});
    }
    if (job.fitSize > 0) {
        if (!(side > 0) || !std::isfinite(side)) {
            report = "its bounds have no size, so --fit cannot scale it";
            return 1;
        }
        factor = job.fitSize / side;
    }
    if (!(reach * factor <= FLT_MAX)) {
        report = "scaled by " + xNumber(factor) + ", its coordinates are beyond what a .x file holds";
        return 1;
    }

    Textures textures(*scene, job);
    std::string notes;
    XWriter x(!job.text);
    std::size_t estimate = 4096;  // binary: 32 bytes a vertex, 16 a face twice and 4 its material, for each copy
    for (const MeshPlan& p : plans)
        if (!p.faces.empty())
            estimate += (p.bothSides ? 2 : 1) * (std::size_t{p.mesh->mNumVertices} * 32 + p.faces.size() * 36 +
                                                 std::size_t{p.mesh->mNumBones} * 128);
    x.reserve(estimate);
    x.layout("// Made by krovane-import from " + fs::path(job.model).filename().string() + "\n");
    float cutoff;
    if (std::any_of(plans.begin(), plans.end(), [&](const MeshPlan& p) { return alphaMode(p.material, cutoff) != 0; }))
        x.declareTemplate("KrovaneAlpha", "5B0E8C2A-3F71-4D6B-9A14-7C2E0B9D4F61", {{"DWORD", "mode"}, {"FLOAT", "cutoff"}});
    std::size_t meshes = 0, triangles = 0;
    const auto writeMesh = [&](const MeshPlan& p, const FrameNames* names) {
        const aiMaterial* material = p.material;
        std::string texture;
        aiString path;
        if (material != nullptr && (material->GetTexture(aiTextureType_DIFFUSE, 0, &path) == AI_SUCCESS ||
                                    material->GetTexture(aiTextureType_BASE_COLOR, 0, &path) == AI_SUCCESS))
            texture = textures.name(path.C_Str(), notes);
        writeMeshBody(x, p, "mesh_" + std::to_string(++meshes), factor, texture, material);
        if (names != nullptr) writeSkin(x, p, *names, *scene->mRootNode, factor);
        x.close();
        x.layout("\n");
        triangles += p.faces.size() * (p.bothSides ? 2 : 1);
    };
    std::size_t sets = 0;
    if (moves) {
        const FrameNames names(*scene->mRootNode);
        if (scene->HasAnimations()) {
            x.open("AnimTicksPerSecond");
            x.layout(" ");
            x.integer(kTicksPerSecond);
            x.layout("; ");
            x.close();
            x.layout("\n");
        }
        const auto frame = [&](const auto& self, const aiNode& node, const std::string& indent) -> void {
            x.layout(indent);
            x.open("Frame", names.of(&node));
            x.layout("\n" + indent + " ");
            x.open("FrameTransformMatrix");
            x.layout(" ");
            writeMatrix(x, node.mTransformation, factor);
            x.layout(" ");
            x.close();
            x.layout("\n");
            for (unsigned m = 0; m < node.mNumMeshes; ++m)
                if (!plans[node.mMeshes[m]].faces.empty()) writeMesh(plans[node.mMeshes[m]], &names);
            for (unsigned c = 0; c < node.mNumChildren; ++c) self(self, *node.mChildren[c], indent + " ");
            x.layout(indent);
            x.close();
            x.layout("\n");
        };
        frame(frame, *scene->mRootNode, "");
        for (unsigned a = 0; a < scene->mNumAnimations; ++a)
            sets += writeAnimationSet(x, *scene->mAnimations[a], a, names, factor, *scene->mRootNode) ? 1 : 0;
    } else {
        for (const MeshPlan& p : plans)
            if (!p.faces.empty()) writeMesh(p, nullptr);
    }
    tally.notes(notes);

    std::ofstream out(job.partPath, std::ios::binary | std::ios::trunc);
    const std::string& bytes = x.finish();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        report = "cannot write " + job.partPath.string();
        return 1;
    }
    report = std::to_string(meshes) + " meshes, " + std::to_string(triangles) + " triangles, " +
             std::to_string(textures.count()) + " textures";
    if (moves) report += ", " + std::to_string(sets) + " animation sets";
    if (factor != 1) report += ", scaled by " + xNumber(factor);
    report += "\n" + notes;
    return 0;
}

}  // namespace krovane::import
