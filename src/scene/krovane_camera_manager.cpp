#include "scene/krovane_camera_manager.h"

#include "gfx/device.h"
#include "platform/code_page_1251.h"
#include "platform/virtual_keys.h"
#include "scene/level_section.h"

using namespace krovane::scene;

namespace {
// kept: "Currient" is the spelling existing logs carry, here and in the speed reply.
constexpr auto kCameraChanged = krovane::cp1251("Currient camera was changed to: camera № ");
}  // namespace

Krovane_Camera_Manager::Krovane_Camera_Manager(krovane::log::Log& console) : console_(console) { switchTimer_.Reset(); }

Krovane_Camera_Manager::~Krovane_Camera_Manager() = default;

void Krovane_Camera_Manager::LoadCameras(const DynamicRow& tree) {
    markerMaterial_ = krovane::gfx::Material{};
    markerMaterial_.ambient = {1, 1, 1, 1};
    markerMaterial_.emissive = {1, 1, 1, 1};

    addListed(tree, "_CAMERAS_", [&](const Korvane_string& name, unsigned entry) { addCamera(name, tree, entry); });
    SelectCamera(1);
}

void Krovane_Camera_Manager::addCamera(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode) {
    auto camera = std::make_unique<Krovane_Camera>();
    camera->loadFromNode(name, tree, entryKeys(tree, listedNode, name));
    console_.Print(addedLine("[+] Camera:  ", name), MessageType::Text);
    entries_.add(std::move(camera));
}

bool Krovane_Camera_Manager::SelectCamera(int number) {
    if (entries_.find(number) == nullptr) return false;
    current_ = number;
    return true;
}

void Krovane_Camera_Manager::NextCamera() {
    if (switchTimer_.Elapsed() < kSwitchMilliseconds) return;
    switchTimer_.Reset();
    if (current_ == 0) return;  // no cameras: nothing to switch to
    SelectCamera(static_cast<std::uint32_t>(current_) < cameraCount() ? current_ + 1 : 1);
}

void Krovane_Camera_Manager::DrawCameras(krovane::gfx::Device* device) {
    if (device == nullptr || current_ == 0) return;
    device->SetMaterial(&markerMaterial_);
    entries_.forEach([&](std::uint32_t number, const Krovane_Camera& camera) {
        if (static_cast<int>(number) != current_) camera.DrawMarker(device);
    });
}

void Krovane_Camera_Manager::printCurrent() {
    Korvane_string line(kCameraChanged.view());
    line += CurrentNumber();
    console_.Print(line, MessageType::System);
}

void Krovane_Camera_Manager::RunCommand(const Korvane_string& command) {
    Krovane_Camera* current = CurrentCamera();
    if (current == nullptr) return;  // a level without cameras takes no camera commands
    Korvane_string word, parameter;
    command.DivideTwoParameters(&word, &parameter);
    // kept: exactly these two spellings of the set command; command lines already written use both.
    if (word == "camera.set" || word == "Camera.Set") {
        SelectCamera(parameter.toInt());
        printCurrent();
    } else if (word == "camera.next") {
        NextCamera();
        printCurrent();
    } else if (word == "camera.speed") {
        current->moveSpeed = parameter.toFloat();
        Korvane_string line = "Currient camera speed was changed to: ";
        line += current->moveSpeed;
        console_.Print(line, MessageType::System);
    }
}

namespace {

bool down(const std::uint8_t keys[256], std::uint8_t key) { return (keys[key] & 0x80) != 0; }

// Radians for a cursor movement of `pixels`: a third of a degree each.
float turnAngle(int pixels) { return static_cast<float>(static_cast<double>(pixels) / 3.0 * 0.01745329238474369); }

}  // namespace

void Krovane_Camera_Manager::KeyboardMove(const krovane::platform::InputSource& input, float frameMilliseconds) {
    using namespace krovane::platform;
    float t = frameMilliseconds / 60.0f;
    if (t < 0.05f) t = 0.05f;
    std::uint8_t keys[256];
    input.keyboardState(keys);
    Krovane_Camera* current = CurrentCamera();
    if (current == nullptr) return;

    // The direction and side vector of the camera current at the start of the step.
    const krovane::gfx::Vector3 d = krovane::gfx::normalize(current->look - current->position);
    const krovane::gfx::Vector3 r = current->right;
    auto moveFlat = [&](krovane::gfx::Vector3 v, float sign) {
        Krovane_Camera& c = *current;
        const float step = sign * c.moveSpeed * t;
        c.position.x += step * v.x;
        c.position.z += step * v.z;
        c.look.x += step * v.x;
        c.look.z += step * v.z;
    };
    if (down(keys, kVkUp) || down(keys, 'W')) moveFlat(d, 1.0f);
    if (down(keys, kVkDown) || down(keys, 'S')) moveFlat(d, -1.0f);
    if (down(keys, kVkLeft) || down(keys, 'A')) moveFlat(r, 1.0f);
    if (down(keys, kVkRight) || down(keys, 'D')) moveFlat(r, -1.0f);
    if (down(keys, kVkTab)) NextCamera();
    if (down(keys, kVkLShift)) {
        Krovane_Camera& c = *CurrentCamera();  // after a Tab switch: the new camera, the old direction
        const krovane::gfx::Vector3 step = d * (c.moveSpeed * t);
        c.position = c.position + step;
        c.look = c.look + step;
    }
}

void Krovane_Camera_Manager::MouseLook(const krovane::platform::InputSource& input, bool leftButtonDown) {
    int x = 0, y = 0;
    input.cursorPosition(x, y);
    mouseX = static_cast<float>(x);
    mouseY = static_cast<float>(y);
    if (!leftButtonDown) {
        // Following the cursor while the button is up: pressing it never jumps.
        lastMouseX = mouseX;
        lastMouseY = mouseY;
        return;
    }
    const int dx = static_cast<int>(mouseX - lastMouseX);
    const int dyUp = static_cast<int>(lastMouseY - mouseY);
    if (Krovane_Camera* current = CurrentCamera()) {
        Krovane_Camera& c = *current;
        if (dyUp != 0)
            c.look = c.position + krovane::gfx::transformCoord(c.look - c.position,
                                                               krovane::gfx::rotationAxis(c.right, turnAngle(dyUp)));
        if (dx != 0)
            c.look = c.position + krovane::gfx::transformCoord(c.look - c.position,
                                                               krovane::gfx::rotationAxis({0, 1, 0}, turnAngle(dx)));
    }
    lastMouseX = mouseX;
    lastMouseY = mouseY;
}
