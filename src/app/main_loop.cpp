#include "app/main_loop.h"

#include "app/frame_shot.h"
#include "app/level_watch.h"
#include "app/model_view.h"
#include "console/console_box.h"
#include "gfx/device.h"
#include "platform/clock.h"
#include "platform/virtual_keys.h"

using krovane::platform::WindowEvent;

namespace krovane::app {

void MainLoop::run(krovane::platform::Window& window) {
    input_ = &window;
    while (running_) {
        WindowEvent event;
        if (window.pollEvent(event))
            handleEvent(event);
        else
            idlePass();
    }
}

void MainLoop::takePicture() { saveFrameShot(engine_); }

bool MainLoop::isPictureKey(std::uint8_t key) {
    return key == krovane::platform::kVkSnapshot || key == krovane::platform::kVkF12;
}

void MainLoop::handleEvent(const WindowEvent& event) {
    switch (event.type) {
        case WindowEvent::Type::Close:
            close();
            break;
        case WindowEvent::Type::LeftButtonDown:
            leftButtonDown_ = true;
            if (Krovane_Console* console = engine_.console(); console != nullptr && console->hasMouse())
                console->MouseEvent(Console_Box::kMousePress, event.x, event.y);
            break;
        case WindowEvent::Type::LeftButtonUp:
            leftButtonDown_ = false;
            if (Krovane_Console* console = engine_.console(); console != nullptr && console->hasMouse())
                console->MouseEvent(Console_Box::kMouseRelease, event.x, event.y);
            break;
        case WindowEvent::Type::KeyDown:
            // The press itself is kept by the input source for the next frame (see routeInput).
            if (isPictureKey(event.key) && !event.repeat) pictureAsked_ = true;
            break;
        case WindowEvent::Type::Wheel:
            if (Krovane_Console* console = engine_.console(); model_ != nullptr && !(console && console->hasMouse()))
                model_->orbit().zoom(static_cast<float>(event.wheel));
            break;
        case WindowEvent::Type::Resized:
            if (model_ != nullptr) model_->orbit().setViewport(event.x, event.y);
            break;
        case WindowEvent::Type::Drop:
            if (open_) open_(event.path);
            break;
        default:
            break;
    }
}

void MainLoop::close() {
    engine_.Shutdown();
    running_ = false;
}

void MainLoop::idlePass() {
    if (watch_ != nullptr) watch_->poll();
    // Animations move by the time since the last frame, reloads and events included.
    const std::uint32_t now = krovane::platform::Clock::ticks();
    if (Krovane_Object_Manager* objects = engine_.objectManager(); objects != nullptr && animatedAt_ != 0)
        objects->advanceAnimations((now - animatedAt_) / 1000.0);
    animatedAt_ = now != 0 ? now : 1;
    frameTimer_.Reset();
    frameRate_.countFrame();
    if (model_ != nullptr) model_->applyTo(engine_);
    if (Krovane_Render_Manager* render = engine_.renderManager())
        render->RenderFrame(static_cast<float>(frameRate_.shown()));
    if (pictureAsked_) {
        pictureAsked_ = false;
        // The writing is left out of the frame's time, so that it does not move the camera.
        frameTimer_.pause();
        takePicture();
        frameTimer_.resume();
    }
    if (Krovane_Command_Queue* queue = engine_.commandQueue()) queue->ProcessCommands();
    const auto frameMilliseconds = static_cast<float>(frameTimer_.Elapsed());
    if (model_ != nullptr && input_ != nullptr)
        routeModelInput(frameMilliseconds);
    else if (Krovane_Camera_Manager* cameras = engine_.cameraManager(); cameras != nullptr && input_ != nullptr)
        routeInput(engine_.console(), *cameras, *input_, frameMilliseconds, leftButtonDown_);
    else if (input_ != nullptr)
        input_->clearKeyPresses();  // no engine to take them: they are not kept for a later one
    frameRate_.update();
}

namespace {

// Each key press in turn, as MainLoop::routeKeyPresses says, the camera's
// part left to `cameraPress`.
template <class CameraPress>
void routePresses(Krovane_Console* console, const krovane::platform::InputSource& input, CameraPress&& cameraPress) {
    using namespace krovane::platform;
    const bool shownBefore = console != nullptr && console->visible();
    for (const KeyPress& press : input.keyPresses()) {
        // kept: Print Screen is no key press, as the engine has always had it; F12 is a key like any.
        if (press.key == kVkSnapshot) continue;
        const std::uint8_t* keys = press.state.data();
        if (console != nullptr) console->keyPressed();
        // The console opens or closes at most once a frame, however often its key was pressed.
        const bool mayToggle = console == nullptr || console->visible() == shownBefore;
        if (console != nullptr && console->hasKeyboard()) {
            console->UpdateInput(keys, press.key, input, mayToggle);
        } else {
            cameraPress(press);
            if (console != nullptr) console->openOnKey(keys, mayToggle);
        }
    }
}

// The frame's input after its presses, as MainLoop::routeInput says, the
// camera's part left to `cameraKeys` and `cameraCursor`.
template <class CameraKeys, class CameraCursor>
void routeFrame(Krovane_Console* console, krovane::platform::InputSource& input, CameraKeys&& cameraKeys,
                CameraCursor&& cameraCursor) {
    input.clearKeyPresses();
    if (console != nullptr && console->hasKeyboard()) {
        console->UpdateInput(input);
    } else {
        cameraKeys();
        // The console key, after the camera's keys; it acts on the console alone.
        if (console != nullptr) console->openOnKey(input);
    }
    // Asked after the keyboard step, which may have opened or closed the console.
    if (console != nullptr && console->hasMouse()) {
        int x = 0, y = 0;
        input.cursorPosition(x, y);
        console->MouseEvent(Console_Box::kMouseMove, x, y);
    } else {
        cameraCursor();
    }
}

}  // namespace

void MainLoop::routeKeyPresses(Krovane_Console* console, Krovane_Camera_Manager& cameras,
                               const krovane::platform::InputSource& input) {
    routePresses(console, input, [&](const krovane::platform::KeyPress& press) {
        if (press.state[krovane::platform::kVkTab] & krovane::platform::kKeyDown) cameras.NextCamera();
    });
}

void MainLoop::routeInput(Krovane_Console* console, Krovane_Camera_Manager& cameras,
                          krovane::platform::InputSource& input, float frameMilliseconds, bool leftButtonDown) {
    routeKeyPresses(console, cameras, input);
    routeFrame(
        console, input, [&] { cameras.KeyboardMove(input, frameMilliseconds); },
        [&] { cameras.MouseLook(input, leftButtonDown); });
}

void MainLoop::routeModelInput(float frameMilliseconds) {
    Krovane_Console* console = engine_.console();
    bool closing = false;
    routePresses(console, *input_, [&](const krovane::platform::KeyPress& press) {
        closing = closing || press.key == krovane::platform::kVkEscape;
        model_->keyPressed(engine_, press.key);
    });
    routeFrame(
        console, *input_, [&] { model_->keysHeld(*input_, frameMilliseconds); }, [&] { model_->cursorMoved(*input_); });
    if (console != nullptr && console->hasMouse()) model_->cursorLeft();
    if (closing) close();
}

}  // namespace krovane::app
