// krovane-import: converts a model from today's modelling tools (glTF 2.0
// .gltf and .glb, OBJ, FBX, COLLADA .dae) into a text .x file the engine
// loads.
//
//   krovane-import MODEL OUT.x
//
// Every mesh keeps its material (colours, shininess, texture file name). The
// model is brought into the engine's left-handed, y-up coordinates without
// mirroring it, with front faces clockwise as in the engine's own models, and
// with node transforms applied. Textures are copied beside OUT.x (textures
// held inside the model file are written out there), and the .x names them
// by file name alone, where the engine looks for them beside the model.
//
// The import library runs in a child process: a damaged file that makes it
// crash or hang fails with one line naming the file and the reason, exit 1.
// The .x written is read back with the engine's own loader before it takes
// the name OUT.x. Bad arguments: the usage, exit 2.
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "formats/x_model.h"
#include "gfx/png_writer.h"
#include "platform/child_process.h"
#include "platform/code_page_1251.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: krovane-import MODEL OUT.x\n"
    "       krovane-import --help | --version\n"
    "Converts a glTF 2.0 (.gltf, .glb), OBJ, FBX or COLLADA (.dae) model into a text .x file\n"
    "for the engine, and copies its textures beside OUT.x.\n";
constexpr unsigned kTimeoutSeconds = 120;

int refuse(const std::string& why) {
    std::fprintf(stderr, "krovane-import: %s\n%s", why.c_str(), kUsage);
    return 2;
}

int fail(const std::string& file, const std::string& why) {
    std::string line = why;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::fprintf(stderr, "krovane-import: %s: %s\n", file.c_str(), line.c_str());
    return 1;
}

std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(v));
    return text;
}

