// MainLoop: the viewer's loop, one pass at a time. A pass either handles one
// window event and nothing else, or, when no event is waiting, runs one
// frame: it draws, then moves the current camera with the keys and the mouse
// by the time the frame took. The picture key (Print Screen, or F12 on
// keyboards without it) saves the next frame drawn as a PNG (see
// frame_shot.h); the console never sees that key. The loop ends after the window is closed (or the program gets SIGINT
// or SIGTERM), by which time the engine has shut down and saved its log.
#pragma once

#include <cstdint>

#include "app/frame_rate_counter.h"
#include "app/krovane.h"
#include "platform/frame_timer.h"
#include "platform/input_source.h"
#include "platform/window.h"

class MainLoop {
public:
    // Added to the console's pacing marks on every key press (repeats
    // included), so that its next pacing check passes at once.
    static constexpr std::uint32_t kKeyDownShift = 100000;

    // `input` is what the camera control reads (the window); null reads nothing.
    explicit MainLoop(Krovane& engine, const krovane::platform::InputSource* input = nullptr)
        : engine_(engine), input_(input) {
        frameRate_.Reset();
    }

    // Runs passes until the loop ends.
    void run(krovane::platform::Window& window);

    // One pass: `event` when one was waiting, else the idle pass (a frame).
    void handleEvent(const krovane::platform::WindowEvent& event);
    void idlePass();

    // Print Screen or F12.
    static bool isPictureKey(std::uint8_t virtualKey);

    bool running() const { return running_; }
    bool leftButtonDown() const { return leftButtonDown_; }
    std::uint32_t frameRate() const { return frameRate_.shown(); }

private:
    Krovane& engine_;
    const krovane::platform::InputSource* input_;
    FrameRateCounter frameRate_;
    krovane::platform::FrameTimer frameTimer_;
    bool leftButtonDown_ = false;
    bool running_ = true;
    bool pictureAsked_ = false;
};
