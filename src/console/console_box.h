// Console_Box: what the console's three boxes share: a rectangle in screen
// pixels with a background quad, a text font and a caption font, a caption
// drawn just above it, focus, and moving by pressing the left button inside
// and releasing it elsewhere (an outline follows the mouse meanwhile).
//
// The quads are kept as four screen-pixel vertices (x, y, z, rhw, colour)
// inside the box and drawn with one user-pointer strip, so drawing allocates
// nothing. Rebuild() refills them from the box's place and colour. A box
// keeps no device: each Draw is given the one to draw on (borrowed for the
// call; null draws nothing). The box makes its own fonts (and its texture,
// if it has one) when it is first drawn, for that device, and again only
// when a draw is given another one. A missing font or texture is skipped when drawing;
// nothing is reported.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "gfx/device_types.h"
#include "gfx/ref.h"
#include "params/korvane_string.h"

namespace krovane::gfx {
class Device;
class Font;
}  // namespace krovane::gfx

class Console_Box {
public:
    // Mouse event types, as the window and the mouse look send them.
    static constexpr std::uint16_t kMouseMove = 0;
    static constexpr std::uint16_t kMousePress = 1;
    static constexpr std::uint16_t kMouseRelease = 2;

    // Text colours after a press inside and outside a box.
    static constexpr std::uint32_t kFocusedTextColor = 0xFFFFFFFF;
    static constexpr std::uint32_t kUnfocusedTextColor = 0xFFC8C8F0;
    // Backgrounds set by mouse events.
    static constexpr std::uint32_t kPlainBackColor = 0xFF333333;
    static constexpr std::uint32_t kAwayBackColor = 0xFF151515;

    // Pixels between a caption's top and the box's top.
    static constexpr int kCaptionRise = 12;

    // A screen-pixel vertex of a quad (kFvfXyzRhw | kFvfDiffuse, 20 bytes).
    struct QuadVertex {
        float x, y, z, rhw;
        std::uint32_t color;
    };
    static constexpr std::uint32_t kQuadFvf = krovane::gfx::kFvfXyzRhw | krovane::gfx::kFvfDiffuse;

    // How a font is made: face, height, width and weight.
    struct FontLook {
        const char* face;
        int height;
        std::uint32_t width, weight;
    };

    virtual ~Console_Box();
    Console_Box(const Console_Box&) = delete;
    Console_Box& operator=(const Console_Box&) = delete;

    // Refills the quads from the place and colour. Always succeeds.
    virtual krovane::gfx::Result Rebuild();
    // Draws the box on `device` (null: nothing).
    virtual void Draw(krovane::gfx::Device* device) = 0;
    // One mouse event (kMouseMove, kMousePress, kMouseRelease) in client
    // pixels; returns whether the box took it. A press inside focuses the
    // box and is taken (it starts a drag unless `pressed` says otherwise); a
    // press outside unfocuses it; a release while dragging moves the box by
    // release minus press; other events set the background (the hover colour
    // while the mouse is over an unfocused box).
    bool HandleMouse(std::uint16_t type, std::int32_t mouseX, std::int32_t mouseY);

    std::int32_t x() const { return x_; }
    std::int32_t y() const { return y_; }
    std::int32_t w() const { return w_; }
    std::int32_t h() const { return h_; }
    bool focused() const { return focused_; }
    bool dragging() const { return dragging_; }
    // The background colour; the quad shows it from the next rebuild.
    std::uint32_t backColor() const { return backColor_; }
    const QuadVertex* quad() const { return quad_; }
    // The text font, once the box has drawn (null before, or when it could not be made).
    krovane::gfx::Font* textFont() const { return textFont_.get(); }

    // Saturates a wide value to the 32-bit range positions are kept in.
    static std::int32_t saturate(std::int64_t value) {
        return value < std::numeric_limits<std::int32_t>::min()   ? std::numeric_limits<std::int32_t>::min()
               : value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                                  : static_cast<std::int32_t>(value);
    }

protected:
    Console_Box(const char* caption, FontLook textLook, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                float depth, std::uint32_t textColor, std::uint32_t backColor, std::uint32_t hoverBackColor,
                bool focused = false);

    // What HandleMouse leaves to the box's kind. A press, after the focus is
    // set (`inside` the box or not): true when it starts a drag.
    virtual bool pressed(bool inside, std::int32_t, std::int32_t) { return inside; }
    // A drag ended and moved the box by (dx, dy); called before the rebuild.
    virtual void movedBy(std::int64_t, std::int64_t) {}
    // A release that ends no drag: true when the box dealt with it.
    virtual bool released(std::int32_t, std::int32_t) { return false; }

    // Strictly inside the rectangle.
    bool inside(std::int32_t px, std::int32_t py) const {
        return static_cast<std::int64_t>(x_) < px && px < static_cast<std::int64_t>(x_) + w_ &&
               static_cast<std::int64_t>(y_) < py && py < static_cast<std::int64_t>(y_) + h_;
    }
    std::int32_t mouseY() const { return mouseY_; }
    std::int32_t pressY() const { return pressY_; }
    std::uint32_t textColor() const { return textColor_; }
    void setBackColor(std::uint32_t color) { backColor_ = color; }

    // The device of the draw in progress (the one the resources were made
    // for), or null.
    krovane::gfx::Device* currentDevice() const { return resourcesFor_; }
    // Makes the fonts (and the box's own resources) for `device` when they
    // were last made for another one. True when a device is given.
    bool ensureResources(krovane::gfx::Device* device);
    // The box's own resources beyond the fonts: made and released with them.
    virtual void makeExtraResources(krovane::gfx::Device*) {}
    virtual void releaseExtraResources() {}
    void releaseResources();

    // Fills a quad in the corner order bottom-left, top-left, bottom-right, top-right.
    static void fillQuad(QuadVertex* quad, float left, float top, float right, float bottom, float z,
                         std::uint32_t color);
    void drawQuad(const QuadVertex* quad) const;
    void drawBackground() const { drawQuad(quad_); }
    void drawCaption() const;
    // The four edges of (left, top)-(right, bottom): top, bottom, left, right.
    void drawRectangle(float left, float top, float right, float bottom) const;
    void drawVertical(float atX, float top, float bottom) const;
    // The outline one pixel around the box; while dragging, moved by the
    // mouse's offset from the press.
    void drawOutline() const;
    // Draws `text` with the text font; nothing without a font.
    void drawText(std::string_view text, krovane::gfx::Rect rect, std::uint32_t format, std::uint32_t color) const;

private:
    std::uint32_t textColor_;
    std::uint32_t backColor_;
    QuadVertex quad_[4] = {};
    krovane::gfx::Ref<krovane::gfx::Font> textFont_;
    krovane::gfx::Ref<krovane::gfx::Font> captionFont_;
    std::int32_t x_, y_, w_, h_;
    bool focused_;
    bool dragging_ = false;
    Korvane_string caption_;
    // The mouse at the latest event and at the latest press taken.
    std::int32_t mouseX_ = 0, mouseY_ = 0;
    std::int32_t pressX_ = 0, pressY_ = 0;
    float depth_;
    std::uint32_t hoverBackColor_;
    FontLook textLook_;
    krovane::gfx::Device* resourcesFor_ = nullptr;
};
