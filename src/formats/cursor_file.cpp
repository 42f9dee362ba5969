#include "formats/cursor_file.h"

#include <cstddef>
#include <utility>

#include "platform/file_io.h"

namespace krovane::formats {

namespace {

constexpr std::size_t kDirectoryHeaderBytes = 6;
constexpr std::size_t kDirectoryEntryBytes = 16;
constexpr std::uint32_t kBitmapHeaderBytes = 40;
constexpr std::uint32_t kMaxSide = 256;
constexpr std::uint16_t kCursorType = 2;
constexpr std::uint16_t kIconType = 1;
constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

// Little-endian fields; the caller has checked that the bytes are there.
std::uint16_t readU16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                                                  << 8);
}
std::uint32_t readU32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(readU16(bytes, at)) | static_cast<std::uint32_t>(readU16(bytes, at + 2)) << 16;
}
std::int32_t readI32(std::string_view bytes, std::size_t at) { return static_cast<std::int32_t>(readU32(bytes, at)); }

// Bytes in one stored row of `width` pixels of `bits` each: rows are padded
// to whole 32-bit words. In 64 bits, so that no field of the file overflows it.
std::uint64_t rowBytes(std::uint64_t width, std::uint64_t bits) { return (width * bits + 31) / 32 * 4; }

bool fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

// What the directory says about one image.
struct DirectoryEntry {
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t hotX;
    std::uint32_t hotY;
    std::uint32_t bytes;
    std::uint32_t offset;
};

DirectoryEntry readEntry(std::string_view file, std::size_t index) {
    const std::size_t at = kDirectoryHeaderBytes + index * kDirectoryEntryBytes;
    DirectoryEntry entry{};
    // A size byte of 0 stands for 256, which a byte cannot hold.
    entry.width = static_cast<unsigned char>(file[at]);
    entry.height = static_cast<unsigned char>(file[at + 1]);
    if (entry.width == 0) entry.width = kMaxSide;
    if (entry.height == 0) entry.height = kMaxSide;
    // In cursors the fields that icons use for planes and bit count hold the hotspot.
    entry.hotX = readU16(file, at + 4);
    entry.hotY = readU16(file, at + 6);
    entry.bytes = readU32(file, at + 8);
    entry.offset = readU32(file, at + 12);
    return entry;
}

// Colour index `x` of a row of 1, 4 or 8 bits per pixel; the first pixel sits
// in the high bits of the first byte.
unsigned paletteIndex(const unsigned char* row, std::uint32_t x, std::uint32_t bits) {
    switch (bits) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4:
            return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
        default:
            return row[x];
    }
}

