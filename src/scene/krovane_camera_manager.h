// Krovane_Camera_Manager: the level's cameras in a numbered list, one of them
// current. It sets the current camera's transforms every frame, draws a
// marker for every other camera, switches cameras by number or to the next
// one, and runs the camera console commands:
//   camera.set N / Camera.Set N   make camera N current
//   camera.next                   the next camera (at most one switch per 360 ms)
//   camera.speed S                the current camera's movement speed
// Each reports the state after it as a System line.
//
// Cameras are numbered from 1 in the order they are listed under "_CAMERAS_"
// and found by number in constant time. A level without cameras has no current camera,
// and everything that needs one does nothing.
#pragma once

#include <cstdint>

#include "log/log.h"
#include "platform/frame_timer.h"
#include "platform/input_source.h"
#include "scene/krovane_camera.h"
#include "scene/numbered_list.h"

namespace krovane::gfx {
class Device;  // drawn on, not owned
}  // namespace krovane::gfx

class Krovane_Camera_Manager {
public:
    // The shortest time between two switches to the next camera.
    static constexpr std::uint32_t kSwitchMilliseconds = 360;

    explicit Krovane_Camera_Manager(krovane::log::Log& console);
    virtual ~Krovane_Camera_Manager();
    Krovane_Camera_Manager(const Krovane_Camera_Manager&) = delete;
    Krovane_Camera_Manager& operator=(const Krovane_Camera_Manager&) = delete;

    // Adds every camera listed under "_CAMERAS_" and makes camera 1 current.
    // A camera's keys are read under its own entry there; a listed name
    // without keys of its own is looked up in the whole tree, so a light or
    // object of the same name elsewhere never lends a camera its keys.
    void LoadCameras(const DynamicRow& tree);

    // Makes camera `number` current; false (and nothing changes) when no camera has it.
    bool SelectCamera(int number);
    // The next camera after the current one, the first after the last; does
    // nothing within kSwitchMilliseconds of the last switch.
    void NextCamera();

    // Sets the marker material and draws every camera's marker but the current one's.
    void DrawCameras(krovane::gfx::Device* device);
    // Runs one camera command (the text after the target word).
    void RunCommand(const Korvane_string& command);

    // Flies the current camera with the keys held this frame, scaled by the
    // frame's milliseconds (t = ms / 60, at least 0.05): Up/W and Down/S move
    // along the view direction's horizontal part (not normalised again, so a
    // steep view moves slower), Left/A and Right/D along and against `right`,
    // Left Shift along the full view direction; Tab steps to the next camera.
    // Keys held together all act, in that order. The main loop calls it only
    // while the console does not have the keyboard.
    void KeyboardMove(const krovane::platform::InputSource& input, float frameMilliseconds);
    // Turns the current camera while the left button is held, a third of a
    // degree per pixel the cursor moved: left and right about the vertical
    // axis, up and down about `right`. The eye stays where it is. The main
    // loop calls it only while the console does not have the mouse.
    void MouseLook(const krovane::platform::InputSource& input, bool leftButtonDown);

    Krovane_Camera* CurrentCamera() const { return entries_.find(current_); }
    int CurrentNumber() const { return current_; }
    std::uint32_t cameraCount() const { return entries_.count(); }
    Krovane_Camera* camera(int number) const { return entries_.find(number); }

    // The cursor of this frame and the previous one, for mouse look.
    float mouseX = 0, mouseY = 0, lastMouseX = 0, lastMouseY = 0;

private:
    void printCurrent();
    // Adds one camera (kept with its defaults when its node is missing) and
    // prints "[+] Camera:  NAME".
    void addCamera(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode);

    krovane::scene::NumberedList<Krovane_Camera> entries_;
    int current_ = 0;  // the current camera's number; 0 before any is selected
    krovane::gfx::Material markerMaterial_{};
    krovane::log::Log& console_;
    krovane::platform::FrameTimer switchTimer_;
};
