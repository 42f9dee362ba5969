// What the program takes from the configuration before the window opens, and
// the frame rate of its main loop.
#include <gtest/gtest.h>

#include <string>

#include "app/frame_rate_counter.h"
#include "app/krovane.h"
#include "app/screen_size.h"
#include "params/korvane_c_ini_reader.h"
#include "platform/clock.h"

namespace {

DynamicRow config(const std::string& text) {
    DynamicRow tree;
    const unsigned top = tree.AddToId(0, true, Korvane_cIniReader::kRootName.view());
    Korvane_cIniReader::readSettings(text, tree, top);
    return tree;
}

TEST(ScreenSizeRules, FromTheScreenSetting) {
    auto size = [](const char* text) {
        const ScreenSize s = ScreenSize::fromConfig(config(text));
        return std::to_string(s.width) + "x" + std::to_string(s.height);
    };
    EXPECT_EQ(size(""), "640x480");
    EXPECT_EQ(size("SCREEN = 1024, 768"), "1024x768");
    EXPECT_EQ(size("SCREEN = 800"), "800x100");
    EXPECT_EQ(size("SCREEN = 800, 600, 5"), "800x600");
    EXPECT_EQ(size("SCREEN ="), "640x480");
    EXPECT_EQ(size("SCREEN = wide, tall"), "0x0");  // taken as they are
}

TEST(RenderSettingsRules, DefaultsAndAcceptedValues) {
    Krovane engine;
    engine.ReadRenderSettings(nullptr);
    EXPECT_EQ(engine.backColor, 0xFF6482AAu);
    EXPECT_EQ(engine.multisampleType, 0u);
    EXPECT_EQ(engine.fillMode, 3u);
    EXPECT_EQ(engine.multisampleAntialias, 0u);

    const DynamicRow all =
        config("BACK_RENDERER_COLOR = 255, 0, 0\nMULTISAMPLE_TYPE = 4\nMULTISAMPLEANTIALIAS = 1\nFILLMODE = 2\n");
    engine.ReadRenderSettings(&all);
    EXPECT_EQ(engine.backColor, 0x01FF0000u);
    EXPECT_EQ(engine.multisampleType, 4u);
    EXPECT_EQ(engine.multisampleAntialias, 1u);
    EXPECT_EQ(engine.fillMode, 2u);
}

TEST(RenderSettingsRules, ColourBytesAndIgnoredValues) {
    Krovane engine;
    auto colour = [&](const char* text) {
        const DynamicRow c = config(text);
        engine.ReadRenderSettings(&c);
        return engine.backColor;
    };
    EXPECT_EQ(colour("BACK_RENDERER_COLOR = 300, 0, 0"), 0x012C0000u);  // low 8 bits
    EXPECT_EQ(colour("BACK_RENDERER_COLOR = 1, 2, 3"), 0x01010203u);
    EXPECT_EQ(colour("BACK_RENDERER_COLOR = -1, 0, 0"), 0x01FF0000u);
    EXPECT_EQ(colour("BACK_RENDERER_COLOR = 1, 2, 3, 4"), 0xFF6482AAu);  // wrong count: default
    EXPECT_EQ(colour("BACK_RENDERER_COLOR = 1, 2"), 0xFF6482AAu);

    for (const char* ignored : {"FILLMODE = 0", "FILLMODE = 4", "FILLMODE = 1, 2", "MULTISAMPLEANTIALIAS = 2"}) {
        const DynamicRow c = config(ignored);
        engine.ReadRenderSettings(&c);
        EXPECT_EQ(engine.fillMode, 3u) << ignored;
        EXPECT_EQ(engine.multisampleAntialias, 0u) << ignored;
    }
    const DynamicRow big = config("MULTISAMPLE_TYPE = 65537");
    engine.ReadRenderSettings(&big);
    EXPECT_EQ(engine.multisampleType, 1u);  // the low 16 bits, unchecked: device creation judges it
}

struct FrameRate : ::testing::Test {
    void TearDown() override { krovane::platform::Clock::useRealTime(); }
};

TEST_F(FrameRate, RefreshedAfterASecondByWholeSeconds) {
    using krovane::platform::Clock;
    Clock::setManualTicks(10);
    FrameRateCounter rate;
    rate.Reset();
    for (int i = 0; i < 150; ++i) rate.countFrame();
    Clock::advanceTicks(1000);
    rate.update();
    EXPECT_EQ(rate.shown(), 0u);  // not more than 1000 ms yet
    Clock::advanceTicks(999);     // 1999 ms
    rate.update();
    EXPECT_EQ(rate.shown(), 150u);
    for (int i = 0; i < 90; ++i) rate.countFrame();
    Clock::advanceTicks(3001);
    rate.update();
    EXPECT_EQ(rate.shown(), 30u);
}

}  // namespace
