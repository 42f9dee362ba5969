// Meshes made from models keep every subset's triangles, winding included, in one indexed draw per subset, through
// welding and vertex-cache ordering: on a small model and on every public model beside the project. Textures from
// image files: paths go through the resolver, PNG decodes to ARGB pixels, DDS files keep their levels, and bad files
// fail with their reason before anything reaches the device.
#include <gtest/gtest.h>

#include <stb_image_write.h>  // writes the test images

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../level_files.h"
#include "../temp_dir.h"
#include "formats/x_model.h"
#include "gfx/mesh.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "gfx/vertex_buffer.h"

namespace {

using namespace krovane::formats;
using namespace krovane::gfx;

using Corner = std::array<std::uint8_t, 32>;
using Triangles = std::vector<std::array<Corner, 3>>;

// Adds the triangle of three 32-byte vertices, turned so that its smallest corner comes first (the same triangle
// wound the same way compares equal).
void add(Triangles& out, const std::uint8_t* vertices, std::size_t count, const std::uint32_t (&index)[3]) {
    std::array<Corner, 3> t{};
    for (int k = 0; k < 3; ++k)
        if (index[k] < count) std::memcpy(t[k].data(), vertices + std::size_t{index[k]} * 32, 32);
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    out.push_back(t);
}

// Each subset's triangles as the model gives them and as the mesh draws them, sorted; checks one draw per non-empty
// subset and the index size. Returns the mesh's vertex count.
std::uint32_t compare(const XModel& model, const std::string& what) {
    std::vector<Triangles> given, drawn;
    const auto* vertices = reinterpret_cast<const std::uint8_t*>(model.vertices.data());
    for (const XSubset& s : model.subsets) {
        given.emplace_back();
        for (std::uint64_t t = s.firstTriangle; t < std::uint64_t{s.firstTriangle} + s.triangleCount; ++t)
            add(given.back(), vertices, model.vertices.size(),
                {model.indices[t * 3], model.indices[t * 3 + 1], model.indices[t * 3 + 2]});
        std::sort(given.back().begin(), given.back().end());
    }
    Ref<RecordingDevice> device = RecordingDevice::create();
    Ref<Mesh> mesh;
    EXPECT_EQ(Mesh::create(device.get(), model, &mesh), kOk) << what;
    if (!mesh) return 0;
    device->BeginScene();
    for (std::uint32_t s = 0; s < model.subsets.size(); ++s) {
        device->clearCalls();
        EXPECT_EQ(mesh->DrawSubset(s), kOk);
        drawn.emplace_back();
        const std::uint8_t* stream = nullptr;
        std::size_t draws = 0;
        for (const RecordedCall& c : device->calls()) {
            if (c.op == DeviceOp::SetStreamSource) stream = static_cast<const VertexBuffer*>(c.object)->bytes();
            if (c.op != DeviceOp::DrawIndexedPrimitive) continue;
            ++draws;
            const std::size_t size = c.vertices.size() / (c.args[5] * 3);
            EXPECT_EQ(size, mesh->vertexCount() <= 0x10000 ? 2u : 4u) << what;
            for (std::size_t t = 0; t < c.args[5]; ++t) {
                std::uint32_t index[3] = {};
                for (int k = 0; k < 3; ++k) std::memcpy(&index[k], c.vertices.data() + (t * 3 + k) * size, size);
                add(drawn.back(), stream, mesh->vertexCount(), index);
            }
        }
        EXPECT_EQ(draws, model.subsets[s].triangleCount > 0 ? 1u : 0u) << what;
        std::sort(drawn.back().begin(), drawn.back().end());
    }
    EXPECT_EQ(mesh->DrawSubset(static_cast<std::uint32_t>(model.subsets.size())), kInvalidCall);
    EXPECT_TRUE(drawn == given) << what;
    return mesh->vertexCount();
}

TEST(Mesh, WeldsIdenticalVerticesAndKeepsEverySubsetsTriangles) {
    const std::string text = krovane::test::squareModel({"", ""});  // two subsets sharing two corners
    XModel model;
    std::string error;
    ASSERT_TRUE(parseXModel(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), model, error)) << error;
    EXPECT_EQ(compare(model, "square"), 4u);  // four vertices in all
}