// A texture file name in the engine's code page, safe inside the .x quotes.
std::string engineName(const std::string& utf8) {
    std::string name = krovane::utf8ToCp1251Lossy(utf8);
    for (char& c : name)
        if (c == '"' || c == '\\' || c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
    return name;
}

// Gives the texture `path` (as the model names it) a file beside OUT.x and
// returns the name the .x uses; empty when there is nothing to name.
std::string placeTexture(const aiScene& scene, const std::string& path, const fs::path& modelDir,
                         const fs::path& outPath, std::set<std::string>& written, std::string& notes) {
    const fs::path outDir = outPath.parent_path().empty() ? fs::path(".") : outPath.parent_path();
    if (const aiTexture* embedded = scene.GetEmbeddedTexture(path.c_str())) {
        // Held inside the model: write it out as OUT_N.ext.
        std::size_t index = 0;
        while (index < scene.mNumTextures && scene.mTextures[index] != embedded) ++index;
        const bool compressed = embedded->mHeight == 0;
        std::string hint = compressed ? std::string(embedded->achFormatHint) : "png";
        if (hint.empty() || hint.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos)
            hint = "bin";
        const std::string name = engineName(outPath.stem().string() + "_" + std::to_string(index) + "." + hint);
        const fs::path file = outDir / krovane::cp1251ToUtf8(name);
        if (written.insert(name).second) {
            bool ok = false;
            if (compressed) {
                std::ofstream out(file, std::ios::binary);
                out.write(reinterpret_cast<const char*>(embedded->pcData), embedded->mWidth);
                ok = static_cast<bool>(out);
            } else {
                std::vector<std::uint32_t> argb(static_cast<std::size_t>(embedded->mWidth) * embedded->mHeight);
                for (std::size_t i = 0; i < argb.size(); ++i) {
                    const aiTexel& t = embedded->pcData[i];
                    argb[i] = std::uint32_t{t.a} << 24 | std::uint32_t{t.r} << 16 | std::uint32_t{t.g} << 8 | t.b;
                }
                ok = krovane::gfx::writePng(file, argb, embedded->mWidth, embedded->mHeight);
            }
            if (!ok) notes += "cannot write the texture " + file.string() + "\n";
        }
        return name;
    }

    std::string slashed = path;
    for (char& c : slashed)
        if (c == '\\') c = '/';
    const fs::path given(slashed);
    const std::string name = engineName(given.filename().string());
    if (name.empty()) return "";
    const fs::path target = outDir / krovane::cp1251ToUtf8(name);
    if (!written.insert(name).second) return name;
    std::error_code ec;
    fs::path source = given.is_absolute() ? given : modelDir / given;
    if (!fs::is_regular_file(source, ec)) source = modelDir / given.filename();
    if (!fs::is_regular_file(source, ec)) {
        notes += "the texture " + path + " is not there; the model names it as " + name + "\n";
    } else if (!fs::equivalent(source, target, ec)) {
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
        if (ec) notes += "cannot copy the texture " + source.string() + ": " + ec.message() + "\n";
    }
    return name;
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
    x << "  }\n";
}

// The whole conversion, in the child process: reads MODEL, writes the
// textures and `partPath`; `report` gets the reason of a failure or, on
// success, what was converted followed by the notes.
int convert(const std::string& model, const fs::path& outPath, const fs::path& partPath, std::string& report) {
    Assimp::Importer importer;
    // Points and lines are not drawn; drop them rather than write them as faces.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    // Normals are made (where the file has none) from the faces as the file
    // winds them, before the change of handedness turns both around.
    const aiScene* scene = importer.ReadFile(model, aiProcess_Triangulate | aiProcess_GenSmoothNormals |
                                                        aiProcess_SortByPType | aiProcess_ValidateDataStructure);
    if (scene != nullptr)
        scene = importer.ApplyPostProcessing(aiProcess_ConvertToLeftHanded | aiProcess_PreTransformVertices);
    if (scene == nullptr) {
        report = importer.GetErrorString();
        if (report.empty()) report = "the import library cannot read it";
        return 1;
    }

    const fs::path modelDir = fs::path(model).parent_path().empty() ? fs::path(".") : fs::path(model).parent_path();
    std::set<std::string> written;
    std::string notes;
    std::ostringstream x;
    x << "xof 0303txt 0032\n// Made by krovane-import from " << fs::path(model).filename().string() << "\n";
    std::size_t meshes = 0, triangles = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        const aiMesh& mesh = *scene->mMeshes[i];
        std::vector<const aiFace*> faces;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f)
            if (mesh.mFaces[f].mNumIndices == 3) faces.push_back(&mesh.mFaces[f]);
        if (faces.empty() || mesh.mNumVertices == 0) continue;
        ++meshes;
        triangles += faces.size();

        const auto list = [&](auto&& item, std::size_t count, const char* indent) {
            for (std::size_t k = 0; k < count; ++k) {
                x << indent;
                item(k);
                x << (k + 1 < count ? ",\n" : ";\n");
            }
        };
        const auto faceList = [&] {
            x << "  " << faces.size() << ";\n";
            list(
                [&](std::size_t k) {
                    const aiFace& f = *faces[k];
                    x << "3;" << f.mIndices[0] << ',' << f.mIndices[1] << ',' << f.mIndices[2] << ';';
                },
                faces.size(), "  ");
        };

        x << "\nMesh mesh_" << meshes << " {\n  " << mesh.mNumVertices << ";\n";
        list(
            [&](std::size_t k) {
                const aiVector3D& v = mesh.mVertices[k];
                x << number(v.x) << ';' << number(v.y) << ';' << number(v.z) << ';';
            },
            mesh.mNumVertices, "  ");
        faceList();
        if (mesh.HasNormals()) {
            x << " MeshNormals {\n  " << mesh.mNumVertices << ";\n";
            list(
                [&](std::size_t k) {
                    const aiVector3D& n = mesh.mNormals[k];
                    x << number(n.x) << ';' << number(n.y) << ';' << number(n.z) << ';';
                },
                mesh.mNumVertices, "  ");
            faceList();
            x << " }\n";
        }
        if (mesh.HasTextureCoords(0)) {
            x << " MeshTextureCoords {\n  " << mesh.mNumVertices << ";\n";
            list(
                [&](std::size_t k) {
                    const aiVector3D& t = mesh.mTextureCoords[0][k];
                    x << number(t.x) << ';' << number(t.y) << ';';
                },
                mesh.mNumVertices, "  ");
            x << " }\n";
        }
        std::string texture;
        const aiMaterial* material =
            mesh.mMaterialIndex < scene->mNumMaterials ? scene->mMaterials[mesh.mMaterialIndex] : nullptr;
        if (material != nullptr) {
            aiString path;
            if (material->GetTexture(aiTextureType_DIFFUSE, 0, &path) == AI_SUCCESS ||
                material->GetTexture(aiTextureType_BASE_COLOR, 0, &path) == AI_SUCCESS)
                texture = placeTexture(*scene, path.C_Str(), modelDir, outPath, written, notes);
        }
        x << " MeshMaterialList {\n  1;\n  " << faces.size() << ";\n";
        list([&](std::size_t) { x << '0'; }, faces.size(), "  ");
        if (material != nullptr)
            writeMaterial(x, *material, texture);
        else
            writeMaterial(x, aiMaterial(), texture);
        x << " }\n}\n";
    }
    if (meshes == 0) {
        report = "it holds no triangles";
        return 1;
    }
    std::ofstream out(partPath, std::ios::binary | std::ios::trunc);
    const std::string text = x.str();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        report = "cannot write " + partPath.string();
        return 1;
    }
    report = std::to_string(meshes) + " meshes, " + std::to_string(triangles) + " triangles, " +
             std::to_string(written.size()) + " textures\n" + notes;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("krovane-import %s\n", KROVANE_VERSION);
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') return refuse("unknown option " + std::string(arg));
        files.emplace_back(arg);
    }
    if (files.size() != 2) return refuse("give the model and the .x file to write");
    const std::string& model = files[0];
    const fs::path outPath = files[1];
    std::error_code ec;
    if (!fs::is_regular_file(model, ec)) return fail(model, "no such file");
    const fs::path partPath = fs::path(outPath.string() + ".part");

    const krovane::platform::ChildOutcome outcome = krovane::platform::runInChildProcess(
        [&](std::string& report) { return convert(model, outPath, partPath, report); }, kTimeoutSeconds);
    if (!outcome.finished || outcome.exitCode != 0) {
        fs::remove(partPath, ec);
        return fail(model, outcome.finished ? outcome.report : "the import library " + outcome.fault);
    }

    // Read back with the engine's loader before it takes the name.
    std::ifstream in(partPath, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    krovane::formats::XModel check;
    std::string error;
    if (!krovane::formats::parseXModel(bytes.data(), bytes.size(), check, error)) {
        fs::remove(partPath, ec);
        return fail(model, "the .x made from it does not load: " + error);
    }
    fs::rename(partPath, outPath, ec);
    if (ec) {
        fs::remove(partPath, ec);
        return fail(model, "cannot write " + outPath.string());
    }
    const std::size_t lineEnd = outcome.report.find('\n');
    std::printf("krovane-import: wrote %s: %s\n", outPath.string().c_str(), outcome.report.substr(0, lineEnd).c_str());
    if (lineEnd != std::string::npos && lineEnd + 1 < outcome.report.size())
        std::fprintf(stderr, "%s", outcome.report.substr(lineEnd + 1).c_str());
    return 0;
}
