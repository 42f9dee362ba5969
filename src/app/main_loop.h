// MainLoop: the viewer's loop, one pass at a time. A pass either handles one
// window event and nothing else, or, when no event is waiting, runs one
// frame: it draws, then hands the keyboard and the mouse each to the console
// while it has them, else to camera control (see routeInput). The picture key
// (Print Screen, or F12 on keyboards without it) saves the next frame drawn
// as a PNG (see frame_shot.h), outside the frame time that moves the camera.
// The loop ends after the window is closed (or the program gets SIGINT or
// SIGTERM), by which time the engine has shut down and saved its log.
//
// With files watched (LevelWatch), each idle pass first reloads what changed
// on disk, between frames and outside the frame time that moves the camera.
//
// Before each frame, the objects that play an animation move on by the time
// since the last frame.
//
// This is input's only route: clicks go to the console while it has the
// mouse, and a frame's key presses, keyboard state and cursor go through
// routeInput; in model mode (showModel) through routeModelInput instead,
// where the wheel zooms, a resize sets the view's aspect and Escape closes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/frame_rate_counter.h"
#include "app/krovane.h"
#include "platform/frame_timer.h"
#include "platform/input_source.h"
#include "platform/window.h"

namespace krovane::app {

class LevelWatch;
class ModelView;

class MainLoop {
public:
    // `input` is what the camera control reads (the window); null reads nothing.
    explicit MainLoop(Krovane& engine, krovane::platform::InputSource* input = nullptr)
        : engine_(engine), input_(input) {
        frameRate_.Reset();
    }
    virtual ~MainLoop() = default;

    // Reloads what `watch` finds changed before each frame; null: nothing is watched.
    void watchFiles(LevelWatch* watch) { watch_ = watch; }
    // What a file or folder dropped on the window is handed to (its path,
    // UTF-8), between frames; none: a drop does nothing.
    void onDrop(std::function<void(const std::string&)> open) { open_ = std::move(open); }
    // Model mode: `view` sets the camera before each frame and takes the input; null: a level's.
    void showModel(ModelView* view) { model_ = view; }

    // Runs passes until the loop ends.
    void run(krovane::platform::Window& window);

    // One pass: `event` when one was waiting, else the idle pass (a frame).
    void handleEvent(const krovane::platform::WindowEvent& event);
    void idlePass();

    // Print Screen or F12.
    static bool isPictureKey(std::uint8_t virtualKey);

    // A frame's input, after the frame's drawing. First each key press since
    // the last frame (routeKeyPresses), which it then clears. Then the
    // keyboard as it is now: while the console has it, its UpdateInput; else
    // the camera's KeyboardMove, then the console's openOnKey. Then the
    // cursor: while the console has the mouse (asked again, as the keyboard
    // steps may have opened or closed it), a kMouseMove to the console; else
    // the camera's MouseLook. A null console has neither.
    static void routeInput(Krovane_Console* console, Krovane_Camera_Manager& cameras,
                           krovane::platform::InputSource& input, float frameMilliseconds, bool leftButtonDown);

    bool leftButtonDown() const { return leftButtonDown_; }

protected:
    // Saves the frame last drawn (saveFrameShot); virtual for tests to stand in.
    virtual void takePicture();

private:
    // Each key press in turn, but Print Screen's, is one sample of the
    // keyboard as it was at that press, so a key pressed and released between
    // two frames is not lost: the console's pacing timers expire
    // (keyPressed); then, while the console has the keyboard (asked again
    // for each press), its UpdateInput of that keyboard; else Tab steps the
    // camera and the console key opens the console. Movement is left to the
    // frame's own sample, which is scaled by the frame's time. The console is
    // opened or closed by at most one press a frame.
    static void routeKeyPresses(Krovane_Console* console, Krovane_Camera_Manager& cameras,
                                const krovane::platform::InputSource& input);
    // As routeInput, to the model view: while the console is hidden, Tab, F
    // and Home by their presses, Escape closes the window, the keys held move
    // and the cursor drags (see ModelView).
    void routeModelInput(float frameMilliseconds);
    void close();

    Krovane& engine_;
    krovane::platform::InputSource* input_;
    LevelWatch* watch_ = nullptr;
    std::function<void(const std::string&)> open_;
    ModelView* model_ = nullptr;
    FrameRateCounter frameRate_;
    krovane::platform::FrameTimer frameTimer_;
    bool leftButtonDown_ = false;
    bool running_ = true;
    bool pictureAsked_ = false;
    std::uint32_t animatedAt_ = 0;  // the tick of the last frame's animation step; 0 before the first
};

}  // namespace krovane::app
