#include "console/console_box.h"

#include "gfx/device.h"
#include "gfx/font.h"
#include "gfx/line_drawing.h"

namespace {
constexpr Console_Box::FontLook kCaptionLook{"Arial", 10, 5, 200};
constexpr std::uint32_t kDefaultCharset = 1;
}  // namespace

Console_Box::Console_Box(const char* captionText, FontLook textLook, std::int32_t x, std::int32_t y, std::int32_t w,
                         std::int32_t h, float depth, std::uint32_t text, std::uint32_t back, std::uint32_t hoverBack,
                         bool focused)
    : textColor_(text),
      backColor_(back),
      x_(x),
      y_(y),
      w_(w),
      h_(h),
      focused_(focused),
      caption_(captionText),
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
                              0, textLook_.face, &textFont_);
    krovane::gfx::CreateFontA(d, kCaptionLook.height, kCaptionLook.width, kCaptionLook.weight, 0, false,
                              kDefaultCharset, 0, 0, 0, kCaptionLook.face, &captionFont_);
    makeExtraResources(d);
    return true;
}

void Console_Box::releaseResources() {
    textFont_.reset();
    captionFont_.reset();
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
    if (textFont_) textFont_->DrawTextA(nullptr, text.data(), static_cast<int>(text.size()), &rect, format, color);
}

void Console_Box::drawCaption() const {
    if (captionFont_ == nullptr) return;
    const std::int32_t top = saturate(static_cast<std::int64_t>(y_) - kCaptionRise);
    krovane::gfx::Rect rect{x_, top, x_, top};
    captionFont_->DrawTextA(nullptr, caption_.getChars(), -1, &rect, krovane::gfx::kDtNoClip, textColor_);
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
    std::int64_t left = static_cast<std::int64_t>(x_) - 1, top = static_cast<std::int64_t>(y_) - 1;
    if (dragging_) {
        left += static_cast<std::int64_t>(mouseX_) - pressX_;
        top += static_cast<std::int64_t>(mouseY_) - pressY_;
    }
    drawRectangle(static_cast<float>(left), static_cast<float>(top), static_cast<float>(left + w_ + 2),
                  static_cast<float>(top + h_ + 2));
}

krovane::gfx::Result Console_Box::Rebuild() {
    fillQuad(quad_, static_cast<float>(x_), static_cast<float>(y_),
             static_cast<float>(static_cast<std::int64_t>(x_) + w_),
             static_cast<float>(static_cast<std::int64_t>(y_) + h_), depth_, backColor_);
    return krovane::gfx::kOk;
}

bool Console_Box::HandleMouse(std::uint16_t type, std::int32_t mx, std::int32_t my) {
    mouseX_ = mx;
    mouseY_ = my;
    if (type == kMousePress) {
        focused_ = inside(mx, my);
        textColor_ = focused_ ? kFocusedTextColor : kUnfocusedTextColor;
        if (focused_) {
            pressX_ = mx;
            pressY_ = my;
        }
        if (pressed(focused_, mx, my)) dragging_ = true;
        return focused_;
    }
    if (type == kMouseRelease && dragging_ && focused_) {
        const std::int64_t dx = static_cast<std::int64_t>(mx) - pressX_, dy = static_cast<std::int64_t>(my) - pressY_;
        x_ = saturate(x_ + dx);
        y_ = saturate(y_ + dy);
        movedBy(dx, dy);
        dragging_ = false;
        Rebuild();
        return false;
    }
    if (type == kMouseRelease && released(mx, my)) return false;
    if (focused_) {
        backColor_ = kPlainBackColor;  // shown from the next rebuild
        return false;
    }
    backColor_ = inside(mx, my) && !dragging_ ? hoverBackColor_ : kAwayBackColor;
    Rebuild();
    return false;
}
