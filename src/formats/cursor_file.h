// CursorFile: reads Windows cursor files (.cur) into plain 32-bit pixels, so
// that the window can show them as a colour cursor (Window::useCursor). No
// windowing code is involved here.
//
// A cursor file is a small directory of images; the largest one is read (the
// first of equal size). Images stored as bitmaps with 1, 4 or 8 bits per pixel
// (with a palette), 24 or 32 bits per pixel are decoded; the transparency mask
// that follows the pixels makes pixels transparent where its bit is set. A
// 32-bit image whose alpha channel is used anywhere takes its transparency from
// that channel instead. Images stored as PNG are refused with a message.
//
// Every size, offset and count in the file is checked against the bytes
// there, so damaged or hostile files fail with a message and never read past
// the buffer or allocate more than one 256 x 256 image.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/cursor_image.h"

namespace krovane::formats {

using platform::CursorImage;

class CursorFile {
public:
    // Files larger than this are refused before they are read.
    static constexpr std::uint64_t kMaxFileBytes = 4 << 20;

    // Reads and decodes the file. On failure returns false with an English
    // message in `error` (naming the file) and `out` empty.
    static bool load(const std::filesystem::path& path, CursorImage& out, std::string& error);

    // Decodes the bytes of a cursor file. On failure returns false with an
    // English message in `error` and `out` empty.
    static bool parse(std::string_view bytes, CursorImage& out, std::string& error);
};

}  // namespace krovane::formats