std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// Decodes one image stored as a bitmap: a 40-byte (or longer) header, the
// palette, the colour rows and the 1-bit transparency mask, rows bottom-up.
bool decodeBitmap(std::string_view image, CursorImage& out, std::string& error) {
    if (image.size() < kBitmapHeaderBytes)
        return fail(error, "image data of " + std::to_string(image.size()) + " bytes is too short for a bitmap header");
    const std::uint32_t headerBytes = readU32(image, 0);
    if (headerBytes < kBitmapHeaderBytes)
        return fail(error, "unsupported bitmap header size " + std::to_string(headerBytes) + " (expected 40 or more)");
    if (headerBytes > image.size())
        return fail(error, "bitmap header of " + std::to_string(headerBytes) + " bytes runs past the end of the " +
                               std::to_string(image.size()) + " bytes of image data");

    const std::int32_t width = readI32(image, 4);
    const std::int32_t doubledHeight = readI32(image, 8);  // the colour rows and the mask rows together
    const std::uint32_t bits = readU16(image, 14);
    const std::uint32_t compression = readU32(image, 16);
    const std::uint32_t coloursUsed = readU32(image, 32);
    if (width < 1 || width > static_cast<std::int32_t>(kMaxSide))
        return fail(error, "bitmap width " + std::to_string(width) + " is not between 1 and 256");
    if (doubledHeight < 2 || doubledHeight > static_cast<std::int32_t>(2 * kMaxSide))
        return fail(error, "bitmap height " + std::to_string(doubledHeight) +
                               " is not between 2 and 512 (it counts the image rows and the mask rows)");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return fail(error, "unsupported bit count " + std::to_string(bits) + " (expected 1, 4, 8, 24 or 32)");
    if (compression != 0)
        return fail(error, "compressed bitmaps are not supported (compression " + std::to_string(compression) + ")");
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(doubledHeight / 2);

    // The palette: every colour the pixel bits can index unless the header
    // says fewer. Images of 24 and 32 bits may still carry one; it is skipped.
    std::uint64_t colours = coloursUsed;
    if (bits <= 8) {
        const std::uint64_t indexable = std::uint64_t{1} << bits;
        if (colours == 0) colours = indexable;
        if (colours > indexable)
            return fail(error, "palette of " + std::to_string(colours) + " colours is larger than " +
                                   std::to_string(bits) + "-bit pixels can index");
    }
    const std::uint64_t paletteAt = headerBytes;
    const std::uint64_t pixelsAt = paletteAt + colours * 4;
    if (pixelsAt > image.size())
        return fail(error, "palette of " + std::to_string(colours) + " colours runs past the end of the image data");

    const std::uint64_t colourStride = rowBytes(w, bits);
    const std::uint64_t maskStride = rowBytes(w, 1);
    const std::uint64_t maskAt = pixelsAt + colourStride * h;
    if (maskAt > image.size())
        return fail(error, "pixel rows need " + std::to_string(colourStride * h) + " bytes but only " +
                               std::to_string(image.size() - pixelsAt) + " follow the header and palette");
    const bool maskPresent = maskAt + maskStride * h <= image.size();

    const auto* data = reinterpret_cast<const unsigned char*>(image.data());
    std::vector<std::uint32_t> pixels(std::size_t{w} * h);
    bool alphaUsed = false;
    for (std::uint32_t y = 0; y < h; ++y) {
        const unsigned char* row = data + pixelsAt + (h - 1 - y) * colourStride;  // stored bottom row first
        std::uint32_t* target = pixels.data() + std::size_t{y} * w;
        for (std::uint32_t x = 0; x < w; ++x) {
            if (bits == 32) {
                const unsigned char* p = row + std::size_t{x} * 4;
                target[x] = argb(p[3], p[2], p[1], p[0]);
                alphaUsed |= p[3] != 0;
            } else if (bits == 24) {
                const unsigned char* p = row + std::size_t{x} * 3;
                target[x] = argb(0xFF, p[2], p[1], p[0]);
            } else {
                // An index past a short palette reads as opaque black.
                const unsigned index = paletteIndex(row, x, bits);
                if (index < colours) {
                    const unsigned char* p = data + paletteAt + std::size_t{index} * 4;
                    target[x] = argb(0xFF, p[2], p[1], p[0]);
                } else {
                    target[x] = argb(0xFF, 0, 0, 0);
                }
            }
        }
    }

    if (bits == 32 && !alphaUsed) {
        // An alpha channel of zeros is unused: the mask alone says what shows.
        for (std::uint32_t& p : pixels) p |= 0xFF000000u;
    }
    if (bits != 32 || !alphaUsed) {
        if (!maskPresent)
            return fail(error, "transparency mask needs " + std::to_string(maskStride * h) + " bytes but only " +
                                   std::to_string(image.size() - maskAt) + " follow the pixel rows");
        // A set mask bit makes the pixel fully transparent. (Monochrome
        // cursors also use a set bit with a white pixel for "invert the
        // screen", which a colour cursor cannot do; it becomes transparent.)
        for (std::uint32_t y = 0; y < h; ++y) {
            const unsigned char* row = data + maskAt + (h - 1 - y) * maskStride;
            std::uint32_t* target = pixels.data() + std::size_t{y} * w;
            for (std::uint32_t x = 0; x < w; ++x)
                if (paletteIndex(row, x, 1) != 0) target[x] = 0;
        }
    }

    out.width = w;
    out.height = h;
    out.rgba = std::move(pixels);
    return true;
}

}  // namespace

