// Small files of a level, written into the test's working directory: any
// text, a file of the bundled level, a 24-bit BMP of one colour, the
// renderer's own files, and a text .x model of a square.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace krovane::test {

// Writes `text` to `path` (slashes), making its folders.
inline void writeFile(const std::string& path, std::string_view text) {
    const std::filesystem::path p(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

#ifdef KROVANE_DEMO_DIR
// Copies a file of the bundled level (demo/) to the same path here.
inline void copyDemoFile(const std::string& path) {
    const std::filesystem::path to(path);
    if (to.has_parent_path()) std::filesystem::create_directories(to.parent_path());
    std::filesystem::copy_file(std::filesystem::path(KROVANE_DEMO_DIR) / path, to,
                               std::filesystem::copy_options::overwrite_existing);
}
#endif

// A side x side 24-bit BMP of the colour 0xRRGGBB.
inline std::string bmp(std::uint32_t rgb, std::uint32_t side = 2) {
    const std::uint32_t row = (side * 3 + 3) / 4 * 4, size = 54 + row * side;  // rows padded to 4 bytes
    std::string out(size, '\0');
    const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    out[0] = 'B', out[1] = 'M';
    // File size, pixel offset, header size, width, height, planes, bits per pixel.
    for (const auto& [at, value, bytes] :
         {std::tuple{2, size, 4}, {10, 54u, 4}, {14, 40u, 4}, {18, side, 4}, {22, side, 4}, {26, 1u, 2}, {28, 24u, 2}})
        put(static_cast<std::size_t>(at), value, bytes);
    for (std::size_t y = 0; y < side; ++y)
        for (std::size_t x = 0; x < side; ++x) put(54 + y * row + x * 3, rgb, 3);
    return out;
}
inline void writeBmp(const std::string& path, std::uint32_t rgb) { writeFile(path, bmp(rgb)); }

#ifdef KROVANE_DEMO_DIR
// The default textures (white) and the shipped effect that the renderer starts with.
inline void writeRendererFiles() {
    for (const char* name : {"white", "red", "Blue", "yellow"})
        writeBmp(std::string("textures/_def/") + name + ".bmp", 0xFFFFFF);
    copyDemoFile("fx/vek_Phong.fx");
}
#endif

// A square of two triangles in the z = 0 plane facing -z, from (-1, -1) to
// (1, 1), with normals and texture coordinates, and one material per entry
// of `textures` ("" for a material without a texture). Material i has the
// diffuse colour (0.1 * (i + 1), 0.5, 0.25, 1) and its triangles are
// [i % 2]; a third material or more gets no triangles.
inline std::string squareModel(const std::vector<std::string_view>& textures) {
    std::string x = "xof 0303txt 0032\n";
    x += "Mesh square {\n 4;\n -1.0;-1.0;0.0;,\n -1.0;1.0;0.0;,\n 1.0;1.0;0.0;,\n 1.0;-1.0;0.0;;\n";
    x += " 2;\n 3;0,1,2;,\n 3;0,2,3;;\n";
    x += " MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 3;0,0,0;; }\n";
    x += " MeshTextureCoords { 4; 0.0;1.0;, 0.0;0.0;, 1.0;0.0;, 1.0;1.0;; }\n";
    x += " MeshMaterialList {\n  " + std::to_string(textures.size()) + ";\n  2;\n  0,\n  " +
         (textures.size() > 1 ? "1" : "0") + ";;\n";
    int i = 0;
    for (std::string_view texture : textures) {
        ++i;
        x += "  Material {\n   " + std::to_string(0.1 * i).substr(0, 3) + ";0.5;0.25;1.0;;\n   12.0;\n";
        x += "   0.3;0.3;0.3;;\n   0.0;0.0;0.1;;\n";
        if (!texture.empty()) x += "   TextureFilename { \"" + std::string(texture) + "\"; }\n";
        x += "  }\n";
    }
    x += " }\n}\n";
    return x;
}

}  // namespace krovane::test
