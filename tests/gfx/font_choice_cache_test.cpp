// The start-up cache of font choices: a choice comes back only from a whole
// file of this version, made under the same fontconfig configuration, while
// its font file is unchanged; and the cache folder can be turned off.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "../level_files.h"
#include "../temp_dir.h"
#include "gfx/font_choice_cache.h"
#include "platform/cache_folder.h"

namespace {

using krovane::gfx::FontChoice;
using krovane::gfx::FontChoiceCache;
using krovane::test::writeFile;

std::string readAll(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

TEST(FontChoiceCache, ADamagedOrStaleCacheIsIgnored) {
    krovane::test::TempDir dir;
    writeFile("fonts/a.ttf", "a font");
    const std::string file = "cache/font-choices", request = "Verdana|700|0|0";
    const FontChoice chosen{(dir.path() / "fonts" / "a.ttf").string(), 2, true, false};
    FontChoiceCache(file).store(request, chosen);
    FontChoice found;
    ASSERT_TRUE(FontChoiceCache(file).find(request, found));
    EXPECT_EQ(found.file, chosen.file);
    EXPECT_EQ(found.index, 2);
    EXPECT_TRUE(found.embolden);
    EXPECT_FALSE(found.oblique);
    EXPECT_FALSE(FontChoiceCache(file).find("Arial|700|0|0", found));

    const std::string good = readAll(file);
    const std::string config = "config " + FontChoiceCache::configurationStamp() + "\n";
    ASSERT_NE(good.find(config), std::string::npos);
    const struct {
        const char* what;
        std::string text;
    } damaged[] = {
        {"cut short", good.substr(0, good.size() - 3)},
        {"another version", "krovane font choices 2" + good.substr(good.find('\n'))},
        {"another configuration", std::string(good).replace(good.find(config), config.size(), "config 1;2\n")},
        {"a garbled line", good + "Arial|400|0|0\t/f.ttf\tzero\t0\t0\t1/2/3\n"},
    };
    for (const auto& d : damaged) {
        writeFile(file, d.text);
        EXPECT_FALSE(FontChoiceCache(file).find(request, found)) << d.what;
    }
    writeFile(file, good);
    std::ofstream("fonts/a.ttf", std::ios::app) << "+";
    EXPECT_FALSE(FontChoiceCache(file).find(request, found)) << "the font file changed";

    // The folder, and the switch that turns the cache off.
    const char* saved = std::getenv("XDG_CACHE_HOME");
    const std::string before = saved ? saved : "";
    setenv("XDG_CACHE_HOME", "/var/cache/someone", 1);
    unsetenv("KROVANE_NO_CACHE");
    EXPECT_EQ(krovane::platform::cacheFolder(), "/var/cache/someone/krovane");
    setenv("KROVANE_NO_CACHE", "1", 1);
    EXPECT_TRUE(krovane::platform::cacheFolder().empty());
    if (saved)
        setenv("XDG_CACHE_HOME", before.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
}

}  // namespace
