// Textures from image files: paths go through the resolver, PNG decodes to ARGB pixels, DDS files keep their levels,
// and bad files fail with their reason before anything reaches the device.
#include <gtest/gtest.h>

#include <stb_image_write.h>  // writes the test images

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../temp_dir.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"

namespace {

using namespace krovane::gfx;

struct TextureFiles : ::testing::Test {
    krovane::test::TempDir dir;
    Ref<RecordingDevice> device = RecordingDevice::create();

    // Loads `path` and returns the level count the texture was made with (0: the device makes the mipmaps), then
    // its pixels.
    std::vector<std::uint32_t> loaded(const char* path) {
        Ref<Texture> texture;
        std::string error;
        EXPECT_EQ(loadTextureFromFile(device.get(), path, &texture, &error), kOk) << path << ": " << error;
        const RecordedCall& call = device->calls().back();
        std::vector<std::uint32_t> out(1 + call.vertices.size() / 4, call.args[2]);
        std::memcpy(out.data() + 1, call.vertices.data(), call.vertices.size());
        return out;
    }
    void write(const char* path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
};

TEST_F(TextureFiles, PngDecodesToArgbPixelsAndDdsKeepsItsLevels) {
    // A 2 x 2 image: red, green / blue, half-transparent white.
    const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
    std::filesystem::create_directories("textures/_def");
    ASSERT_TRUE(stbi_write_png("textures/_def/white.png", 2, 2, 4, pixels, 8));
    EXPECT_EQ(loaded("textures\\_def\\White.png"),
              (std::vector<std::uint32_t>{0, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF}));
    // A 2 x 2 DDS of 32-bit pixels with its 1 x 1 level: "DDS ", header and pixel format sizes, flags, sides, levels.
    const std::uint32_t dds[37] = {
        0x20534444, 124, 0x21007, 2, 2, 0, 0,           2,           0,           0,           0,          0,      0,
        0,          0,   0,       0, 0, 0, 32,          0x41,        0,           32,          0xFF0000,   0xFF00, 0xFF,
        0xFF000000, 0,   0,       0, 0, 0, 0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u, 0xFF000005u};
    write("stone.dds", std::string(reinterpret_cast<const char*>(dds), sizeof dds));
    EXPECT_EQ(loaded("Stone.DDS"),
              (std::vector<std::uint32_t>{2, 0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u, 0xFF000005u}));
}

TEST_F(TextureFiles, BadFilesFailWithTheirReason) {
    write("junk.png", "this is not an image at all");
    // A file that is not there, and one the decoder refuses (the decoder's reasons: its own tests).
    const std::pair<const char*, const char*> cases[] = {
        {"textures\\missing.bmp", "cannot open the file"},
        {"junk.png", "not an image in a known form: BMP, PNG, JPEG, TGA and DDS files are taken"}};
    const std::uint32_t pixel = 0;
    for (const auto& [path, wanted] : cases) {
        Ref<Texture> texture;
        ASSERT_EQ(device->CreateTexture(1, 1, &pixel, &texture), kOk);
        device->clearCalls();
        std::string error;
        EXPECT_LT(loadTextureFromFile(device.get(), path, &texture, &error), 0) << path;
        EXPECT_EQ(texture, nullptr) << path;  // a failure empties the handle
        EXPECT_EQ(error, wanted) << path;
        EXPECT_TRUE(device->calls().empty()) << path;  // nothing reached the device
    }
}

}  // namespace