bool CursorFile::parse(std::string_view bytes, CursorImage& out, std::string& error) {
    out = CursorImage{};
    if (bytes.size() < kDirectoryHeaderBytes)
        return fail(error, "file of " + std::to_string(bytes.size()) + " bytes is too short for a cursor header");
    const std::uint16_t reserved = readU16(bytes, 0);
    const std::uint16_t type = readU16(bytes, 2);
    const std::uint16_t count = readU16(bytes, 4);
    if (reserved != 0 || (type != kCursorType && type != kIconType))
        return fail(error, "not a cursor file (header starts " + std::to_string(reserved) + ", " +
                               std::to_string(type) + " instead of 0, 2)");
    if (type == kIconType) return fail(error, "an icon file, not a cursor file (it has no hotspot)");
    if (count == 0) return fail(error, "the cursor file holds no images");
    if (kDirectoryHeaderBytes + std::size_t{count} * kDirectoryEntryBytes > bytes.size())
        return fail(error, "the directory of " + std::to_string(count) + " images runs past the end of the " +
                               std::to_string(bytes.size()) + "-byte file");

    // The largest image serves best when scaled down; the first of equal size.
    std::size_t chosen = 0;
    DirectoryEntry entry = readEntry(bytes, 0);
    for (std::size_t i = 1; i < count; ++i) {
        const DirectoryEntry other = readEntry(bytes, i);
        if (std::uint64_t{other.width} * other.height > std::uint64_t{entry.width} * entry.height) {
            chosen = i;
            entry = other;
        }
    }
    const std::string which = "image " + std::to_string(chosen + 1);
    if (std::uint64_t{entry.offset} + entry.bytes > bytes.size())
        return fail(error, which + " (offset " + std::to_string(entry.offset) + ", " + std::to_string(entry.bytes) +
                               " bytes) lies past the end of the " + std::to_string(bytes.size()) + "-byte file");
    const std::string_view image = bytes.substr(entry.offset, entry.bytes);
    if (image.substr(0, kPngSignature.size()) == kPngSignature)
        return fail(error, which + " is stored as PNG, which is not supported; store the cursor as a bitmap");

    CursorImage decoded;
    if (!decodeBitmap(image, decoded, error)) {
        error = which + ": " + error;
        return false;
    }
    if (entry.hotX >= decoded.width || entry.hotY >= decoded.height)
        return fail(error, which + ": hotspot (" + std::to_string(entry.hotX) + ", " + std::to_string(entry.hotY) +
                               ") lies outside the " + std::to_string(decoded.width) + " x " +
                               std::to_string(decoded.height) + " image");
    decoded.hotX = entry.hotX;
    decoded.hotY = entry.hotY;
    out = std::move(decoded);
    return true;
}

bool CursorFile::load(const std::filesystem::path& path, CursorImage& out, std::string& error) {
    out = CursorImage{};
    const std::string name = path.string();
    std::string bytes;
    switch (platform::readWholeFile(path, bytes, kMaxFileBytes)) {
        case platform::ReadStatus::Ok:
            break;
        case platform::ReadStatus::Missing:
            return fail(error, "cannot open cursor file " + name);
        case platform::ReadStatus::TooLarge:
            return fail(error, "cursor file " + name + " is larger than " + std::to_string(kMaxFileBytes >> 20) +
                                   " MiB, too large for a cursor");
        case platform::ReadStatus::ReadFailed:
            return fail(error, "cannot read cursor file " + name);
    }
    if (!parse(bytes, out, error)) {
        error = "cursor file " + name + ": " + error;
        return false;
    }
    return true;
}

}  // namespace krovane::formats
