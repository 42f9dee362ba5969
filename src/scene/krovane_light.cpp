// Loading a light from the level tree and drawing its marker.
#include "scene/krovane_light.h"

#include "gfx/device.h"
#include "gfx/geometry.h"
#include "gfx/line_drawing.h"

namespace {

// Children of `id`, knots and params alike.
unsigned childCount(const DynamicRow& tree, unsigned id) { return tree.iCountParams(id) + tree.iCountKnots(id); }

// Reads the first `count` values below the key `key` of `node` into `out`;
// false (and `out` untouched) when the key is absent or has fewer children.
bool readValues(const DynamicRow& tree, unsigned node, const char* key, float* out, unsigned count) {
    const unsigned child = tree.iLookInFor(node, key);
    if (child == 0 || childCount(tree, child) < count) return false;
    unsigned value = tree.TopId(child);
    for (unsigned i = 0; i < count; ++i) {
        out[i] = tree.iLookName(value).toFloat();
        value = tree.NextId(value);
    }
    return true;
}

}  // namespace

bool Krovane_Light::LoadFromTree(const Korvane_string& lightName, const DynamicRow& tree) {
    return loadFromNode(lightName, tree, tree.iLookId(lightName));
}

bool Krovane_Light::loadFromNode(const Korvane_string& lightName, const DynamicRow& tree, unsigned node) {
    name = lightName;
    if (node == 0 || childCount(tree, node) == 0) return false;

    float v[3];
    if (readValues(tree, node, "_POSITION_", v, 3)) position = {v[0], v[1], v[2], 1.0f};
    if (readValues(tree, node, "_LOOK_", v, 3)) look = {v[0], v[1], v[2], 1.0f};
    if (readValues(tree, node, "_COLOR_", v, 3)) color = {v[0], v[1], v[2], 1.0f};
    readValues(tree, node, "_FALLOFF_", &falloff, 1);
    readValues(tree, node, "_SPECULAR_", &specular, 1);
    readValues(tree, node, "_SPECULAR_INTENSY_", &specularIntensity, 1);
    readValues(tree, node, "_AMBIENT_", &ambient, 1);
    readValues(tree, node, "_ATTENUATION_", &attenuation, 1);
    return true;
}

void Krovane_Light::DrawMarker(krovane::gfx::Device* device, krovane::gfx::Texture* first,
                               krovane::gfx::Texture* second) const {
    if (device == nullptr) return;
    const float x = position.x, y = position.y, z = position.z;
    const float s = kMarkerHalfSide, t = kMarkerTip;

    // The points are world coordinates: whatever world transform an earlier
    // draw left behind (an object's placement) must not move the marker.
    device->SetTransform(krovane::gfx::TransformState::World, &krovane::gfx::kIdentityMatrix);

    device->SetTexture(0, first);
    DrawLine(x + s, y + s, z + s, x - s, y - s, z - s, device);
    DrawLine(x + s, y + s, z - s, x - s, y - s, z + s, device);
    DrawLine(x + s, y - s, z - s, x - s, y + s, z + s, device);
    DrawLine(x - s, y + s, z - s, x + s, y - s, z + s, device);
    DrawLine(x, y - t, z, x, y + t, z, device);

    device->SetTexture(0, second);
    DrawBox(x + s, y + s, z + s, x - s, y - s, z - s, device);
    DrawLine(x, y - t, z, x + s, y - s, z - s, device);
    DrawLine(x, y - t, z, x - s, y - s, z - s, device);
    DrawLine(x, y - t, z, x + s, y - s, z + s, device);
    DrawLine(x, y - t, z, x - s, y - s, z + s, device);
    DrawLine(x, y + t, z, x + s, y + s, z + s, device);
    DrawLine(x, y + t, z, x + s, y + s, z - s, device);
    DrawLine(x, y + t, z, x - s, y + s, z + s, device);
    DrawLine(x, y + t, z, x - s, y + s, z - s, device);
}
