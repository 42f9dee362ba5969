#include "console/console_input_box.h"

#include <array>

#include "gfx/device.h"
#include "gfx/font.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "log/line_queue.h"
#include "platform/code_page_1251.h"
#include "platform/input_source.h"
#include "platform/virtual_keys.h"

using namespace krovane::platform;

namespace {

constexpr auto kCaption = krovane::cp1251("Ввод команды:");
constexpr Console_Box::FontLook kTextLook{"Courier ", 15, 6, 200};

bool down(const std::uint8_t keys[256], std::uint8_t key) { return (keys[key] & kKeyDown) != 0; }

// Digits 1 to 9 and 0 with left Shift.
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

// The keys that type, in the order a sample tests them: the first one down is typed.
constexpr auto kLayoutOrder = [] {
    std::array<std::uint8_t, 42> order{};
    std::size_t n = 0;
    for (std::uint8_t k = kVkA; k <= kVkZ; ++k) order[n++] = k;
    order[n++] = kVkOemMinus;
    for (std::uint8_t k = kVk1; k <= kVk9; ++k) order[n++] = k;
    for (const std::uint8_t k : {kVk0, kVkAdd, kVkDecimal, kVkOemPeriod, kVkOemComma, kVkSpace}) order[n++] = k;
    return order;
}();

}  // namespace

Console_InputBox::Console_InputBox()
    : Console_Box(kCaption.c_str(), kTextLook, 9, 200, 215, 17, 0.0f, kFocusedTextColor, 0xFF303030, 0xFF5B5B5B, true) {
    repeatTimer_.Reset();
}

Console_InputBox::~Console_InputBox() { releaseExtraResources(); }

void Console_InputBox::makeExtraResources(krovane::gfx::Device* d) {
    // A missing texture leaves the outline untextured.
    krovane::gfx::loadTextureFromFile(d, kTextureFile, &texture);
}

void Console_InputBox::releaseExtraResources() { texture.reset(); }

void Console_InputBox::Draw(krovane::gfx::Device* device) {
    if (!ensureResources(device)) return;
    krovane::gfx::Device* d = currentDevice();
    d->SetTexture(0, nullptr);
    drawBackground();
    drawText(
        text.view(),
        {x(), y(), saturate(static_cast<std::int64_t>(x()) + w() - 5), saturate(static_cast<std::int64_t>(y()) + h())},
        krovane::gfx::kDtRight | krovane::gfx::kDtExpandTabs, textColor());
    drawCaption();
    // The outline takes the colour of the texture on stage 0.
    d->SetTexture(0, texture.get());
    if (focused()) drawOutline();
    d->SetTexture(0, nullptr);
}

char Console_InputBox::characterOf(std::uint8_t key, bool leftShift, bool eitherShift) {
    if (key >= kVkA && key <= kVkZ) return static_cast<char>(leftShift ? key : key - 'A' + 'a');
    if (key >= kVk0 && key <= kVk9) return leftShift ? kShiftedDigits[key - kVk0] : static_cast<char>(key);
    switch (key) {
        case kVkOemMinus: return eitherShift ? '_' : '-';
        case kVkAdd: return leftShift ? '+' : '=';
        case kVkDecimal: return leftShift ? '|' : '\\';
        case kVkOemPeriod: return leftShift ? '>' : '.';
        case kVkOemComma: return leftShift ? '<' : ',';
        case kVkSpace: return ' ';
        default: return '\0';
    }
}

char Console_InputBox::characterFor(const std::uint8_t keys[256], std::uint8_t pressed) {
    const bool left = down(keys, kVkLShift);
    const bool either = left || down(keys, kVkRShift) || down(keys, kVkShift);
    // The key just pressed first: typed while another is still held, it is not lost.
    if (pressed != 0 && down(keys, pressed))
        if (const char c = characterOf(pressed, left, either)) return c;
    for (const std::uint8_t k : kLayoutOrder)
        if (down(keys, k)) return characterOf(k, left, either);
    return '\0';
}

void Console_InputBox::HandleKeys(const std::uint8_t keys[256], const InputSource& input, std::uint8_t pressed) {
    if (!focused()) return;
    const std::size_t typed = text.length();
    if (repeatTimer_.Elapsed() < kRepeatMilliseconds) return;

    if (down(keys, kVkBack) && !text.empty()) text.getChars()[text.length() - 1] = '\0';
    if (down(keys, kVkReturn)) {
        if (!text.empty() && queue_) queue_->queueLine(text);
        text.clear();
    }
    // The timer is not reset here, so Backspace and Enter act on every frame.
    if (typed >= kMaxTypedLength) return;
    repeatTimer_.Reset();

    const bool shift = down(keys, kVkShift) || down(keys, kVkLShift) || down(keys, kVkRShift);
    const bool paste = down(keys, kVkInsert) && shift && !down(keys, kVkUp) && !down(keys, kVkDown);
    // A press of Insert that makes a paste is that paste, whatever else is held.
    if (const char c = paste && pressed == kVkInsert ? '\0' : characterFor(keys, pressed)) {
        const char typedChar[2] = {c, '\0'};
        text.add(typedChar);
        return;
    }
    if (paste) {
        // Code page 1251 from the platform; what outgrows the line's capacity is cut.
        const std::string pasted = input.clipboardText();
        text.add(std::string_view(pasted));
    }
}
