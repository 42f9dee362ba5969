#include "formats/image_file.h"

#include <jerror.h>
#include <jpeglib.h>  // JPEG, through libjpeg-turbo
#include <png.h>      // PNG, through libpng's simplified reader
#include <cstdio>     // before jpeglib.h, which uses FILE

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstring>

#include "formats/dds_image.h"
#include "formats/pixel_channel.h"

namespace krovane::formats {

// Pixels are written as bytes B, G, R, A, which is 0xAARRGGBB in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

bool fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

bool damaged(std::string& error, const std::string& why) { return fail(error, "the image is damaged: " + why); }

bool sidesTaken(std::uint64_t width, std::uint64_t height, std::uint32_t maxSide, std::string& error) {
    if (width >= 1 && height >= 1 && width <= maxSide && height <= maxSide) return true;
    return fail(error, "the image is " + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels; sides of 1 to " + std::to_string(maxSide) + " are taken");
}

std::uint32_t u16(std::string_view b, std::size_t at) {
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}
std::uint32_t u32(std::string_view b, std::size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// ---- BMP ----------------------------------------------------------------

// One colour channel of a packed pixel, widened to 8 bits (see widenChannel).
struct Channel {
    std::uint32_t mask = 0, shift = 0, max = 0;
    explicit Channel(std::uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = static_cast<std::uint32_t>(std::countr_zero(m));
        max = m >> shift;
    }
    std::uint32_t operator()(std::uint32_t v, std::uint32_t absent) const {
        if (mask == 0) return absent;
        return widenChannel((v & mask) >> shift, max);
    }
};

bool decodeBmp(std::string_view b, std::uint32_t maxSide, ImageFile& out, std::string& error) {
    if (b.size() < 26) return damaged(error, "the BMP header is cut short");
    const std::uint64_t dataAt = u32(b, 10);
    const std::uint32_t headerBytes = u32(b, 14);
    std::int64_t width = 0, height = 0;
    std::uint32_t bits = 0, compression = 0, colours = 0;
    std::size_t paletteAt = 0, paletteEntry = 4;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    if (headerBytes == 12) {
        width = u16(b, 18);
        height = u16(b, 20);
        bits = u16(b, 24);
        paletteAt = 26;
        paletteEntry = 3;
    } else if (headerBytes >= 40 && headerBytes <= 124) {
        if (b.size() < 14 + std::size_t{headerBytes}) return damaged(error, "the BMP header is cut short");
        width = static_cast<std::int32_t>(u32(b, 18));
        height = static_cast<std::int32_t>(u32(b, 22));
        bits = u16(b, 28);
        compression = u32(b, 30);
        colours = u32(b, 46);
        paletteAt = 14 + std::size_t{headerBytes};
        if (compression == 3 || compression == 6) {
            const std::size_t count = compression == 6 ? 4 : 3;
            std::size_t at = 54;
            if (headerBytes == 40) paletteAt += count * 4;  // the masks follow a short header
            if (b.size() < at + count * 4) return damaged(error, "the BMP header is cut short");
            for (std::size_t i = 0; i < count; ++i) masks[i] = u32(b, at + i * 4);
            if (headerBytes >= 56) masks[3] = u32(b, 66);
        } else if (compression != 0) {
            return fail(error, "compressed BMP files are not taken");
        }
    } else {
        return damaged(error, "the BMP header has an unknown size");
    }
    const bool bitfields = compression == 3 || compression == 6;
    const bool indexed = bits == 1 || bits == 4 || bits == 8;
    if (!(indexed || bits == 16 || bits == 24 || bits == 32) || (bitfields && bits != 16 && bits != 32))
        return damaged(error, "BMP pixels of " + std::to_string(bits) + " bits");
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (!sidesTaken(static_cast<std::uint64_t>(std::max<std::int64_t>(width, 0)), static_cast<std::uint64_t>(height),
                    maxSide, error))
        return false;
    const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    const std::size_t stride = (w * bits + 31) / 32 * 4;
    if (dataAt > b.size() || stride * h > b.size() - dataAt) return damaged(error, "the BMP pixels are cut short");

    std::uint32_t palette[256] = {};
    if (indexed) {
        const std::size_t most = std::size_t{1} << bits;
        const std::size_t count = colours == 0 ? most : std::min<std::size_t>(colours, most);
        if (paletteAt + count * paletteEntry > dataAt) return damaged(error, "the BMP palette is cut short");
        for (std::size_t i = 0; i < count; ++i) {
            const char* p = b.data() + paletteAt + i * paletteEntry;
            palette[i] = argb(255, std::uint8_t(p[2]), std::uint8_t(p[1]), std::uint8_t(p[0]));
        }
    }
    if (!bitfields) {
        if (bits == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
        if (bits == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0xFF000000;
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);

    out.pixels.resize(w * h);
    bool anyAlpha = false;
    for (std::size_t y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(b.data() + dataAt + stride * y);
        std::uint32_t* dst = out.pixels.data() + (topDown ? y : h - 1 - y) * w;
        for (std::size_t x = 0; x < w; ++x) {
            if (indexed) {
                const std::size_t bit = x * bits;
                const std::uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                dst[x] = palette[index];
            } else if (bits == 24) {
                dst[x] = argb(255, row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
            } else {
                const std::uint32_t v = bits == 16 ? u16({reinterpret_cast<const char*>(row), stride}, x * 2)
                                                   : u32({reinterpret_cast<const char*>(row), stride}, x * 4);
                const std::uint32_t a = alpha(v, 255);
                anyAlpha = anyAlpha || a != 0;
                dst[x] = argb(a, red(v, 0), green(v, 0), blue(v, 0));
            }
        }
    }
    // Many writers leave the fourth byte of 32-bit pixels zero: such images are opaque.
    if (bits == 32 && !bitfields && !anyAlpha)
        for (std::uint32_t& p : out.pixels) p |= 0xFF000000u;
    out.width = static_cast<std::uint32_t>(w);
    out.height = static_cast<std::uint32_t>(h);
    return true;
}

// ---- TGA ----------------------------------------------------------------

constexpr std::size_t kTgaHeaderBytes = 18;

bool tgaColourDepth(std::uint32_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// TGA has no signature: a header is taken when every field holds a value a
// TGA writer produces.
bool plausibleTga(std::string_view b) {
    if (b.size() < kTgaHeaderBytes) return false;
    const std::uint32_t mapType = std::uint8_t(b[1]), type = std::uint8_t(b[2]);
    const std::uint32_t mapLength = u16(b, 5), mapDepth = std::uint8_t(b[7]);
    const std::uint32_t depth = std::uint8_t(b[16]), descriptor = std::uint8_t(b[17]);
    if (mapType > 1 || u16(b, 12) == 0 || u16(b, 14) == 0 || (descriptor & 0xC0) != 0 || (descriptor & 15) > 8)
        return false;
    if (mapType == 1 ? (!tgaColourDepth(mapDepth) || mapLength == 0) : mapLength != 0) return false;
    switch (type) {
        case 1:
        case 9:
            return mapType == 1 && depth == 8;
        case 2:
        case 10:
            return tgaColourDepth(depth);
        case 3:
        case 11:
            return depth == 8;
        default:
            return false;
    }
}

std::uint32_t tgaPixel(const std::uint8_t* p, std::uint32_t bits) {
    switch (bits) {
        case 8:
            return argb(255, p[0], p[0], p[0]);
        case 15:
        case 16: {
            const std::uint32_t v = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
            const auto c = [](std::uint32_t five) { return widenChannel(five, 31); };
            return argb(255, c(v >> 10 & 31), c(v >> 5 & 31), c(v & 31));
        }
        case 24:
            return argb(255, p[2], p[1], p[0]);
        default:
            return argb(p[3], p[2], p[1], p[0]);
    }
}

bool decodeTga(std::string_view b, std::uint32_t maxSide, ImageFile& out, std::string& error) {
    const std::uint32_t mapType = std::uint8_t(b[1]), type = std::uint8_t(b[2]);
    const std::uint32_t mapFirst = u16(b, 3), mapLength = u16(b, 5), mapDepth = std::uint8_t(b[7]);
    const std::uint32_t width = u16(b, 12), height = u16(b, 14);
    const std::uint32_t depth = std::uint8_t(b[16]), descriptor = std::uint8_t(b[17]);
    if (!sidesTaken(width, height, maxSide, error)) return false;

    const bool mapped = type == 1 || type == 9, rle = type >= 9;
    const std::size_t mapEntry = (mapDepth + 7) / 8, pixelBytes = (depth + 7) / 8;
    const std::size_t mapAt = kTgaHeaderBytes + std::uint8_t(b[0]);
    const std::size_t dataAt = mapAt + (mapType == 1 ? mapLength * mapEntry : 0);
    const std::size_t count = std::size_t{width} * height;
    // Each run packet is a byte and one pixel for at most 128 pixels.
    const std::size_t least = rle ? (count + 127) / 128 * (1 + pixelBytes) : count * pixelBytes;
    if (dataAt > b.size() || least > b.size() - dataAt) return damaged(error, "the TGA data is cut short");

    std::vector<std::uint32_t> map;
    if (mapped) {
        map.resize(mapLength);
        for (std::size_t i = 0; i < mapLength; ++i)
            map[i] = tgaPixel(reinterpret_cast<const std::uint8_t*>(b.data() + mapAt + i * mapEntry), mapDepth);
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(b.data() + dataAt);
    const auto* end = reinterpret_cast<const std::uint8_t*>(b.data() + b.size());
    bool badIndex = false;
    const auto pixel = [&](const std::uint8_t* at) -> std::uint32_t {
        if (!mapped) return tgaPixel(at, depth);
        if (*at < mapFirst || *at - mapFirst >= map.size()) {
            badIndex = true;
            return 0;
        }
        return map[*at - mapFirst];
    };

    out.pixels.resize(count);
    for (std::size_t i = 0; i < count;) {
        std::size_t run = 1;
        bool repeat = false;
        if (rle) {
            if (end - p < 1) return out.pixels.clear(), damaged(error, "the TGA data is cut short");
            run = std::size_t{*p & 127u} + 1;
            repeat = (*p & 128) != 0;
            ++p;
            run = std::min(run, count - i);
        }
        const std::size_t need = (repeat ? 1 : run) * pixelBytes;
        if (static_cast<std::size_t>(end - p) < need)
            return out.pixels.clear(), damaged(error, "the TGA data is cut short");
        for (std::size_t k = 0; k < run; ++k) out.pixels[i + k] = pixel(p + (repeat ? 0 : k * pixelBytes));
        p += need;
        i += run;
    }
    if (badIndex) return out.pixels.clear(), damaged(error, "a TGA pixel names a colour its palette lacks");

    // Rows are stored bottom row first unless the descriptor says otherwise.
    if ((descriptor & 0x20) == 0)
        for (std::size_t y = 0; y < height / 2; ++y)
            std::swap_ranges(out.pixels.begin() + std::ptrdiff_t(y * width),
                             out.pixels.begin() + std::ptrdiff_t((y + 1) * width),
                             out.pixels.begin() + std::ptrdiff_t((height - 1 - y) * width));
    if ((descriptor & 0x10) != 0)
        for (std::size_t y = 0; y < height; ++y)
            std::reverse(out.pixels.begin() + std::ptrdiff_t(y * width),
                         out.pixels.begin() + std::ptrdiff_t((y + 1) * width));
    out.width = width;
    out.height = height;
    return true;
}

// ---- PNG ----------------------------------------------------------------

bool decodePng(std::string_view b, std::uint32_t maxSide, ImageFile& out, std::string& error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, b.data(), b.size())) return damaged(error, image.message);
    if (!sidesTaken(image.width, image.height, maxSide, error)) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    out.pixels.resize(std::size_t{image.width} * image.height);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        out.pixels.clear();
        return damaged(error, image.message);
    }
    out.width = image.width;
    out.height = image.height;
    return true;
}

// ---- JPEG ---------------------------------------------------------------

// Progressive files may hold any number of scans, each a pass over the whole
// image; real files have a dozen.
constexpr int kMaxJpegScans = 500;

struct JpegJob {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";
    std::vector<std::uint8_t> cmyk;  // one row, for CMYK files
};

[[noreturn]] void jpegError(j_common_ptr info) {
    auto* job = reinterpret_cast<JpegJob*>(info->client_data);
    (*info->err->format_message)(info, job->message);
    std::longjmp(job->jump, 1);
}

// Warnings that mean pixels are missing end the decoding; others are kept quiet.
void jpegWarning(j_common_ptr info, int level) {
    const int code = info->err->msg_code;
    if (level < 0 &&
        (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE || code == JWRN_MUST_RESYNC))
        jpegError(info);
}

void jpegProgress(j_common_ptr info) {
    auto* job = reinterpret_cast<JpegJob*>(info->client_data);
    if (job->info.input_scan_number > kMaxJpegScans) {
        std::snprintf(job->message, sizeof job->message, "more than %d scans", kMaxJpegScans);
        std::longjmp(job->jump, 1);
    }
}

// Everything this function changes between setjmp and longjmp lives in
// `job` and `out`, outside its frame, and it owns no C++ objects.
bool runJpeg(JpegJob& job, std::string_view b, std::uint32_t maxSide, ImageFile& out, bool& tooLarge) {
    if (setjmp(job.jump) != 0) return false;
    jpeg_mem_src(&job.info, reinterpret_cast<const unsigned char*>(b.data()), static_cast<unsigned long>(b.size()));
    jpeg_read_header(&job.info, TRUE);
    if (job.info.image_width < 1 || job.info.image_height < 1 || job.info.image_width > maxSide ||
        job.info.image_height > maxSide) {
        tooLarge = true;
        return false;
    }
    const bool cmyk = job.info.jpeg_color_space == JCS_CMYK || job.info.jpeg_color_space == JCS_YCCK;
    job.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&job.info);
    const std::size_t width = job.info.output_width, height = job.info.output_height;
    out.pixels.resize(width * height);
    if (cmyk) job.cmyk.resize(width * 4);
    while (job.info.output_scanline < height) {
        std::uint32_t* dst = out.pixels.data() + std::size_t{job.info.output_scanline} * width;
        JSAMPROW row = cmyk ? job.cmyk.data() : reinterpret_cast<JSAMPROW>(dst);
        if (jpeg_read_scanlines(&job.info, &row, 1) != 1) return false;
        if (cmyk)  // Adobe's inverted CMYK: each channel times the black
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t* c = job.cmyk.data() + x * 4;
                dst[x] = argb(255, c[0] * c[3] / 255u, c[1] * c[3] / 255u, c[2] * c[3] / 255u);
            }
    }
    jpeg_finish_decompress(&job.info);
    out.width = static_cast<std::uint32_t>(width);
    out.height = static_cast<std::uint32_t>(height);
    return true;
}

bool decodeJpeg(std::string_view b, std::uint32_t maxSide, ImageFile& out, std::string& error) {
    JpegJob job;
    job.info.err = jpeg_std_error(&job.errors);
    job.errors.error_exit = jpegError;
    job.errors.emit_message = jpegWarning;
    job.errors.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&job.info);
    job.info.client_data = &job;
    job.progress.progress_monitor = jpegProgress;
    job.info.progress = &job.progress;
    bool tooLarge = false;
    const bool decoded = runJpeg(job, b, maxSide, out, tooLarge);
    const std::uint32_t width = job.info.image_width, height = job.info.image_height;
    jpeg_destroy_decompress(&job.info);
    if (decoded) return true;
    out.pixels.clear();
    if (tooLarge) return sidesTaken(width, height, maxSide, error);
    return damaged(error, job.message);
}

enum class ImageForm { Unknown, Bmp, Png, Jpeg, Tga, Dds };

ImageForm formOf(std::string_view b) {
    if (b.starts_with("BM")) return ImageForm::Bmp;
    if (b.starts_with("\x89PNG\r\n\x1A\n")) return ImageForm::Png;
    if (b.starts_with("\xFF\xD8\xFF")) return ImageForm::Jpeg;
    if (DdsImage::looksLikeDds(b)) return ImageForm::Dds;
    if (plausibleTga(b)) return ImageForm::Tga;
    return ImageForm::Unknown;
}

}  // namespace

bool ImageFile::decode(std::string_view bytes, std::uint32_t maxSide, ImageFile& out, std::string& error) {
    out = ImageFile{};
    switch (formOf(bytes)) {
        case ImageForm::Bmp:
            return decodeBmp(bytes, maxSide, out, error);
        case ImageForm::Png:
            return decodePng(bytes, maxSide, out, error);
        case ImageForm::Jpeg:
            return decodeJpeg(bytes, maxSide, out, error);
        case ImageForm::Tga:
            return decodeTga(bytes, maxSide, out, error);
        case ImageForm::Dds: {
            DdsImage dds;
            if (!DdsImage::decode(bytes, maxSide, dds, error)) return false;
            out.width = dds.width;
            out.height = dds.height;
            out.levels = dds.levels;
            out.pixels = std::move(dds.pixels);
            return true;
        }
        case ImageForm::Unknown:
            break;
    }
    return fail(error, "not an image in a known form: BMP, PNG, JPEG, TGA and DDS files are taken");
}

std::uint64_t mipChainPixels(std::uint32_t width, std::uint32_t height, std::uint32_t levels) {
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < (levels > 1 ? levels : 1); ++i) {
        total += std::uint64_t{width} * height;
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    return total;
}

}  // namespace krovane::formats
