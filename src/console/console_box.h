// Console_Box: what the console's three boxes share: a rectangle in screen
// pixels with a background quad, a text font and a caption font, a caption
// drawn just above it, focus, and moving by pressing the left button inside
// and releasing it elsewhere (an outline follows the mouse meanwhile).
//
// The quads are kept as four screen-pixel vertices (x, y, z, rhw, colour)
// inside the box and drawn with one user-pointer strip, so drawing allocates
// nothing. Rebuild() refills them from the box's place and colour. A box
// keeps no device: each Draw is given the one to draw on (borrowed for the
// call; null draws nothing). The fonts (and a box's texture) are made when
// the box is first drawn, for that device, and again only when a draw is
// given another one. A missing font or texture is skipped when drawing;
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
class Font;  // shared with the render manager, which made it
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
    // pixels; returns whether the box took it. As the input and clock boxes
    // handle it: a press inside focuses the box, starts a drag and is taken;
    // a press outside unfocuses it; a release while dragging moves the box by
    // release minus press; other events set the background (the hover colour
    // while the mouse is over an unfocused box).
    virtual bool HandleMouse(std::uint16_t type, std::int32_t mouseX, std::int32_t mouseY);

    std::uint32_t textColor;
    std::uint32_t backColor;
    QuadVertex quad[4] = {};
    krovane::gfx::Ref<krovane::gfx::Font> textFont;
    krovane::gfx::Ref<krovane::gfx::Font> captionFont;
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    bool focused = false;
    bool dragging = false;
    Korvane_string caption;
    // The mouse at the latest event and at the latest press taken.
    std::int32_t mouseX = 0, mouseY = 0;
    std::int32_t pressX = 0, pressY = 0;

    // Strictly inside the rectangle.
    bool inside(std::int32_t px, std::int32_t py) const {
        return static_cast<std::int64_t>(x) < px && px < static_cast<std::int64_t>(x) + w &&
               static_cast<std::int64_t>(y) < py && py < static_cast<std::int64_t>(y) + h;
    }

    // Saturates a wide value to the 32-bit range positions are kept in.
    static std::int32_t saturate(std::int64_t value) {
        return value < std::numeric_limits<std::int32_t>::min()   ? std::numeric_limits<std::int32_t>::min()
               : value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                                  : static_cast<std::int32_t>(value);
    }
    // Moves the box by the release position minus the press position.
    void moveByDrag() {
        x = saturate(static_cast<std::int64_t>(x) + mouseX - pressX);
        y = saturate(static_cast<std::int64_t>(y) + mouseY - pressY);
    }

protected:
    Console_Box(const char* caption, FontLook textLook, float depth,
                std::uint32_t textColor, std::uint32_t backColor, std::uint32_t hoverBackColor);

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
    void drawCaption() const;
    // The four edges of (left, top)-(right, bottom): top, bottom, left, right.
    void drawRectangle(float left, float top, float right, float bottom) const;
    void drawVertical(float atX, float top, float bottom) const;
    // The outline one pixel around the box; while dragging, moved by the
    // mouse's offset from the press.
    void drawOutline() const;
    // Draws `text` with the text font; nothing without a font.
    void drawText(std::string_view text, krovane::gfx::Rect rect, std::uint32_t format, std::uint32_t color) const;

    float depth_;
    std::uint32_t hoverBackColor_;

private:
    FontLook textLook_;
    krovane::gfx::Device* resourcesFor_ = nullptr;
};
