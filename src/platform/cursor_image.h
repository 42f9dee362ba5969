// CursorImage: the pixels of a mouse cursor, as the window shows them
// (Window::useCursor); formats/cursor_file.h reads them from cursor files.
#pragma once

#include <cstdint>
#include <vector>

namespace krovane::platform {

// One decoded cursor image.
struct CursorImage {
    std::uint32_t width = 0;   // 1 to 256
    std::uint32_t height = 0;  // 1 to 256
    std::uint32_t hotX = 0;    // the pixel that points, from the left; below width
    std::uint32_t hotY = 0;    // and from the top; below height
    // width * height pixels, top row first, each 0xAARRGGBB (not premultiplied).
    std::vector<std::uint32_t> rgba;
};

}  // namespace krovane::platform
