#include "app/model_view.h"

#include <algorithm>
#include <cmath>
#include <string>

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
        Vector3 a, b;
        if (!entry.visible || object == nullptr || !object->bounds(a, b)) return;
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

std::size_t ModelView::animationCount(const Krovane& engine) const {
    const Krovane_Object_Manager* objects = engine.objectManager();
    std::size_t count = 0;
    if (objects != nullptr)
        objects->entries().forEach([&](std::uint32_t, const Krovane_Object_Manager::ObjectEntry& entry) {
            const auto* object = dynamic_cast<const Static_CObject*>(entry.object.get());
            if (object != nullptr && object->mesh() != nullptr)
                count = std::max(count, object->mesh()->animationCount());
        });
    return count;
}

void ModelView::play(const Krovane& engine, std::size_t set, double seconds) {
    Krovane_Object_Manager* objects = engine.objectManager();
    const std::size_t count = animationCount(engine);
    if (objects == nullptr || count == 0) return;
    std::string name;
    objects->entries().forEach([&](std::uint32_t id, const Krovane_Object_Manager::ObjectEntry& entry) {
        const auto* object = dynamic_cast<const Static_CObject*>(entry.object.get());
        if (object == nullptr || object->mesh() == nullptr || !objects->playAnimation(id, set, true)) return;
        if (name.empty()) name = object->mesh()->animationName(set);
    });
    objects->advanceAnimations(seconds);
    std::string line = "Animation " + std::to_string(set + 1) + " of " + std::to_string(count);
    if (!name.empty()) line += ": " + name;
    if (Krovane_Console* console = engine.console()) console->printUtf8(line, MessageType::System);
}

void ModelView::start(const Krovane& engine, int width, int height) {
    if (engine.level() != played_) {
        played_ = engine.level();
        play(engine, firstSet_, firstSeconds_);
    }
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
    if (engine.level() != played_) {
        played_ = engine.level();
        play(engine, 0);
    }
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

void ModelView::keyPressed(const Krovane& engine, std::uint8_t key) {
    using namespace krovane::platform;
    Krovane_Object_Manager* objects = engine.objectManager();
    const bool moves = objects != nullptr && !objects->animated().empty();
    if (key == kVkTab) {
        orbit_.nextView();
    } else if (key == kVkF || key == kVkHome) {
        orbit_.frame();
    } else if (key == kVkSpace && moves) {
        objects->pauseAnimations(!objects->animationsPaused());
        if (Krovane_Console* console = engine.console())
            console->Print(objects->animationsPaused() ? "Animation paused" : "Animation plays", MessageType::System);
    } else if (key == kVkN && moves) {
        const auto* first = static_cast<const Static_CObject*>(objects->entry(objects->animated().front())->object.get());
        play(engine, (first->playing() + 1) % animationCount(engine));
    }
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
