// Meshes made from models: welding identical vertices and ordering triangles
// for the vertex cache keep every subset's triangles (corners in their order,
// so their winding) and one indexed draw per subset, checked against the
// model's own triangles on a small model and on every public model beside the
// project (skipped when that folder is absent).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../level_files.h"
#include "formats/x_model.h"
#include "gfx/mesh.h"
#include "gfx/recording_device.h"

namespace {

using namespace krovane::formats;
using namespace krovane::gfx;

using Corner = std::array<std::uint8_t, 32>;
using Triangle = std::array<Corner, 3>;

// A triangle turned so that its smallest corner comes first: the same
// triangle, wound the same way, compares equal whatever corner it starts at.
Triangle turned(Triangle t) {
    const auto first = std::min_element(t.begin(), t.end()) - t.begin();
    std::rotate(t.begin(), t.begin() + first, t.end());
    return t;
}

Corner corner(const XModel& model, std::uint32_t index) {
    Corner c{};
    if (index < model.vertices.size()) std::memcpy(c.data(), &model.vertices[index], 32);
    return c;
}

// Each subset's triangles as the model gives them, sorted.
std::vector<std::vector<Triangle>> modelTriangles(const XModel& model) {
    std::vector<std::vector<Triangle>> out;
    for (const XSubset& s : model.subsets) {
        out.emplace_back();
        for (std::uint64_t t = s.firstTriangle; t < std::uint64_t{s.firstTriangle} + s.triangleCount; ++t)
            out.back().push_back(turned({corner(model, model.indices[t * 3]), corner(model, model.indices[t * 3 + 1]),
                                         corner(model, model.indices[t * 3 + 2])}));
        std::sort(out.back().begin(), out.back().end());
    }
    return out;
}

// Each subset's triangles as the mesh draws them, sorted; one draw each.
std::vector<std::vector<Triangle>> meshTriangles(const XModel& model, std::uint32_t& vertices,
                                                 std::uint32_t& indexBytes) {
    Ref<RecordingDevice> device = RecordingDevice::create();
    Ref<Mesh> mesh;
    std::vector<std::vector<Triangle>> out;
    EXPECT_EQ(Mesh::create(device.get(), model, &mesh), kOk);
    if (mesh == nullptr) {
        device.reset();
        return out;
    }
    vertices = mesh->vertexCount();
    for (const RecordedCall& c : device->calls())
        if (c.op == DeviceOp::CreateIndexBuffer) indexBytes = c.args[2] == kFmtIndex16 ? 2 : 4;
    device->BeginScene();
    for (std::uint32_t s = 0; s < model.subsets.size(); ++s) {
        device->clearCalls();
        EXPECT_EQ(mesh->DrawSubset(s), kOk);
        out.emplace_back();
        std::size_t draws = 0;
        for (const RecordedCall& c : device->calls()) {
            if (c.op != DeviceOp::DrawIndexedPrimitive) continue;
            ++draws;
            const auto bound = std::find_if(device->calls().begin(), device->calls().end(),
                                            [](const RecordedCall& b) { return b.op == DeviceOp::SetStreamSource; });
            const std::uint8_t* stream = static_cast<const VertexBuffer*>(bound->object)->bytes();
            const auto index = [&](std::size_t i) {
                std::uint32_t v = 0;
                std::memcpy(&v, c.vertices.data() + i * indexBytes, indexBytes);
                Corner k;
                std::memcpy(k.data(), stream + std::size_t{v} * 32, 32);
                return k;
            };
            for (std::size_t t = 0; t < c.args[5]; ++t)
                out.back().push_back(turned({index(t * 3), index(t * 3 + 1), index(t * 3 + 2)}));
        }
        EXPECT_EQ(draws, model.subsets[s].triangleCount > 0 ? 1u : 0u);
        std::sort(out.back().begin(), out.back().end());
    }
    mesh.reset();
    device.reset();
    return out;
}

TEST(Mesh, WeldsIdenticalVerticesAndKeepsEverySubsetsTriangles) {
    // Two subsets sharing two corners: four vertices in all, 16-bit indices.
    const std::string text = krovane::test::squareModel({"", ""});
    XModel model;
    std::string error;
    ASSERT_TRUE(parseXModel(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), model, error)) << error;
    std::uint32_t vertices = 0, indexBytes = 0;
    EXPECT_EQ(meshTriangles(model, vertices, indexBytes), modelTriangles(model));
    EXPECT_EQ(vertices, 4u);
    EXPECT_EQ(indexBytes, 2u);
}

TEST(Mesh, PublicModelsKeepTheirTrianglesPerSubset) {
    const std::filesystem::path folder = KROVANE_SHARED_MODELS;
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no shared models in " << folder;
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
        if (!entry.is_regular_file() || ext != ".x") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        XModel model;
        std::string error;
        if (!parseXModel(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), model, error) ||
            model.indices.empty())
            continue;
        std::uint32_t vertices = 0, indexBytes = 0;
        const auto drawn = meshTriangles(model, vertices, indexBytes);
        EXPECT_TRUE(drawn == modelTriangles(model)) << entry.path();
        EXPECT_EQ(indexBytes, vertices <= 0x10000 ? 2u : 4u) << entry.path();
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
