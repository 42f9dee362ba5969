// The path resolver: backslashes, letter case of Latin and Cyrillic names,
// and paths of files not yet created.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../temp_dir.h"
#include "platform/path_resolver.h"

namespace {

using krovane::platform::PathResolver;
namespace fs = std::filesystem;

struct PathResolverTest : ::testing::Test {
    krovane::test::TempDir dir;
    void SetUp() override {
        fs::create_directories("textures/_def");
        std::ofstream("textures/_def/white.bmp") << "x";
        std::ofstream("textures/Stone.BMP") << "x";
        fs::create_directories("fx");
        std::ofstream("fx/vek_Phong.fx") << "x";
        fs::create_directories("модели");  // a UTF-8 name on disk
        std::ofstream("модели/Дом.x") << "x";
    }
};

TEST_F(PathResolverTest, BackslashesLetterCasePerComponentAndNewFiles) {
    // Cyrillic names come in code page 1251: "МОДЕЛИ\дом.x". New files keep their name in the matched folder.
    for (const auto& [engine, disk] :
         {std::pair<std::string, fs::path>{"fx\\vek_Phong.fx", "fx/vek_Phong.fx"}, {"", {}},
          {"textures\\_def\\white.bmp", "textures/_def/white.bmp"}, {"TEXTURES\\stone.bmp", "textures/Stone.BMP"},
          {"Textures\\_DEF\\White.Bmp", "textures/_def/white.bmp"}, {"FX/VEK_PHONG.FX", "fx/vek_Phong.fx"},
          {"\xCC\xCE\xC4\xC5\xCB\xC8\\\xE4\xEE\xEC.x", "модели/Дом.x"},
          {dir.path().string() + "/TEXTURES/stone.bmp", dir.path() / "textures/Stone.BMP"},
          {"Textures\\new.bmp", "textures/new.bmp"}, {"nowhere\\deeper\\file", "nowhere/deeper/file"},
          {"LOG.dr", "LOG.dr"}})
        EXPECT_EQ(PathResolver::resolve(engine), disk) << engine;
}

}  // namespace
