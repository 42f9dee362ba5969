#include "console/console_input_box.h"

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

char Console_InputBox::characterFor(const std::uint8_t keys[256]) {
    const bool left = down(keys, kVkLShift);
    const bool either = left || down(keys, kVkRShift) || down(keys, kVkShift);
    for (std::uint8_t k = kVkA; k <= kVkZ; ++k)
        if (down(keys, k)) return static_cast<char>(left ? k : k - 'A' + 'a');
    if (down(keys, kVkOemMinus)) return either ? '_' : '-';
    for (std::uint8_t k = kVk1; k <= kVk9; ++k)
        if (down(keys, k)) return left ? kShiftedDigits[k - kVk0] : static_cast<char>(k);
    if (down(keys, kVk0)) return left ? kShiftedDigits[0] : '0';
    if (down(keys, kVkAdd)) return left ? '+' : '=';
    if (down(keys, kVkDecimal)) return left ? '|' : '\\';
    if (down(keys, kVkOemPeriod)) return left ? '>' : '.';
    if (down(keys, kVkOemComma)) return left ? '<' : ',';
    if (down(keys, kVkSpace)) return ' ';
    return '\0';
}

void Console_InputBox::HandleKeys(const std::uint8_t keys[256], const InputSource& input) {
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

    if (const char c = characterFor(keys)) {
        const char typedChar[2] = {c, '\0'};
        text.add(typedChar);
        return;
    }
    const bool shift = down(keys, kVkShift) || down(keys, kVkLShift) || down(keys, kVkRShift);
    if (down(keys, kVkInsert) && shift && !down(keys, kVkUp) && !down(keys, kVkDown)) {
        // Code page 1251 from the platform; what outgrows the line's capacity is cut.
        const std::string pasted = input.clipboardText();
        text.add(std::string_view(pasted));
    }
}