TEST(Mesh, PublicModelsKeepTheirTrianglesPerSubset) {
    const std::filesystem::path folder = KROVANE_SHARED_MODELS;
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "skipped: no shared models in " << folder;
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || (entry.path().extension() != ".x" && entry.path().extension() != ".X"))
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        XModel model;
        std::string error;
        if (!parseXModel(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), model, error) ||
            model.indices.empty())
            continue;
        compare(model, entry.path().string());
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

struct TextureFiles : ::testing::Test {
    krovane::test::TempDir dir;
    Ref<RecordingDevice> device = RecordingDevice::create();

    // Loads `path` and returns the level count the texture was made with (0: the device makes the mipmaps), then
    // its pixels.
    std::vector<std::uint32_t> loaded(const char* path) {
        Ref<Texture> texture;
        std::string error;
        EXPECT_EQ(loadTextureFromFile(device.get(), path, &texture, &error), kOk) << path << ": " << error;
        const RecordedCall& call = device->calls().back();
        std::vector<std::uint32_t> out(1 + call.vertices.size() / 4, call.args[2]);
        std::memcpy(out.data() + 1, call.vertices.data(), call.vertices.size());
        return out;
    }
    void write(const char* path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
};

TEST_F(TextureFiles, PngDecodesToArgbPixelsAndDdsKeepsItsLevels) {
    // A 2 x 2 image: red, green / blue, half-transparent white.
    const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
    std::filesystem::create_directories("textures/_def");
    ASSERT_TRUE(stbi_write_png("textures/_def/white.png", 2, 2, 4, pixels, 8));
    EXPECT_EQ(loaded("textures\\_def\\White.png"),
              (std::vector<std::uint32_t>{0, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF}));
    // A 2 x 2 DDS of 32-bit pixels with its 1 x 1 level: "DDS ", header and pixel format sizes, flags, sides, levels.
    const std::uint32_t dds[37] = {
        0x20534444, 124, 0x21007, 2, 2, 0, 0,           2,           0,           0,           0,          0,      0,
        0,          0,   0,       0, 0, 0, 32,          0x41,        0,           32,          0xFF0000,   0xFF00, 0xFF,
        0xFF000000, 0,   0,       0, 0, 0, 0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u, 0xFF000005u};
    write("stone.dds", std::string(reinterpret_cast<const char*>(dds), sizeof dds));
    EXPECT_EQ(loaded("Stone.DDS"),
              (std::vector<std::uint32_t>{2, 0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u, 0xFF000005u}));
}

TEST_F(TextureFiles, BadFilesFailWithTheirReason) {
    write("junk.png", "this is not an image at all");
    // A file that is not there, and one the decoder refuses (the decoder's reasons: its own tests).
    const std::pair<const char*, const char*> cases[] = {
        {"textures\\missing.bmp", "cannot open the file"},
        {"junk.png", "not an image in a known form: BMP, PNG, JPEG, TGA and DDS files are taken"}};
    const std::uint32_t pixel = 0;
    for (const auto& [path, wanted] : cases) {
        Ref<Texture> texture;
        ASSERT_EQ(device->CreateTexture(1, 1, &pixel, &texture), kOk);
        device->clearCalls();
        std::string error;
        EXPECT_LT(loadTextureFromFile(device.get(), path, &texture, &error), 0) << path;
        EXPECT_EQ(texture, nullptr) << path;  // a failure empties the handle
        EXPECT_EQ(error, wanted) << path;
        EXPECT_TRUE(device->calls().empty()) << path;  // nothing reached the device
    }
}

}  // namespace
