#include "gfx/line_drawing.h"

namespace {

using krovane::gfx::Device;
using krovane::gfx::PrimitiveType;

struct LineVertex {
    float x, y, z;
    float zero[3];
    float one;
};
static_assert(sizeof(LineVertex) == krovane::gfx::kLineVertexStride, "the line vertex is seven floats");

constexpr LineVertex vertex(float x, float y, float z) { return {x, y, z, {0.0f, 0.0f, 0.0f}, 1.0f}; }

}  // namespace

krovane::gfx::Result DrawLine(float x1, float y1, float z1, float x2, float y2, float z2, Device* device) {
    if (device == nullptr) return krovane::gfx::kInvalidCall;
    const LineVertex line[2] = {vertex(x1, y1, z1), vertex(x2, y2, z2)};
    return device->DrawPrimitiveUP(PrimitiveType::LineList, 1, line, sizeof(LineVertex),
                                   krovane::gfx::VertexLayout::Line);
}

krovane::gfx::Result DrawBox(float x1, float y1, float z1, float x2, float y2, float z2, Device* device) {
    if (device == nullptr) return krovane::gfx::kInvalidCall;
    const LineVertex edges[24] = {
        vertex(x1, y1, z1), vertex(x2, y1, z1),  // the face at z1
        vertex(x2, y1, z1), vertex(x2, y2, z1),  //
        vertex(x2, y2, z1), vertex(x1, y2, z1),  //
        vertex(x1, y2, z1), vertex(x1, y1, z1),  //
        vertex(x1, y1, z1), vertex(x1, y1, z2),  // joins the faces
        vertex(x1, y1, z2), vertex(x1, y2, z2),  //
        vertex(x1, y2, z2), vertex(x1, y2, z1),  // joins the faces
        vertex(x2, y1, z1), vertex(x2, y1, z2),  // joins the faces
        vertex(x2, y1, z2), vertex(x1, y1, z2),  //
        vertex(x2, y2, z1), vertex(x2, y2, z2),  // joins the faces
        vertex(x2, y2, z2), vertex(x1, y2, z2),  //
        vertex(x2, y1, z2), vertex(x2, y2, z2),  //
    };
    return device->DrawPrimitiveUP(PrimitiveType::LineList, 12, edges, sizeof(LineVertex),
                                   krovane::gfx::VertexLayout::Line);
}
