// Textures from image files: the common forms decode to the right pixels, paths go through the resolver, DDS files
// keep their levels, and bad files fail with their reason before anything reaches the device.
#include <gtest/gtest.h>

#include <stb_image_write.h>  // writes the test images

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
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

    // Loads `path` and returns the pixels the texture was made with, after the level count it was given (0: the
    // device makes the mipmaps).
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

TEST_F(TextureFiles, CommonFormsDecodeToArgbPixelsAndDdsKeepsItsLevels) {
    // A 2 x 2 image: red, green / blue, half-transparent white.
    const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
    std::filesystem::create_directories("textures/_def");
    ASSERT_TRUE(stbi_write_png("textures/_def/white.png", 2, 2, 4, pixels, 8));
    ASSERT_TRUE(stbi_write_tga("textures/image.tga", 2, 2, 4, pixels));
    ASSERT_TRUE(stbi_write_bmp("textures/image.bmp", 2, 2, 3, "\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\xFF"));
    const std::vector<std::uint32_t> expected = {0, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF};
    EXPECT_EQ(loaded("textures\\_def\\white.png"), expected);
    EXPECT_EQ(loaded("TEXTURES\\IMAGE.TGA"), expected);
    EXPECT_EQ(loaded("textures\\image.bmp").back(), 0xFFFFFFFFu);  // no alpha in the file: opaque

    // A 2 x 2 uncompressed DDS with its 1 x 1 level.
    std::string file(128, '\0');
    std::memcpy(file.data(), "DDS ", 4);
    const std::pair<int, std::uint32_t> header[] = {{4, 124}, {8, 0x21007}, {12, 2}, {16, 2}, {28, 2}, {76, 32},
        {80, 0x41}, {88, 32}, {92, 0x00FF0000}, {96, 0x0000FF00}, {100, 0x000000FF}, {104, 0xFF000000}};
    for (const auto& [at, value] : header) std::memcpy(file.data() + at, &value, 4);
    for (std::uint32_t p : {0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u, 0xFF000005u})
        file.append(reinterpret_cast<const char*>(&p), 4);
    write("stone.dds", file);
    EXPECT_EQ(loaded("Stone.DDS"), (std::vector<std::uint32_t>{2, 0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u,
                                                                0xFF000005u}));
}

TEST_F(TextureFiles, BadFilesFailWithTheirReason) {
    // A PNG cut short after its header: known form, damaged data.
    std::vector<unsigned char> big(64 * 64 * 4, 200);
    ASSERT_TRUE(stbi_write_png("whole.png", 64, 64, 4, big.data(), 64 * 4));
    std::ifstream png("whole.png", std::ios::binary);
    write("cut.png", std::string((std::istreambuf_iterator<char>(png)), std::istreambuf_iterator<char>()).substr(0, 60));
    write("junk.png", "this is not an image at all");
    // A BMP header declaring 100000 x 100000 pixels, with no pixels behind it: refused before decoding.
    std::string bmp(54, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[26] = 1, bmp[28] = 24;  // one plane, 24 bits per pixel
    for (const auto& [at, value] : {std::pair{2, 54}, {10, 54}, {14, 40}, {18, 100000}, {22, 100000}})
        std::memcpy(bmp.data() + at, &value, 4);
    write("huge.bmp", bmp);
    const std::tuple<const char*, const char*, bool> cases[] = {  // path, error, whether it is the whole text
        {"textures\\missing.bmp", "cannot open the file", true}, {"junk.png", "not an image in a known form", false},
        {"cut.png", "damaged", false},
        {"huge.bmp", "the image is 100000 x 100000 pixels; sides of 1 to 8192 are taken", true}};
    const std::uint32_t pixel = 0;
    for (const auto& [path, wanted, whole] : cases) {
        Ref<Texture> texture;
        ASSERT_EQ(device->CreateTexture(1, 1, &pixel, &texture), kOk);
        device->clearCalls();
        std::string error;
        EXPECT_LT(loadTextureFromFile(device.get(), path, &texture, &error), 0) << path;
        EXPECT_EQ(texture, nullptr) << path;  // a failure empties the handle
        EXPECT_TRUE(whole ? error == wanted : error.find(wanted) != std::string::npos) << path << ": " << error;
        EXPECT_TRUE(device->calls().empty()) << path;  // nothing reached the device
    }
}

}  // namespace
