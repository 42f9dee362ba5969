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
#include <new>
#include <sstream>
#include <vector>

#include "platform/code_page_1251.h"
#include "platform/file_io.h"
#include "texture_placer.h"

namespace fs = std::filesystem;

namespace krovane::import {

namespace {

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(static_cast<float>(v)));
    return text;
}

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

void writeMaterial(std::ostream& x, const aiMaterial& m, const std::string& texture) {
    aiColor4D diffuse(1, 1, 1, 1), specular(0, 0, 0, 0), emissive(0, 0, 0, 0);
    m.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    m.Get(AI_MATKEY_COLOR_SPECULAR, specular);
    m.Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
    float opacity = 1, power = 0;
    if (m.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) diffuse.a = opacity;
    m.Get(AI_MATKEY_SHININESS, power);
    x << "  Material {\n   " << number(diffuse.r) << ';' << number(diffuse.g) << ';' << number(diffuse.b) << ';'
      << number(diffuse.a) << ";;\n   " << number(power) << ";\n   " << number(specular.r) << ';' << number(specular.g)
      << ';' << number(specular.b) << ";;\n   " << number(emissive.r) << ';' << number(emissive.g) << ';'
      << number(emissive.b) << ";;\n";
    if (!texture.empty()) x << "   TextureFilename { \"" << texture << "\"; }\n";
    float cutoff;
    if (const int mode = alphaMode(&m, cutoff)) x << "   KrovaneAlpha { " << mode << "; " << number(cutoff) << ";; }\n";
    x << "  }\n";
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

// Writes one mesh: a double-sided one has its vertices twice, the second
// time with the normals turned round, and each face again on those with the
// opposite winding, so that back-face culling shows it from either side.
void writeMesh(std::ostream& x, const MeshPlan& p, std::size_t index, double factor, const std::string& texture,
               const aiMaterial* material) {
    const aiMesh& mesh = *p.mesh;
    const std::size_t vertices = mesh.mNumVertices, faces = p.faces.size();
    const std::size_t copies = p.bothSides ? 2 : 1;
    const auto list = [&](auto&& item, std::size_t count) {
        x << "  " << count << ";\n";
        for (std::size_t k = 0; k < count; ++k) {
            x << "  ";
            item(k);
            x << (k + 1 < count ? ",\n" : ";\n");
        }
    };
    const auto faceList = [&] {
        list(
            [&](std::size_t k) {
                const aiFace& f = *p.faces[k % faces];
                const std::size_t back = k < faces ? 0 : vertices;
                const unsigned second = back != 0 ? 2 : 1, third = back != 0 ? 1 : 2;
                x << "3;" << f.mIndices[0] + back << ',' << f.mIndices[second] + back << ',' << f.mIndices[third] + back
                  << ';';
            },
            faces * copies);
    };
    const auto vector = [&](const aiVector3D& v, double by) {
        x << number(v.x * by) << ';' << number(v.y * by) << ';' << number(v.z * by) << ';';
    };

    x << "\nMesh mesh_" << index << " {\n";
    list([&](std::size_t k) { vector(mesh.mVertices[k % vertices], factor); }, vertices * copies);
    faceList();
    if (mesh.HasNormals()) {
        x << " MeshNormals {\n";
        list([&](std::size_t k) { vector(mesh.mNormals[k % vertices], k < vertices ? 1 : -1); }, vertices * copies);
        faceList();
        x << " }\n";
    } else if (!p.normals.empty()) {
        // A normal for each corner, the back copies' turned round and in their faces' order.
        const std::size_t corners = faces * 3;
        x << " MeshNormals {\n";
        list([&](std::size_t k) { vector(p.normals[k % corners], k < corners ? 1 : -1); }, corners * copies);
        list(
            [&](std::size_t k) {
                const std::size_t n = k * 3, second = k < faces ? 1 : 2, third = k < faces ? 2 : 1;
                x << "3;" << n << ',' << n + second << ',' << n + third << ';';
            },
            faces * copies);
        x << " }\n";
    }
    if (mesh.HasTextureCoords(0)) {
        x << " MeshTextureCoords {\n";
        list(
            [&](std::size_t k) {
                const aiVector3D& t = mesh.mTextureCoords[0][k % vertices];
                x << number(t.x) << ';' << number(t.y) << ';';
            },
            vertices * copies);
        x << " }\n";
    }
    x << " MeshMaterialList {\n  1;\n";
    list([&](std::size_t) { x << '0'; }, faces * copies);
    if (material != nullptr)
        writeMaterial(x, *material, texture);
    else
        writeMaterial(x, aiMaterial(), texture);  // not one expression: that would copy *material, and free it twice
    x << " }\n}\n";
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

}  // namespace

int convertModel(const Conversion& job, std::string& report) {
    Assimp::Importer importer;
    // Normals the file lacks are made later, per corner (cornerNormals), so that hard edges stay hard.
    const aiScene* scene = importer.ReadFile(job.model, aiProcess_Triangulate | aiProcess_SortByPType |
                                                            aiProcess_ValidateDataStructure);
    if (scene != nullptr) {
        standUp(*const_cast<aiScene*>(scene));  // the importer's own scene, as its post-processing changes it
        scene = importer.ApplyPostProcessing(aiProcess_ConvertToLeftHanded | aiProcess_PreTransformVertices);
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
    std::vector<MeshPlan> plans;
    double lo[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, hi[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        MeshPlan p = plan(*scene, *scene->mMeshes[i], tally);
        if (p.faces.empty() || p.mesh->mNumVertices == 0) continue;
        for (unsigned k = 0; k < p.mesh->mNumVertices; ++k)
            for (int axis = 0; axis < 3; ++axis) {
                lo[axis] = std::min<double>(lo[axis], p.mesh->mVertices[k][axis]);
                hi[axis] = std::max<double>(hi[axis], p.mesh->mVertices[k][axis]);
            }
        plans.push_back(std::move(p));
    }
    if (plans.empty()) {
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
        report = "scaled by " + number(factor) + ", its coordinates are beyond what a .x file holds";
        return 1;
    }

    Textures textures(*scene, job);
    std::string notes;
    std::ostringstream x;
    x << "xof 0303txt 0032\n// Made by krovane-import from " << fs::path(job.model).filename().string() << "\n";
    float cutoff;
    if (std::any_of(plans.begin(), plans.end(), [&](const MeshPlan& p) { return alphaMode(p.material, cutoff) != 0; }))
        x << kAlphaTemplate;
    std::size_t triangles = 0;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const aiMaterial* material = plans[i].material;
        std::string texture;
        aiString path;
        if (material != nullptr && (material->GetTexture(aiTextureType_DIFFUSE, 0, &path) == AI_SUCCESS ||
                                    material->GetTexture(aiTextureType_BASE_COLOR, 0, &path) == AI_SUCCESS))
            texture = textures.name(path.C_Str(), notes);
        writeMesh(x, plans[i], i + 1, factor, texture, material);
        triangles += plans[i].faces.size() * (plans[i].bothSides ? 2 : 1);
    }
    tally.notes(notes);

    std::ofstream out(job.partPath, std::ios::binary | std::ios::trunc);
    const std::string text = x.str();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        report = "cannot write " + job.partPath.string();
        return 1;
    }
    report = std::to_string(plans.size()) + " meshes, " + std::to_string(triangles) + " triangles, " +
             std::to_string(textures.count()) + " textures";
    if (factor != 1) report += ", scaled by " + number(factor);
    report += "\n" + notes;
    return 0;
}

}  // namespace krovane::import
