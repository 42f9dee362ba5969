#include "console/krovane_console.h"

#include "gfx/device.h"
#include "platform/input_source.h"
#include "platform/virtual_keys.h"

Krovane_Console::Krovane_Console() {
    commandBase_.fresh();
    toggleTimer_.Reset();
    commandBase_.iLoadFromFile(kCommandBaseFile);

    inputBox_ = std::make_unique<Console_InputBox>();
    inputBox_->Rebuild();
    logView_ = std::make_unique<Console_LogView>(&log_.tree(), &log_.lineIds());
    logView_->Rebuild();
    clockBox_ = std::make_unique<Console_ClockBox>();
    clockBox_->Rebuild();
}

Krovane_Console::~Krovane_Console() {
    // The boxes go first: the log view reads the log.
    inputBox_.reset();
    logView_.reset();
    clockBox_.reset();
}

void Krovane_Console::Print(const Korvane_string& text, MessageType type) { log_.Print(text, type); }

void Krovane_Console::SaveLog(const char* file) { log_.SaveLog(file); }

void Krovane_Console::Draw(krovane::gfx::Device* device) {
    if (!visible_) return;
    if (device) device->SetRenderState(krovane::gfx::RenderState::FillMode, krovane::gfx::kFillSolid);
    logView_->Draw(device);
    inputBox_->Draw(device);
    clockBox_->Draw(device);
    log_.stamp(clockBox_->text);  // shown by the next frame
}

void Krovane_Console::ToggleConsole() {
    if (toggleTimer_.Elapsed() < kToggleMilliseconds) return;
    toggleTimer_.Reset();
    visible_ = !visible_;
}

void Krovane_Console::openOnKey(const krovane::platform::InputSource& input) {
    std::uint8_t keys[256];
    input.keyboardState(keys);
    openOnKey(keys, true);
}

void Krovane_Console::openOnKey(const std::uint8_t keys[256], bool mayToggle) {
    if (!(keys[krovane::platform::kVkOem3] & krovane::platform::kKeyDown)) return;
    if (mayToggle) ToggleConsole();
    toggleTimer_.Reset();
    inputBox_->restartRepeatTimer();
}

void Krovane_Console::UpdateInput(const krovane::platform::InputSource& input) {
    std::uint8_t keys[256];
    input.keyboardState(keys);
    UpdateInput(keys, 0, input, true);
}

void Krovane_Console::UpdateInput(const std::uint8_t keys[256], std::uint8_t pressed,
                                  const krovane::platform::InputSource& input, bool mayClose) {
    inputBox_->HandleKeys(keys, input, pressed);
    if (toggleTimer_.Elapsed() >= kCloseCheckMilliseconds) {
        toggleTimer_.Reset();
        if (mayClose && (keys[krovane::platform::kVkOem3] & krovane::platform::kKeyDown)) visible_ = false;
    }
}

void Krovane_Console::MouseEvent(std::uint16_t type, std::int32_t mouseX, std::int32_t mouseY) {
    if (!visible_) return;
    if (clockBox_->HandleMouse(type, mouseX, mouseY)) return;
    if (inputBox_->HandleMouse(type, mouseX, mouseY)) return;
    logView_->HandleMouse(type, mouseX, mouseY);
}

void Krovane_Console::keyPressed() {
    toggleTimer_.expire(kKeyPressShift);
    inputBox_->expireRepeat(kKeyPressShift);
}

void Krovane_Console::setCommandQueue(krovane::log::LineQueue* queue) { inputBox_->setQueue(queue); }
