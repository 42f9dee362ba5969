// Krovane_Light: one point light of the level, with its position, aim point,
// colour and the five lighting values handed to the shader effects, read from
// the level's parameter tree; it can draw a wire marker of itself.
#pragma once

#include "gfx/device_types.h"
#include "params/dynamic_row.h"
#include "params/korvane_string.h"

namespace krovane::gfx {
class Device;  // drawn on, not owned
class Texture;
}  // namespace krovane::gfx

class Krovane_Light {
public:
    // A point in homogeneous form; w turns 1 once the point is read from the tree.
    struct Point4 {
        float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
    };

    // Half the side of the marker's cube and the distance of its two tips from the light.
    static constexpr float kMarkerHalfSide = 15.0f;
    static constexpr float kMarkerTip = 20.0f;

    Krovane_Light() = default;
    virtual ~Krovane_Light() = default;

    // Reads the light named `name` from the node that name has in the tree
    // (the first node with that text). False when there is no such node or
    // it has no children; every field then keeps its default (the name is
    // still copied).
    bool LoadFromTree(const Korvane_string& name, const DynamicRow& tree);
    // The same, reading the keys below the node `node` of the tree.
    bool loadFromNode(const Korvane_string& name, const DynamicRow& tree, unsigned node);

    // Draws the marker at the light's position in world coordinates: the
    // cube's four space diagonals and the vertical axis with the first
    // texture, then the cube and a pyramid from each tip of the axis to the
    // nearer face with the second. Sets the world transform to the identity
    // first. Draws nothing without a device; a null texture clears stage 0.
    void DrawMarker(krovane::gfx::Device* device, krovane::gfx::Texture* first, krovane::gfx::Texture* second) const;

    Korvane_string name;
    Point4 position;
    Point4 look;  // the point the light aims at; kept, not used for drawing
    float falloff = 1000.0f;
    float specular = 8.5f;
    float specularIntensity = 0.19f;
    float ambient = 0.005f;
    float attenuation = 0.8f;
    krovane::gfx::ColorValue color = {1.0f, 1.0f, 1.0f, 1.0f};
};
