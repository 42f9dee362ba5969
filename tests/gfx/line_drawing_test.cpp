// DrawLine and DrawBox on the recording device: one draw each, the line
// vertex layout, and the box's edge order in both corner orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "gfx/recording_device.h"
#include "gfx/line_drawing.h"

namespace {

using namespace krovane::gfx;
using Point = std::array<float, 3>;

struct LineDrawing : ::testing::Test {
    Ref<RecordingDevice> recorder = RecordingDevice::create();
    Device* device = recorder.get();
    void SetUp() override { device->BeginScene(); }

    // The points of the last draw, checking the seven-float layout of each vertex.
    std::vector<Point> lastPoints() const {
        const RecordedCall& call = recorder->calls().back();
        EXPECT_EQ(call.op, DeviceOp::DrawPrimitiveUP);
        EXPECT_EQ(call.args[0], static_cast<std::uint32_t>(PrimitiveType::LineList));
        EXPECT_EQ(call.args[2], 28u);
        const std::vector<float> f = call.floats();
        std::vector<Point> points;
        for (std::size_t i = 0; i + 7 <= f.size(); i += 7) {
            EXPECT_EQ(f[i + 3], 0.0f);
            EXPECT_EQ(f[i + 4], 0.0f);
            EXPECT_EQ(f[i + 5], 0.0f);
            EXPECT_EQ(f[i + 6], 1.0f);
            points.push_back({f[i], f[i + 1], f[i + 2]});
        }
        return points;
    }
};

TEST_F(LineDrawing, OneSegmentOneDraw) {
    EXPECT_EQ(DrawLine(1, 2, 3, 4, 5, 6, device), kOk);
    EXPECT_EQ(recorder->calls().size(), 2u);  // BeginScene and the draw: no state set
    EXPECT_EQ(recorder->calls().back().args[1], 1u);
    EXPECT_EQ(lastPoints(), (std::vector<Point>{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(DrawLine(7, 7, 0, 7, 7, 0, device), kOk);  // degenerate, drawn all the same
}

TEST_F(LineDrawing, BoxEdgesInTheirOrder) {
    EXPECT_EQ(DrawBox(0, 0, 0, 1, 2, 3, device), kOk);
    EXPECT_EQ(recorder->calls().back().args[1], 12u);
    const std::vector<Point> expected = {
        {0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 2, 0}, {1, 2, 0}, {0, 2, 0}, {0, 2, 0}, {0, 0, 0},
        {0, 0, 0}, {0, 0, 3}, {0, 0, 3}, {0, 2, 3}, {0, 2, 3}, {0, 2, 0}, {1, 0, 0}, {1, 0, 3},
        {1, 0, 3}, {0, 0, 3}, {1, 2, 0}, {1, 2, 3}, {1, 2, 3}, {0, 2, 3}, {1, 0, 3}, {1, 2, 3},
    };
    EXPECT_EQ(lastPoints(), expected);
}

// Corners in the other order draw the same twelve edges (as a set of segments).
TEST_F(LineDrawing, CornersInEitherOrderDrawTheSameBox) {
    auto segments = [&] {
        const std::vector<Point> p = lastPoints();
        std::vector<std::array<Point, 2>> s;
        for (std::size_t i = 0; i + 1 < p.size(); i += 2)
            s.push_back(p[i] < p[i + 1] ? std::array{p[i], p[i + 1]} : std::array{p[i + 1], p[i]});
        std::sort(s.begin(), s.end());
        return s;
    };
    DrawBox(-1, -2, -3, 4, 5, 6, device);
    const auto forward = segments();
    DrawBox(4, 5, 6, -1, -2, -3, device);
    EXPECT_EQ(segments(), forward);
    DrawBox(2, 2, 2, 2, 2, 2, device);
    EXPECT_EQ(lastPoints().size(), 24u);  // twelve degenerate lines at one point
}

TEST_F(LineDrawing, NoDeviceDrawsNothing) {
    EXPECT_EQ(DrawLine(0, 0, 0, 1, 1, 1, nullptr), kInvalidCall);
    EXPECT_EQ(DrawBox(0, 0, 0, 1, 1, 1, nullptr), kInvalidCall);
}

}  // namespace
