#include "app/model_view.h"

#include <algorithm>
#include <cmath>

#include "app/krovane.h"
#include "gfx/mesh.h"
#include "platform/virtual_keys.h"
#include "scene/static_c_object.h"

using krovane::gfx::Vector3;
using krovane::scene::OrbitControl;

namespace krovane::app {

namespace {

bool down(const std::uint8_t keys[256], std::uint8_t key) { return (keys[key] & krovane::platform::kKeyDown) != 0; }

}  // namespace

bool ModelView::worldBounds(const Krovane& engine, Vector3& low, Vector3& high) {
    const Krovane_Object_Manager* objects = engine.objectManager();
    if (objects == nullptr) return false;
    constexpr float kHuge = 3.4e38f;
    low = {kHuge, kHuge, kHuge};
    high = {-kHuge, -kHuge, -kHuge};
    bool found = false;
    objects->entries().forEach([&](std::uint32_t, const Krovane_Object_Manager::ObjectEntry& entry) {
        const auto* object = dynamic_cast<const Static_CObject*>(entry.object.get());
        const krovane::gfx::Mesh* mesh = object != nullptr ? object->mesh() : nullptr;
        if (!entry.visible || mesh == nullptr) return;
        const Vector3 &a = mesh->boundsMin(), &b = mesh->boundsMax();
        for (int corner = 0; corner < 8; ++corner) {
            const Vector3 p = krovane::gfx::transformCoord(
                {corner & 1 ? b.x : a.x, corner & 2 ? b.y : a.y, corner & 4 ? b.z : a.z}, object->world);
            low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
        }
        found = true;
    });
    return found;
}

void ModelView::start(const Krovane& engine, int width, int height) {
    orbit_.setViewport(width, height);
    Vector3 low, high;
    if (!worldBounds(engine, low, high)) {
        // Nothing shows (yet): the sphere a model level brings its model into.
        const float half = ModelLevel::kRadius / std::sqrt(3.0f);
        low = {-half, -half, -half};
        high = {half, half, half};
    }
    orbit_.setBounds(low, high);
    orbit_.showView(OrbitControl::View::ThreeQuarter);
}

void ModelView::applyTo(const Krovane& engine) {
    Vector3 low, high;
    if (worldBounds(engine, low, high)) orbit_.setBounds(low, high);
    Krovane_Camera_Manager* cameras = engine.cameraManager();
    if (Krovane_Camera* camera = cameras != nullptr ? cameras->CurrentCamera() : nullptr) orbit_.apply(*camera);
    // The key light comes from where the eye looks, as far from the target as the level placed it from the model.
    Krovane_Light* light = engine.lightManager() != nullptr ? engine.lightManager()->light(1) : nullptr;
    if (light == nullptr) return;
    if (lightDistance_ < 0)
        lightDistance_ = std::sqrt(light->position.x * light->position.x + light->position.y * light->position.y +
                                   light->position.z * light->position.z);
    const Vector3 at = orbit_.target() + (orbit_.eye() - orbit_.target()) * (lightDistance_ / orbit_.distance());
    light->position = {at.x, at.y, at.z, 1.0f};
}

void ModelView::keyPressed(std::uint8_t key) {
    using namespace krovane::platform;
    if (key == kVkTab)
        orbit_.nextView();
    else if (key == kVkF || key == kVkHome)
        orbit_.frame();
}

void ModelView::keysHeld(const krovane::platform::InputSource& input, float milliseconds) {
    using namespace krovane::platform;
    std::uint8_t keys[256];
    input.keyboardState(keys);
    const float forward =
        static_cast<float>((down(keys, kVkW) || down(keys, kVkUp)) - (down(keys, kVkS) || down(keys, kVkDown)));
    const float sideways =
        static_cast<float>((down(keys, kVkD) || down(keys, kVkRight)) - (down(keys, kVkA) || down(keys, kVkLeft)));
    if (forward != 0 || sideways != 0) orbit_.move(forward, sideways, milliseconds);
}

void ModelView::cursorMoved(const krovane::platform::InputSource& input) {
    using namespace krovane::platform;
    int x = 0, y = 0;
    input.cursorPosition(x, y);
    const unsigned buttons = input.mouseButtons();
    if (cursorKnown_ && (x != lastX_ || y != lastY_)) {
        if (buttons & kLeftButton)
            orbit_.turn(x - lastX_, y - lastY_);
        else if (buttons & (kRightButton | kMiddleButton))
            orbit_.pan(x - lastX_, y - lastY_);
    }
    lastX_ = x;
    lastY_ = y;
    cursorKnown_ = true;
}

}  // namespace krovane::app
