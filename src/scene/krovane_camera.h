// Krovane_Camera: a named viewpoint of the level, read from its tree: eye
// position, look-at point, up and side vectors, movement speed, and the
// world, view and projection matrices derived from them.
//
// A level's projection is fixed: a 45 degree vertical field of view, an
// aspect of 4:3 whatever the window, and depth from 1 to 15000. A model
// viewer sets its own aspect and depth (see scene/orbit_control.h).
#pragma once

#include "gfx/geometry.h"
#include "params/dynamic_row.h"
#include "params/korvane_string.h"

namespace krovane::gfx {
class Device;  // drawn on, not owned
}  // namespace krovane::gfx

class Krovane_Camera {
public:
    static constexpr float kFieldOfView = 0.7853982f;  // pi / 4
    static constexpr float kAspect = 1.3333334f;       // 4 / 3
    static constexpr float kNear = 1.0f;
    static constexpr float kFar = 15000.0f;
    static constexpr float kDefaultMoveSpeed = 0.1f;

    Krovane_Camera() = default;
    virtual ~Krovane_Camera() = default;

    // Reads the camera named `name` from the node found by that name anywhere
    // in `tree`: "_POSITION_", "_LOOK_", "_UP_", "_RIGHT_" (three values each)
    // and "_MOVESPEED_" (one), first values only; a key with too few values
    // is ignored, a repeated key applies again. Fields start from their
    // defaults. False, with the defaults kept and no matrices computed, when
    // the node is missing or has no children.
    bool LoadFromTree(const Korvane_string& name, const DynamicRow& tree);
    // The same from a given node of the tree (0: none).
    bool loadFromNode(const Korvane_string& name, const DynamicRow& tree, unsigned node);

    // Sets world, view and projection on the device, keeps view and
    // projection, and recomputes `right` as the horizontal side vector
    // (pointing to the viewer's left: (-1, 0, 0) looking along +Z).
    void ApplyTransforms(krovane::gfx::Device* device);

    // The marker seen from other cameras: a line from the eye to the look-at
    // point, a box of half size 2 around the look-at point and one of half
    // size 10 around the eye, under the camera's world transform.
    void DrawMarker(krovane::gfx::Device* device) const;

    // The projection of the field of view with `aspect`, `nearPlane` and `farPlane`.
    krovane::gfx::Matrix projectionMatrix() const;
    krovane::gfx::Matrix viewMatrix() const;

    Korvane_string name;
    float moveSpeed = kDefaultMoveSpeed;
    krovane::gfx::Vector3 position{0, 0, 0};
    krovane::gfx::Vector3 look{0, 0, 0};
    krovane::gfx::Vector3 up{0, 1, 0};
    krovane::gfx::Vector3 right{0, 0, 1};
    krovane::gfx::Matrix world = krovane::gfx::kIdentityMatrix;
    krovane::gfx::Matrix view = krovane::gfx::kIdentityMatrix;        // as last computed
    krovane::gfx::Matrix projection = krovane::gfx::kIdentityMatrix;  // as last computed
    float aspect = kAspect, nearPlane = kNear, farPlane = kFar;       // the projection's
};
