// make_big_glb OUT.glb TRIANGLES: writes a binary glTF of about TRIANGLES
// triangles, a square grid bent into waves with smooth normals and texture
// coordinates, for measuring how big models open (bench/open_big_models.sh).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void put32(std::string& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

template <class T>
void append(std::string& out, const std::vector<T>& values) {
    out.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: make_big_glb OUT.glb TRIANGLES\n", stderr);
        return 2;
    }
    const double wanted = std::atof(argv[2]);
    const std::uint32_t n = static_cast<std::uint32_t>(std::lround(std::sqrt(wanted / 2)));  // cells on a side
    if (n < 1 || n > 20000) {
        std::fputs("make_big_glb: TRIANGLES out of range\n", stderr);
        return 2;
    }
    const std::uint32_t side = n + 1, vertices = side * side;
    std::vector<float> positions, normals, uvs;
    positions.reserve(std::size_t{vertices} * 3);
    normals.reserve(std::size_t{vertices} * 3);
    uvs.reserve(std::size_t{vertices} * 2);
    const double size = 100, waves = 8, height = 4, k = 2 * 3.14159265358979 * waves / size;
    for (std::uint32_t j = 0; j < side; ++j)
        for (std::uint32_t i = 0; i < side; ++i) {
            const double u = double(i) / n, v = double(j) / n, x = (u - 0.5) * size, z = (v - 0.5) * size;
            const double y = height * std::sin(k * x) * std::cos(k * z);
            const double dx = height * k * std::cos(k * x) * std::cos(k * z);
            const double dz = -height * k * std::sin(k * x) * std::sin(k * z);
            const double length = std::sqrt(dx * dx + 1 + dz * dz);
            positions.insert(positions.end(), {float(x), float(y), float(z)});
            normals.insert(normals.end(), {float(-dx / length), float(1 / length), float(-dz / length)});
            uvs.insert(uvs.end(), {float(u), float(v)});
        }
    std::vector<std::uint32_t> indices;
    indices.reserve(std::size_t{n} * n * 6);
    for (std::uint32_t j = 0; j < n; ++j)
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t a = j * side + i, b = a + 1, c = a + side, d = c + 1;
            indices.insert(indices.end(), {a, c, b, b, c, d});  // counter-clockwise from above
        }

    std::string bin;
    append(bin, positions);
    append(bin, normals);
    append(bin, uvs);
    append(bin, indices);
    const std::size_t p = positions.size() * 4, q = normals.size() * 4, t = uvs.size() * 4, e = indices.size() * 4;
    char json[2048];
    std::snprintf(json, sizeof json,
                  R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
                  R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3}]}],)"
                  R"("accessors":[{"bufferView":0,"componentType":5126,"count":%u,"type":"VEC3",)"
                  R"("min":[%g,%g,%g],"max":[%g,%g,%g]},)"
                  R"({"bufferView":1,"componentType":5126,"count":%u,"type":"VEC3"},)"
                  R"({"bufferView":2,"componentType":5126,"count":%u,"type":"VEC2"},)"
                  R"({"bufferView":3,"componentType":5125,"count":%zu,"type":"SCALAR"}],)"
                  R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":%zu},)"
                  R"({"buffer":0,"byteOffset":%zu,"byteLength":%zu},{"buffer":0,"byteOffset":%zu,"byteLength":%zu},)"
                  R"({"buffer":0,"byteOffset":%zu,"byteLength":%zu}],"buffers":[{"byteLength":%zu}]})",
                  vertices, -size / 2, -height, -size / 2, size / 2, height, size / 2, vertices, vertices,
                  indices.size(), p, p, q, p + q, t, p + q + t, e, bin.size());
    std::string text = json;
    while (text.size() % 4 != 0) text += ' ';
    std::string glb = "glTF";
    put32(glb, 2);
    put32(glb, static_cast<std::uint32_t>(12 + 8 + text.size() + 8 + bin.size()));
    put32(glb, static_cast<std::uint32_t>(text.size()));
    glb += "JSON";
    glb += text;
    put32(glb, static_cast<std::uint32_t>(bin.size()));
    glb += std::string("BIN\0", 4);
    glb += bin;
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(glb.data(), 1, glb.size(), out) != glb.size() || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("%s: %zu triangles, %u vertices\n", argv[1], indices.size() / 3, vertices);
    return 0;
}
