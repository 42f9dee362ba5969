// Font: text drawn on the device in screen pixels, the way the engine's HUD,
// console and menus draw it.
//
// A font is made once from a face name and a pixel height: the face is found
// among the installed fonts (the closest match when the named one is absent),
// the 256 characters of code page 1251 are rendered into one texture, and
// each DrawTextA lays a string out and draws all its glyphs with a single
// draw of screen-pixel triangles. Drawing changes device states only for its
// own draw and puts back every one it touched, so callers find the device as
// they left it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/device_resource.h"
#include "gfx/device_types.h"

namespace krovane::gfx {

class Device;
class Texture;

// Formats of DrawTextA, with the values of the platform API the engine was
// written for. Top and left alignment are the default (0).
inline constexpr std::uint32_t kDtRight = 0x2;        // each line ends at rect.right
inline constexpr std::uint32_t kDtWordBreak = 0x10;   // wrap at blanks to the width of the rect
inline constexpr std::uint32_t kDtSingleLine = 0x20;  // line breaks do not start new lines
inline constexpr std::uint32_t kDtExpandTabs = 0x40;  // tabs go to the next multiple of 8 average widths
inline constexpr std::uint32_t kDtNoClip = 0x100;     // draw outside the rect too
inline constexpr std::uint32_t kDtCalcRect = 0x400;   // only measure: set rect to fit the text

class Font : public DeviceResource {
public:
    // Draws `text` (code page 1251 bytes; `count` bytes, or up to the NUL when
    // negative) with its first line's top left at rect's top left (right
    // alignment: each line's end at rect.right), in `color` (0xAARRGGBB).
    // Returns the height of the text in pixels (lines times height()), 0 for
    // empty text and on failure (no text, or a draw outside a scene).
    //
    // "\n" and "\r\n" (and a lone "\r") start a new line; a break at the very
    // end adds no empty line. Without kDtNoClip, glyphs are cut at the rect's
    // edges (the cut parts are not drawn). A null rect draws at (0, 0)
    // unclipped. With kDtCalcRect nothing is drawn: rect's right (left when
    // right aligned) and bottom are set to fit the text. `sprite` is unused.
    int DrawTextA(void* sprite, const char* text, int count, Rect* rect, std::uint32_t format, std::uint32_t color);

    int height() const { return cellHeight_; }              // cell height (ascent + descent): the line height
    int ascent() const { return ascent_; }                  // from a line's top to its baseline
    // Pixels the pen moves after the byte `c` (0 for control bytes).
    int advance(unsigned char c) const { return glyphs_[c].advance; }

private:
    friend Result CreateFontA(Device*, int, std::uint32_t, std::uint32_t, std::uint32_t, bool, std::uint32_t,
                              std::uint32_t, std::uint32_t, std::uint32_t, const char*, Ref<Font>*);

    // Where a glyph's image lies in the atlas and where it goes from the pen:
    // `left` right of the pen, `top` below the line's top.
    struct Glyph {
        std::int32_t atlasX = 0, atlasY = 0, width = 0, height = 0;
        std::int32_t left = 0, top = 0, advance = 0;
    };
    // One vertex of a glyph quad: screen pixels, colour, texture coordinate.
    struct Vertex {
        float x, y, z, rhw;
        std::uint32_t color;
        float u, v;
    };
    // A line of the laid-out text: bytes [begin, end), then the next line from `next`.
    struct Line {
        std::size_t begin, end, next;
        int width;
    };

    explicit Font(Device* device);
    ~Font() override;

    Line nextLine(const unsigned char* text, std::size_t size, std::size_t pos, std::uint32_t format,
                  std::int64_t maxWidth) const;
    int advanceAt(unsigned char c, int x, bool expandTabs) const;
    // Draws the first `vertexCount` vertices of scratch_ with the text's states.
    bool drawVertices(std::size_t vertexCount);

    Ref<Texture> atlas_;
    float texelU_ = 0, texelV_ = 0;  // 1 / atlas width and height
    Glyph glyphs_[256];
    int cellHeight_ = 0, ascent_ = 0, averageWidth_ = 1;
    std::vector<Vertex> scratch_;  // grown only for a longer text than any before
};

// Makes a font as the engine's font API does. `height` < 0: the character
// (em) height is -height pixels; > 0: the cell height (ascent + descent) is
// `height` pixels; 0: a cell of 16 pixels. `width` 0 keeps the face's
// proportions, another value stretches glyphs to that average width.
// `weight` 400 is normal, 700 bold; a bold or italic the face lacks is made
// from the regular one. `faceName` ("Verdana", "Courier ", surrounding blanks
// ignored) picks the installed face that matches best: a missing face is no
// error. `pitchAndFamily` steers that choice (fixed pitch, the family bits);
// `mipLevels`, `charset`, `outputPrecision` and `quality` are accepted and
// ignored (the atlas is one image and always holds code page 1251). Fails,
// with *font null, only when no font file can be loaded or the device
// refuses the atlas texture.
Result CreateFontA(Device* device, int height, std::uint32_t width, std::uint32_t weight, std::uint32_t mipLevels,
                   bool italic, std::uint32_t charset, std::uint32_t outputPrecision, std::uint32_t quality,
                   std::uint32_t pitchAndFamily, const char* faceName, Ref<Font>* font);

}  // namespace krovane::gfx
