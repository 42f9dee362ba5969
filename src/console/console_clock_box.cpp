#include "console/console_clock_box.h"

#include "gfx/device.h"
#include "gfx/font.h"
#include "platform/code_page_1251.h"

namespace {
constexpr auto kCaption = krovane::cp1251("Текущее время");
constexpr Console_Box::FontLook kTextLook{"Courier ", 15, 6, 700};
}  // namespace

Console_ClockBox::Console_ClockBox()
    : Console_Box(kCaption.c_str(), kTextLook, 657, 200, 80, 17, 0.0f, kUnfocusedTextColor, kPlainBackColor,
                  0xFF5B5B5B) {}

void Console_ClockBox::Draw(krovane::gfx::Device* device) {
    if (!ensureResources(device)) return;
    currentDevice()->SetTexture(0, nullptr);
    drawBackground();
    drawText(text.view(),
             {saturate(static_cast<std::int64_t>(x()) + 2), y(), saturate(static_cast<std::int64_t>(x()) + w() - 5),
              saturate(static_cast<std::int64_t>(y()) + h())},
             krovane::gfx::kDtRight | krovane::gfx::kDtWordBreak, textColor());
    drawCaption();
    if (focused()) drawOutline();
}
