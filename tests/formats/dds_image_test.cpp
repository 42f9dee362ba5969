// DDS files: mip levels come from the file, and damaged or hostile files
// fail with a reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formats/dds_image.h"

namespace {

using krovane::formats::DdsImage;

std::string dds(std::uint32_t width, std::uint32_t height, std::uint32_t levels, const char* fourCc,
                const std::string& data, std::uint32_t alphaMask = 0xFF000000) {
    std::string f = "DDS " + std::string(124, '\0');
    // Without a compressed form: 32-bit pixels, with alpha where there is a mask for it.
    std::vector<std::pair<std::size_t, std::uint32_t>> fields = {{4, 124}, {8, 0x1007u | (levels > 1 ? 0x20000 : 0)},
        {12, height}, {16, width}, {28, levels}, {76, 32}, {80, fourCc ? 0x4u : 0x40u | (alphaMask ? 0x1 : 0)}};
    if (!fourCc) fields.insert(fields.end(), {{88, 32}, {92, 0xFF0000}, {96, 0xFF00}, {100, 0xFF}, {104, alphaMask}});
    for (const auto& [at, v] : fields) std::memcpy(f.data() + at, &v, 4);
    return (fourCc ? f.replace(84, 4, fourCc) : f) + data;
}

std::string bytes(std::initializer_list<std::uint8_t> b) { return std::string(b.begin(), b.end()); }

DdsImage decode(const std::string& file) {
    DdsImage image;
    std::string error;
    EXPECT_TRUE(DdsImage::decode(file, 8192, image, error)) << error;
    return image;
}

// Each form's pixels are checked in image_file_test.cpp; here, what only DDS has: mip levels from the file, and
// DXT1's three-colour mode when the end points are equal.
TEST(DdsImage, MipLevelsAndEqualEndPoints) {
    std::string data;
    const std::vector<std::uint32_t> pixels = {0x80112233u, 0xFF445566u, 0x00778899u, 0x10AABBCCu, 0xFFDDEEFFu};
    for (std::uint32_t p : pixels) data.append(reinterpret_cast<const char*>(&p), 4);
    const DdsImage image = decode(dds(2, 2, 2, nullptr, data));
    EXPECT_TRUE(image.levels == 2 && image.pixels == pixels);
    EXPECT_EQ(decode(dds(4, 4, 1, "DXT1", bytes({0x00, 0xF8, 0x00, 0xF8, 0xC0, 0, 0, 0}))).pixels[3], 0u);
}

TEST(DdsImage, DamagedAndHostileFilesSayWhy) {
    auto why = [](const std::string& file) {
        DdsImage image;
        std::string error;
        EXPECT_FALSE(DdsImage::decode(file, 8192, image, error) || !image.pixels.empty());
        return error;
    };
    EXPECT_EQ(decode(dds(8192, 4, 1, "DXT1", std::string(16384, '\0'))).pixels.size(), 8192u * 4);  // the largest side
    for (const auto& [file, message] : {
             std::pair<std::string, const char*>{"DDS ", "not a DDS file or its header is cut short"},
             {dds(4, 4, 1, "DXT1", "short"), "the file is cut short: its pixels are missing"},
             {dds(8193, 4, 1, "DXT1", ""), "the image is 8193 x 4 pixels; sides of 1 to 8192 are taken"},
             {dds(0, 4, 1, "DXT1", ""), "the image is 0 x 4 pixels; sides of 1 to 8192 are taken"},
             {dds(4, 4, 4, "DXT1", std::string(200, '\0')), "the file claims 4 mip levels; at most 3 fit its size"},
             {dds(4, 4, 1, "DX10", std::string(64, '\0')),
              "the compressed form \"DX10\" is not supported (DXT1, DXT3 and DXT5 are)"},
             {dds(4, 4, 1, "DXT1", std::string(8, '\0')).replace(4, 1, "d"), "the DDS header has wrong sizes"}})
        EXPECT_EQ(why(file), message);
}

}  // namespace
