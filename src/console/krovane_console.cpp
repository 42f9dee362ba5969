#include "console/krovane_console.h"

#include <string_view>

#include "gfx/device.h"
#include "platform/clock.h"
#include "platform/input_source.h"
#include "platform/virtual_keys.h"

namespace {
constexpr std::size_t kFirstPiece = 86;  // a line of 85 or 86 characters stays whole
constexpr std::size_t kFurtherPiece = 85;
constexpr std::string_view kIndent = "   ";
}  // namespace

Krovane_Console::Krovane_Console() {
    log_.fresh();
    commandBase_.fresh();
    commandsTree_.fresh();
    logRoot_ = log_.AddToId(0, true, "LOG");
    visible = false;

    toggleTimer.Reset();
    clock_.Reset();
    commandBase_.iLoadFromFile(kCommandBaseFile);
    commandsTree_.AddToId(0, true, "_COMMANDS_");
    writeHeader();

    commandQueue = nullptr;
    inputBox = std::make_unique<Console_InputBox>(commandQueue);
    inputBox->Rebuild();
    logView = std::make_unique<Console_LogView>(&log_, &lineIds_);
    logView->Rebuild();
    clockBox = std::make_unique<Console_ClockBox>();
    clockBox->Rebuild();
}

Krovane_Console::~Krovane_Console() {
    commandBase_.fresh();
    commandsTree_.fresh();
    log_.fresh();
    lineIds_.clear();
    inputBox.reset();
    logView.reset();
    clockBox.reset();
}

const char* Krovane_Console::typeName(MessageType type) {
    switch (type) {
        case MessageType::Text:
            return "_TEXT_";
        case MessageType::Error:
            return "_ERROR_";
        case MessageType::Comment:
            return "_COMMENT_";
        case MessageType::System:
            return "_SYSTEM_";
    }
    return nullptr;
}

void Krovane_Console::addLine(const Korvane_string& line, MessageType type) {
    const unsigned id = log_.AddToId(logRoot_, true, line);
    if (id == 0) return;
    lineIds_.push_back(id);
    if (const char* name = typeName(type)) log_.AddToId(id, false, name);
}

void Krovane_Console::writeHeader() {
    const krovane::platform::UtcTime t = krovane::platform::Clock::utcNow();
    Korvane_string header = "[Currient date: ";
    header += t.day;
    header += "-";
    header += t.month;
    header += "-";
    header += t.year;
    header += " , time: ";
    header += t.hour;
    header += "-";
    header += t.minute;
    header += "-";
    header += t.second;
    header += " (GMT+0)]";
    addLine(header, MessageType::System);
}

void Krovane_Console::Print(const char* text, MessageType type) { Print(Korvane_string(text), type); }

void Krovane_Console::stamp(Korvane_string& out) const {
    const std::uint32_t elapsed = clock_.Elapsed();
    const std::uint32_t milliseconds = elapsed % 1000;
    out = "[";
    out += static_cast<int>(elapsed / 1000);  // at most 4294967: fits
    out += ":";
    const char digits[4] = {static_cast<char>('0' + milliseconds / 100),
                            static_cast<char>('0' + milliseconds / 10 % 10), static_cast<char>('0' + milliseconds % 10),
                            '\0'};
    out += digits;
    out += "] ";
}

void Krovane_Console::Print(const Korvane_string& text, MessageType type) {
    Korvane_string line;
    stamp(line);
    line += text;

    const std::string_view full = line.view();
    if (full.size() < kCutAt) {
        addLine(line, type);
        return;
    }
    Korvane_string piece(full.substr(0, kFirstPiece));
    addLine(piece, type);
    for (std::size_t at = kFirstPiece; at < full.size(); at += kFurtherPiece) {
        piece = Korvane_string(kIndent);
        piece.add(full.substr(at, kFurtherPiece));
        addLine(piece, type);
    }
}

void Krovane_Console::SaveLog(const char* file) { log_.iSaveToFile(file); }

void Krovane_Console::Draw(krovane::gfx::Device* device) {
    if (!visible) return;
    if (device) device->SetRenderState(krovane::gfx::RenderState::FillMode, krovane::gfx::kFillSolid);
    logView->Draw(device);
    inputBox->Draw(device);
    clockBox->Draw(device);
    stamp(clockBox->text);  // shown by the next frame
}

void Krovane_Console::ToggleConsole() {
    if (toggleTimer.Elapsed() < kToggleMilliseconds) return;
    toggleTimer.Reset();
    visible = !visible;
}

void Krovane_Console::UpdateInput(const krovane::platform::InputSource& input) {
    std::uint8_t keys[256];
    input.keyboardState(keys);
    inputBox->HandleKeys(keys, input);
    if (toggleTimer.Elapsed() >= kCloseCheckMilliseconds) {
        toggleTimer.Reset();
        if (keys[krovane::platform::kVkOem3] & krovane::platform::kKeyDown) visible = false;
    }
}

void Krovane_Console::MouseEvent(std::uint16_t type, std::int32_t mouseX, std::int32_t mouseY) {
    if (!visible) return;
    if (clockBox->HandleMouse(type, mouseX, mouseY)) return;
    if (inputBox->HandleMouse(type, mouseX, mouseY)) return;
    logView->HandleMouse(type, mouseX, mouseY);
}

void Krovane_Console::ShiftPacingMarks(std::uint32_t milliseconds) {
    toggleTimer.mark += milliseconds;
    inputBox->repeatTimer.mark += milliseconds;
}

void Krovane_Console::setCommandQueue(DynamicRow* pending) {
    commandQueue = pending;
    inputBox->queue = pending;
}
