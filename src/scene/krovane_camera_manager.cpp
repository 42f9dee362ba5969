#include "scene/krovane_camera_manager.h"

#include "platform/code_page_1251.h"
#include "platform/virtual_keys.h"
#include "scene/level_section.h"

namespace {
constexpr auto kCameraChanged = krovane::cp1251("Currient camera was changed to: camera № ");
}  // namespace

Krovane_Camera_Manager::Krovane_Camera_Manager(Krovane_Console* console) : console_(console) { switchTimer_.Reset(); }

Krovane_Camera_Manager::~Krovane_Camera_Manager() = default;

bool Krovane_Camera_Manager::SetupFromFile(const char* file) {
    LoadCameras(readLevel(file));
    return true;
}

void Krovane_Camera_Manager::LoadCameras(const DynamicRow& tree) {
    markerMaterial_ = krovane::gfx::Material{};
    markerMaterial_.ambient = {1, 1, 1, 1};
    markerMaterial_.emissive = {1, 1, 1, 1};

    forEachListed(tree, "_CAMERAS_", [&](unsigned entry) { addCamera(tree.iLookName(entry), tree, entry); });
    SelectCamera(1);
}

int Krovane_Camera_Manager::AddCamera(const Korvane_string& name, const DynamicRow& tree) {
    return addCamera(name, tree, 0);
}

int Krovane_Camera_Manager::addCamera(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode) {
    ++cameraCount_;
    auto entry = std::make_unique<CameraEntry>();
    entry->camera.LoadFromNode(name, tree, entryKeys(tree, listedNode, name));
    if (console_) {
        Korvane_string line = "[+] Camera:  ";
        line += name;
        console_->Print(line, MessageType::Text);
    }
    entry->number = static_cast<int>(cameraCount_);
    entry->prev = last_;
    if (last_)
        last_->next = entry.get();
    else
        first_ = entry.get();
    last_ = entry.get();
    byNumber_.push_back(std::move(entry));
    return static_cast<int>(cameraCount_);
}

Krovane_Camera* Krovane_Camera_Manager::camera(int number) const {
    if (number < 1 || static_cast<std::size_t>(number) > byNumber_.size()) return nullptr;
    return &byNumber_[static_cast<std::size_t>(number) - 1]->camera;
}

bool Krovane_Camera_Manager::SelectCamera(int number) {
    // Numbers run 1 to the count without gaps, so the entry is found by index.
    if (number < 1 || static_cast<std::size_t>(number) > byNumber_.size()) return false;
    current_ = byNumber_[static_cast<std::size_t>(number) - 1].get();
    return true;
}

void Krovane_Camera_Manager::NextCamera() {
    if (switchTimer_.Elapsed() < kSwitchMilliseconds) return;
    switchTimer_.Reset();
    if (current_ == nullptr) return;  // no cameras: nothing to switch to
    if (static_cast<std::uint32_t>(current_->number) < cameraCount_)
        SelectCamera(current_->number + 1);
    else
        SelectCamera(1);
}

void Krovane_Camera_Manager::DrawCameras(krovane::gfx::Device** device) {
    if (device == nullptr || *device == nullptr || current_ == nullptr) return;
    (*device)->SetMaterial(&markerMaterial_);
    for (const CameraEntry* e = first_; e != nullptr; e = e->next)
        if (e != current_) e->camera.DrawMarker(device);
}

void Krovane_Camera_Manager::printCurrent() {
    if (!console_) return;
    Korvane_string line(kCameraChanged.view());
    line += CurrentNumber();
    console_->Print(line, MessageType::System);
}

void Krovane_Camera_Manager::RunCommand(const Korvane_string& command) {
    if (current_ == nullptr) return;  // a level without cameras takes no camera commands
    Korvane_string word, parameter;
    command.DivideTwoParameters(&word, &parameter);
    if (word == "camera.set" || word == "Camera.Set") {
        SelectCamera(parameter.toInt());
        printCurrent();
    } else if (word == "camera.next") {
        NextCamera();
        printCurrent();
    } else if (word == "camera.speed") {
        current_->camera.moveSpeed = parameter.toFloat();
        if (console_) {
            Korvane_string line = "Currient camera speed was changed to: ";
            line += current_->camera.moveSpeed;
            console_->Print(line, MessageType::System);
        }
    }
}

namespace {

bool down(const std::uint8_t keys[256], std::uint8_t key) { return (keys[key] & 0x80) != 0; }

// Radians for a cursor movement of `pixels`: a third of a degree each.
float turnAngle(int pixels) { return static_cast<float>(static_cast<double>(pixels) / 3.0 * 0.01745329238474369); }

}  // namespace

void Krovane_Camera_Manager::openConsoleOnKey(const std::uint8_t keys[256]) {
    if (console_ == nullptr || !down(keys, krovane::platform::kVkOem3)) return;
    // Reset every frame the key is held, so only a key press (which shifts
    // the marks) lets the console open, and it does not open again and again.
    console_->ToggleConsole();
    console_->toggleTimer.Reset();
    console_->inputBox->repeatTimer.Reset();
}

void Krovane_Camera_Manager::KeyboardMove(const krovane::platform::InputSource& input, float frameMilliseconds) {
    using namespace krovane::platform;
    if (console_ && console_->visible) {
        // The keyboard belongs to the console while it is shown.
        console_->UpdateInput(input);
        return;
    }
    float t = frameMilliseconds / 60.0f;
    if (t < 0.05f) t = 0.05f;
    std::uint8_t keys[256];
    input.keyboardState(keys);
    if (current_ == nullptr) {
        openConsoleOnKey(keys);
        return;
    }

    // The direction and side vector of the camera current at the start of the step.
    const krovane::gfx::Vector3 d = krovane::gfx::normalize(current_->camera.look - current_->camera.position);
    const krovane::gfx::Vector3 r = current_->camera.right;
    auto moveFlat = [&](krovane::gfx::Vector3 v, float sign) {
        Krovane_Camera& c = current_->camera;
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
    openConsoleOnKey(keys);
    if (down(keys, kVkLShift)) {
        Krovane_Camera& c = current_->camera;  // after a Tab switch: the new camera, the old direction
        const krovane::gfx::Vector3 step = d * (c.moveSpeed * t);
        c.position = c.position + step;
        c.look = c.look + step;
    }
}

void Krovane_Camera_Manager::MouseLook(const krovane::platform::InputSource& input, bool leftButtonDown) {
    int x = 0, y = 0;
    input.cursorPosition(x, y);
    if (console_ && console_->visible) {
        console_->MouseEvent(Console_Box::kMouseMove, x, y);
        return;
    }
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
    if (current_ != nullptr) {
        Krovane_Camera& c = current_->camera;
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
