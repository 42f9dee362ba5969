// The engine's start-up step that reads ini.txt: the settings, and their copy beside the level when its folder is
// there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../params/tree_text.h"
#include "../temp_dir.h"
#include "app/krovane.h"

namespace {

TEST(IniParameters, LoadIniParametersSavesTheCopyWhenItsFolderExists) {
    krovane::test::TempDir dir;
    // "параметры инициализации" in code page 1251: the root every setting hangs under.
    const std::string root =
        "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8";
    std::ofstream("ini.txt") << "SCREEN = 800, 600\n";
    EXPECT_EQ(krovane::test::shape(Krovane::LoadIniParameters("ini.txt")), root + "{SCREEN{800|600}}");
    EXPECT_FALSE(std::filesystem::exists("paramLoom2.0"));  // no folder: no copy, no complaint
    std::filesystem::create_directory("paramLoom2.0");
    Krovane::LoadIniParameters("ini.txt");
    DynamicRow copy;
    ASSERT_TRUE(copy.iLoadFromFile(Korvane_string("paramLoom2.0\\loaded_parameters")));
    EXPECT_EQ(krovane::test::shape(copy), root + "{SCREEN{800|600}}");
}

}  // namespace
