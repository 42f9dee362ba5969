// Textures from image files: the common forms decode to the right pixels,
// paths go through the resolver, and bad files fail with a reason.
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

// A 2 x 2 image, RGBA bytes: red, green / blue, half-transparent white.
constexpr unsigned char kPixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};

struct TextureFiles : ::testing::Test {
    krovane::test::TempDir dir;
    Ref<RecordingDevice> device = RecordingDevice::create();

    // The pixels the last texture was made with.
    std::vector<std::uint32_t> uploaded() const {
        const RecordedCall& call = device->calls().back();
        EXPECT_EQ(call.op, DeviceOp::CreateTexture);
        std::vector<std::uint32_t> out(call.vertices.size() / 4);
        std::memcpy(out.data(), call.vertices.data(), out.size() * 4);
        return out;
    }
};

TEST_F(TextureFiles, CommonFormsDecodeToArgbPixels) {
    std::filesystem::create_directories("textures/_def");
    ASSERT_TRUE(stbi_write_png("textures/_def/white.png", 2, 2, 4, kPixels, 8));
    ASSERT_TRUE(stbi_write_tga("textures/image.tga", 2, 2, 4, kPixels));
    ASSERT_TRUE(stbi_write_bmp("textures/image.bmp", 2, 2, 3, "\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\xFF"));
    const std::vector<std::uint32_t> expected = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF};
    for (const char* path : {"textures\\_def\\white.png", "TEXTURES\\IMAGE.TGA"}) {
        Ref<Texture> texture;
        std::string error;
        ASSERT_EQ(loadTextureFromFile(device.get(), path, &texture, &error), kOk) << path << ": " << error;
        EXPECT_EQ(texture->width(), 2u);
        EXPECT_EQ(uploaded(), expected) << path;
        texture.reset();
    }
    Ref<Texture> bmp;
    ASSERT_EQ(loadTextureFromFile(device.get(), "textures\\image.bmp", &bmp), kOk);
    EXPECT_EQ(uploaded()[3], 0xFFFFFFFFu);  // no alpha in the file: opaque
    bmp.reset();
}

TEST_F(TextureFiles, DdsFilesKeepTheirMipLevels) {
    // A 2 x 2 uncompressed DDS with its 1 x 1 level.
    std::string file(128, '\0');
    auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(file.data() + at, &v, 4); };
    std::memcpy(file.data(), "DDS ", 4);
    put(4, 124);
    put(8, 0x21007);
    put(12, 2);
    put(16, 2);
    put(28, 2);
    put(76, 32);
    put(80, 0x41);
    put(88, 32);
    put(92, 0x00FF0000);
    put(96, 0x0000FF00);
    put(100, 0x000000FF);
    put(104, 0xFF000000);
    for (std::uint32_t p : {0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u, 0xFF000005u})
        file.append(reinterpret_cast<const char*>(&p), 4);
    std::ofstream("stone.dds", std::ios::binary) << file;
    Ref<Texture> texture;
    std::string error;
    ASSERT_EQ(loadTextureFromFile(device.get(), "Stone.DDS", &texture, &error), kOk) << error;
    EXPECT_EQ(device->calls().back().args[2], 2u);  // two levels, from the file
    EXPECT_EQ(uploaded(),
              (std::vector<std::uint32_t>{0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u, 0xFF000005u}));
    texture.reset();
}

TEST_F(TextureFiles, BadFilesFailWithAReason) {
    const std::uint32_t pixel = 0;
    Ref<Texture> texture;
    ASSERT_EQ(device->CreateTexture(1, 1, &pixel, &texture), kOk);  // a failure must empty it
    device->clearCalls();
    std::string error;
    EXPECT_LT(loadTextureFromFile(device.get(), "textures\\missing.bmp", &texture, &error), 0);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(error, "cannot open the file");

    std::ofstream("junk.png", std::ios::binary) << "this is not an image at all";
    EXPECT_LT(loadTextureFromFile(device.get(), "junk.png", &texture, &error), 0);
    EXPECT_NE(error.find("not an image in a known form"), std::string::npos) << error;

    // A PNG cut short after its header: known form, damaged data.
    std::vector<unsigned char> big(64 * 64 * 4, 200);
    ASSERT_TRUE(stbi_write_png("whole.png", 64, 64, 4, big.data(), 64 * 4));
    std::ifstream whole("whole.png", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::ofstream("cut.png", std::ios::binary) << bytes.substr(0, 60);
    EXPECT_LT(loadTextureFromFile(device.get(), "cut.png", &texture, &error), 0);
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    EXPECT_TRUE(device->calls().empty());  // nothing reached the device
}

TEST_F(TextureFiles, HugeDeclaredSizesAreRefusedBeforeDecoding) {
    // A BMP header declaring 100000 x 100000 pixels, with no pixels behind it.
    unsigned char header[54] = {'B', 'M'};
    auto put32 = [&](int at, std::uint32_t v) { std::memcpy(header + at, &v, 4); };
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, 100000);
    put32(22, 100000);
    header[26] = 1;   // planes
    header[28] = 24;  // bits per pixel
    std::ofstream("huge.bmp", std::ios::binary).write(reinterpret_cast<const char*>(header), sizeof header);
    Ref<Texture> texture;
    std::string error;
    EXPECT_LT(loadTextureFromFile(device.get(), "huge.bmp", &texture, &error), 0);
    EXPECT_EQ(error, "the image is 100000 x 100000 pixels; sides of 1 to 8192 are taken");
}

}  // namespace
