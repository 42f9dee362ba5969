// Meshes made from models keep every subset's triangles, winding included, in one indexed draw per subset, through
// welding and vertex-cache ordering: on a small model and on every public model beside the project.
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

}  // namespace
