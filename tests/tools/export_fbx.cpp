// export_fbx: writes a model as FBX through the import library's exporter, so
// that the import test has an FBX model of our own making without keeping a
// binary file.   export_fbx IN OUT.fbx
#include <assimp/scene.h>
#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(argv[1], 0);
    if (scene == nullptr) {
        std::fprintf(stderr, "export_fbx: %s\n", importer.GetErrorString());
        return 1;
    }
    Assimp::Exporter exporter;
    if (exporter.Export(scene, "fbxa", argv[2]) != AI_SUCCESS) {
        std::fprintf(stderr, "export_fbx: %s\n", exporter.GetErrorString());
        return 1;
    }
    return 0;
}
