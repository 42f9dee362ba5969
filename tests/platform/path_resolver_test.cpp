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

TEST_F(PathResolverTest, BackslashesAndExactPaths) {
    EXPECT_EQ(PathResolver::resolve("fx\\vek_Phong.fx"), fs::path("fx/vek_Phong.fx"));
    EXPECT_EQ(PathResolver::resolve("textures\\_def\\white.bmp"), fs::path("textures/_def/white.bmp"));
    EXPECT_EQ(PathResolver::resolve(""), fs::path());
}

TEST_F(PathResolverTest, LetterCaseIsForgivenPerComponent) {
    EXPECT_EQ(PathResolver::resolve("TEXTURES\\stone.bmp"), fs::path("textures/Stone.BMP"));
    EXPECT_EQ(PathResolver::resolve("Textures\\_DEF\\White.Bmp"), fs::path("textures/_def/white.bmp"));
    EXPECT_EQ(PathResolver::resolve("FX/VEK_PHONG.FX"), fs::path("fx/vek_Phong.fx"));
    // Cyrillic names, written by the engine in code page 1251: "МОДЕЛИ\дом.x".
    EXPECT_EQ(PathResolver::resolve("\xCC\xCE\xC4\xC5\xCB\xC8\\\xE4\xEE\xEC.x"), fs::path("модели/Дом.x"));
    EXPECT_EQ(PathResolver::resolve(dir.path().string() + "/TEXTURES/stone.bmp"), dir.path() / "textures/Stone.BMP");
}

TEST_F(PathResolverTest, NewFilesKeepTheirNameInTheMatchedFolder) {
    EXPECT_EQ(PathResolver::resolve("Textures\\new.bmp"), fs::path("textures/new.bmp"));
    EXPECT_EQ(PathResolver::resolve("nowhere\\deeper\\file"), fs::path("nowhere/deeper/file"));
    EXPECT_EQ(PathResolver::resolve("LOG.dr"), fs::path("LOG.dr"));
}

}  // namespace
