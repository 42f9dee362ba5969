#include "scene/krovane_camera.h"

#include "gfx/line_drawing.h"

using krovane::gfx::Matrix;
using krovane::gfx::Vector3;

namespace {

// The first three values of `key` into `out`, when it has at least three params.
void readVector(const DynamicRow& tree, unsigned key, Vector3& out) {
    if (tree.iCountParams(key) < 3) return;
    const unsigned x = tree.TopId(key), y = tree.NextId(x), z = tree.NextId(y);
    out = {tree.iLookName(x).toFloat(), tree.iLookName(y).toFloat(), tree.iLookName(z).toFloat()};
}

}  // namespace

bool Krovane_Camera::LoadFromTree(const Korvane_string& cameraName, const DynamicRow& tree) {
    return loadFromNode(cameraName, tree, tree.iLookId(cameraName));
}

bool Krovane_Camera::loadFromNode(const Korvane_string& cameraName, const DynamicRow& tree, unsigned id) {
    name = cameraName;
    moveSpeed = kDefaultMoveSpeed;
    position = {0, 0, 0};
    look = {0, 0, 0};
    up = {0, 1, 0};
    right = {0, 0, 1};

    if (id == 0 || tree.iCountKnots(id) + tree.iCountParams(id) == 0) return false;
    for (unsigned child = tree.TopId(id); child != 0; child = tree.NextId(child)) {
        const std::string_view key = tree.text(child);
        if (key == "_POSITION_")
            readVector(tree, child, position);
        else if (key == "_LOOK_")
            readVector(tree, child, look);
        else if (key == "_UP_")
            readVector(tree, child, up);
        else if (key == "_RIGHT_")
            readVector(tree, child, right);
        else if (key == "_MOVESPEED_" && tree.iCountParams(child) >= 1)
            moveSpeed = tree.iLookName(tree.TopId(child)).toFloat();
    }
    view = viewMatrix();
    projection = projectionMatrix();
    return true;
}

Matrix Krovane_Camera::projectionMatrix() const {
    return krovane::gfx::perspectiveFovLH(kFieldOfView, aspect, nearPlane, farPlane);
}

Matrix Krovane_Camera::viewMatrix() const { return krovane::gfx::lookAtLH(position, look, up); }

void Krovane_Camera::ApplyTransforms(krovane::gfx::Device* device) {
    using krovane::gfx::TransformState;
    if (device == nullptr) return;
    device->SetTransform(TransformState::World, &world);
    view = viewMatrix();
    device->SetTransform(TransformState::View, &view);
    projection = projectionMatrix();
    device->SetTransform(TransformState::Projection, &projection);
    const Vector3 d = krovane::gfx::normalize(look - position);
    right = krovane::gfx::normalize({-d.z, 0.0f, d.x});
}

void Krovane_Camera::DrawMarker(krovane::gfx::Device* device) const {
    if (device == nullptr) return;
    device->SetTransform(krovane::gfx::TransformState::World, &world);
    DrawLine(position.x, position.y, position.z, look.x, look.y, look.z, device);
    DrawBox(look.x + 2, look.y + 2, look.z + 2, look.x - 2, look.y - 2, look.z - 2, device);
    DrawBox(position.x + 10, position.y + 10, position.z + 10, position.x - 10, position.y - 10, position.z - 10,
            device);
}
