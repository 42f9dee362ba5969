#include "console/console_box.h"

#include "gfx/device.h"
#include "gfx/font.h"
#include "gfx/line_drawing.h"

namespace {
constexpr Console_Box::FontLook kCaptionLook{"Arial", 10, 5, 200};
constexpr std::uint32_t kDefaultCharset = 1;
}  // namespace

Console_Box::Console_Box(const char* captionText, FontLook textLook, float depth, std::uint32_t text,
                         std::uint32_t back, std::uint32_t hoverBack)
    : textColor(text),
      backColor(back),
      caption(captionText),
      depth_(depth),
      hoverBackColor_(hoverBack),
      textLook_(textLook) {}

Console_Box::~Console_Box() { releaseResources(); }

bool Console_Box::ensureResources(krovane::gfx::Device* d) {
    if (d == resourcesFor_) return d != nullptr;
    releaseResources();
    releaseExtraResources();
    resourcesFor_ = d;
    if (d == nullptr) return false;
    // A failed font stays null and is skipped when drawing.
    krovane::gfx::CreateFontA(d, textLook_.height, textLook_.width, textLook_.weight, 0, false, kDefaultCharset, 0, 0,
                              0, textLook_.face, &textFont);
    krovane::gfx::CreateFontA(d, kCaptionLook.height, kCaptionLook.width, kCaptionLook.weight, 0, false,
                              kDefaultCharset, 0, 0, 0, kCaptionLook.face, &captionFont);
    makeExtraResources(d);
    return true;
}

void Console_Box::releaseResources() {
    textFont.reset();
    captionFont.reset();
    resourcesFor_ = nullptr;
}

void Console_Box::fillQuad(QuadVertex* q, float left, float top, float right, float bottom, float z,
                           std::uint32_t color) {
    q[0] = {left, bottom, z, 1.0f, color};
    q[1] = {left, top, z, 1.0f, color};
    q[2] = {right, bottom, z, 1.0f, color};
    q[3] = {right, top, z, 1.0f, color};
}

void Console_Box::drawQuad(const QuadVertex* q) const {
    krovane::gfx::Device* d = currentDevice();
    if (d == nullptr) return;
    d->SetFVF(kQuadFvf);
    d->DrawPrimitiveUP(krovane::gfx::PrimitiveType::TriangleStrip, 2, q, sizeof(QuadVertex));
}

void Console_Box::drawText(std::string_view text, krovane::gfx::Rect rect, std::uint32_t format,
                           std::uint32_t color) const {
    if (textFont) textFont->DrawTextA(nullptr, text.data(), static_cast<int>(text.size()), &rect, format, color);
}

void Console_Box::drawCaption() const {
    if (captionFont == nullptr) return;
    const std::int32_t top = saturate(static_cast<std::int64_t>(y) - kCaptionRise);
    krovane::gfx::Rect rect{x, top, x, top};
    captionFont->DrawTextA(nullptr, caption.getChars(), -1, &rect, krovane::gfx::kDtNoClip, textColor);
}

void Console_Box::drawRectangle(float left, float top, float right, float bottom) const {
    DrawLine(left, top, 0, right, top, 0, currentDevice());
    DrawLine(left, bottom, 0, right, bottom, 0, currentDevice());
    DrawLine(left, top, 0, left, bottom, 0, currentDevice());
    DrawLine(right, top, 0, right, bottom, 0, currentDevice());
}

void Console_Box::drawVertical(float atX, float top, float bottom) const {
    DrawLine(atX, top, 0, atX, bottom, 0, currentDevice());
}

void Console_Box::drawOutline() const {
    std::int64_t left = static_cast<std::int64_t>(x) - 1, top = static_cast<std::int64_t>(y) - 1;
    if (dragging) {
        left += static_cast<std::int64_t>(mouseX) - pressX;
        top += static_cast<std::int64_t>(mouseY) - pressY;
    }
    drawRectangle(static_cast<float>(left), static_cast<float>(top), static_cast<float>(left + w + 2),
                  static_cast<float>(top + h + 2));
}

krovane::gfx::Result Console_Box::Rebuild() {
    fillQuad(quad, static_cast<float>(x), static_cast<float>(y), static_cast<float>(static_cast<std::int64_t>(x) + w),
             static_cast<float>(static_cast<std::int64_t>(y) + h), depth_, backColor);
    return krovane::gfx::kOk;
}

bool Console_Box::HandleMouse(std::uint16_t type, std::int32_t mx, std::int32_t my) {
    mouseX = mx;
    mouseY = my;
    if (type == kMousePress) {
        if (inside(mx, my)) {
            focused = true;
            dragging = true;
            textColor = kFocusedTextColor;
            pressX = mx;
            pressY = my;
            return true;
        }
        focused = false;
        textColor = kUnfocusedTextColor;
        return false;
    }
    if (type == kMouseRelease && dragging && focused) {
        moveByDrag();
        dragging = false;
        Rebuild();
        return false;
    }
    if (focused) {
        backColor = kPlainBackColor;  // shown from the next rebuild
        return false;
    }
    backColor = inside(mx, my) && !dragging ? hoverBackColor_ : kAwayBackColor;
    Rebuild();
    return false;
}
