// export_model IN OUT FORMAT (fbxa, collada): converts a model with the import library's exporter, so that
// the import test has FBX and COLLADA models of our own making without keeping them.
#include <assimp/scene.h>
#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(argv[1], 0);
    Assimp::Exporter exporter;
    if (scene == nullptr || exporter.Export(scene, argv[3], argv[2]) != AI_SUCCESS) {
        std::fprintf(stderr, "export_model: %s\n", scene ? exporter.GetErrorString() : importer.GetErrorString());
        return 1;
    }
    return 0;
}
