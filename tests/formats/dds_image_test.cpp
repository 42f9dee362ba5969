// DDS files: the block forms decode to the right pixels, mip levels come
// from the file, and damaged or hostile files fail with a reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formats/dds_image.h"

namespace {

using krovane::formats::DdsImage;

// A DDS file with the given size, levels, pixel format and data.
std::string dds(std::uint32_t width, std::uint32_t height, std::uint32_t levels, const char* fourCc,
                const std::string& data, std::uint32_t alphaMask = 0xFF000000) {
    std::string f(128, '\0');
    auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(f.data() + at, &v, 4); };
    std::memcpy(f.data(), "DDS ", 4);
    put(4, 124);
    put(8, 0x1007 | (levels > 1 ? 0x20000 : 0));
    put(12, height);
    put(16, width);
    put(28, levels);
    put(76, 32);
    if (fourCc) {
        put(80, 0x4);
        std::memcpy(f.data() + 84, fourCc, 4);
    } else {
        put(80, 0x40 | (alphaMask ? 0x1 : 0));
        put(88, 32);
        put(92, 0x00FF0000);
        put(96, 0x0000FF00);
        put(100, 0x000000FF);
        put(104, alphaMask);
    }
    return f + data;
}

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s += static_cast<char>(v);
    return s;
}

DdsImage decode(const std::string& file) {
    DdsImage image;
    std::string error;
    EXPECT_TRUE(DdsImage::decode(file, 8192, image, error)) << error;
    return image;
}

TEST(DdsBlocks, Dxt1FourAndThreeColourModes) {
    // c0 = red (0xF800) > c1 = blue (0x001F): indices 0, 1, 2, 3 on the first row.
    DdsImage four = decode(dds(4, 4, 1, "DXT1", bytes({0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0})));
    ASSERT_EQ(four.pixels.size(), 16u);
    // Red, blue, two thirds red and one third blue, the reverse; the second row all index 0.
    EXPECT_EQ(std::vector<std::uint32_t>(four.pixels.begin(), four.pixels.begin() + 5),
              (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF0000FFu, 0xFFAA0055u, 0xFF5500AAu, 0xFFFF0000u}));
    // c0 < c1: index 2 is the middle, index 3 transparent black.
    DdsImage three = decode(dds(4, 4, 1, "DXT1", bytes({0x1F, 0x00, 0x00, 0xF8, 0xE0, 0, 0, 0})));
    EXPECT_EQ(three.pixels[2], 0xFF7F007Fu);  // the average of red and blue
    EXPECT_EQ(three.pixels[3], 0x00000000u);
    // Equal colours also mean three-colour mode.
    EXPECT_EQ(decode(dds(4, 4, 1, "DXT1", bytes({0x00, 0xF8, 0x00, 0xF8, 0xC0, 0, 0, 0}))).pixels[3], 0u);
}

TEST(DdsBlocks, Dxt3AndDxt5Alpha) {
    const std::string colour = bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});  // all white
    DdsImage dxt3 = decode(dds(4, 4, 1, "DXT3", bytes({0x08, 0, 0, 0, 0, 0, 0, 0}) + colour));
    EXPECT_EQ(dxt3.pixels[0], 0x88FFFFFFu);  // nibble 8 -> 136
    EXPECT_EQ(dxt3.pixels[1], 0x00FFFFFFu);
    // DXT5: a0 = 255, a1 = 0; pixel 0 index 1 (a1), pixel 1 index 2 (6/7 of a0).
    DdsImage dxt5 = decode(dds(4, 4, 1, "DXT5", bytes({255, 0, 0x11, 0, 0, 0, 0, 0}) + colour));
    EXPECT_EQ(dxt5.pixels[0] >> 24, 0u);
    EXPECT_EQ(dxt5.pixels[1] >> 24, 218u);
    EXPECT_EQ(dxt5.pixels[2] >> 24, 255u);  // index 0
}

TEST(DdsLevels, UncompressedWithMipmapsAndSmallBlocks) {
    std::string data;
    for (std::uint32_t p : {0x80112233u, 0xFF445566u, 0x00778899u, 0x10AABBCCu, 0xFFDDEEFFu}) {
        data.append(reinterpret_cast<const char*>(&p), 4);
    }
    DdsImage image = decode(dds(2, 2, 2, nullptr, data));
    EXPECT_EQ(image.levels, 2u);
    EXPECT_EQ(image.pixels,
              (std::vector<std::uint32_t>{0x80112233u, 0xFF445566u, 0x00778899u, 0x10AABBCCu, 0xFFDDEEFFu}));
    DdsImage opaque = decode(dds(1, 1, 1, nullptr, data.substr(0, 4), 0));  // no alpha mask: opaque
    EXPECT_EQ(opaque.pixels[0], 0xFF112233u);
    // A 2 x 2 DXT1 image still takes one whole block.
    DdsImage small = decode(dds(2, 2, 1, "DXT1", bytes({0x00, 0xF8, 0x1F, 0x00, 0x04, 0, 0, 0})));
    EXPECT_EQ(small.pixels, (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF0000FFu, 0xFFFF0000u, 0xFFFF0000u}));
}

TEST(DdsRefusals, DamagedAndHostileFilesSayWhy) {
    auto why = [](const std::string& file) {
        DdsImage image;
        std::string error;
        EXPECT_FALSE(DdsImage::decode(file, 8192, image, error));
        EXPECT_TRUE(image.pixels.empty());
        return error;
    };
    EXPECT_EQ(decode(dds(8192, 4, 1, "DXT1", std::string(16384, '\0'))).pixels.size(), 8192u * 4);  // the largest side
    std::string wrongSize = dds(4, 4, 1, "DXT1", std::string(8, '\0'));
    wrongSize[4] = 100;
    for (const auto& [file, message] : {
             std::pair<std::string, const char*>{"DDS ", "not a DDS file or its header is cut short"},
             {dds(4, 4, 1, "DXT1", "short"), "the file is cut short: its pixels are missing"},
             {dds(8193, 4, 1, "DXT1", ""), "the image is 8193 x 4 pixels; sides of 1 to 8192 are taken"},
             {dds(0, 4, 1, "DXT1", ""), "the image is 0 x 4 pixels; sides of 1 to 8192 are taken"},
             {dds(4, 4, 9, "DXT1", std::string(200, '\0')), "the file claims 9 mip levels; at most 3 fit its size"},
             {dds(4, 4, 1, "DX10", std::string(64, '\0')),
              "the compressed form \"DX10\" is not supported (DXT1, DXT3 and DXT5 are)"},
             {wrongSize, "the DDS header has wrong sizes"}})
        EXPECT_EQ(why(file), message);
}

}  // namespace
