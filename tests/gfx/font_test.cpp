// Fonts on the recording device: which face a name finds, heights and widths, and what DrawTextA lays out and issues
// (one draw per string, the device's states put back, clipping, alignment, line and word breaks, tabs), read from the
// recorded vertices; and the start-up cache of font choices.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "../level_files.h"
#include "../temp_dir.h"
#include "gfx/font.h"
#include "gfx/font_choice_cache.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"

namespace {

using namespace krovane::gfx;

struct Quad {  // a glyph as drawn
    float left, top, right, bottom;
};

struct Fonts : ::testing::Test {
    Ref<RecordingDevice> device = RecordingDevice::create();
    Ref<Font> font = make(-16, 0, 400, "Verdana");

    Ref<Font> make(int height, std::uint32_t width, std::uint32_t weight, const char* face, std::uint32_t pitch = 0,
                   bool italic = false) {
        Ref<Font> f;
        EXPECT_EQ(CreateFontA(device.get(), height, width, weight, 1, italic, 0, 0, 0, pitch, face, &f), kOk);
        return f;
    }
    // Draws inside a scene and returns DrawTextA's answer.
    int draw(const char* text, int count, Rect rect, std::uint32_t format, std::uint32_t color = 0xFFFFFFFF) {
        device->BeginScene();
        device->clearCalls();
        const int height = font->DrawTextA(nullptr, text, count, &rect, format, color);
        device->EndScene();
        return height;
    }
    // The floats of the last text's one draw (seven per vertex: x y z rhw colour u v), none when it drew nothing.
    std::vector<float> drawn() const {
        std::vector<float> out;
        for (const RecordedCall& c : device->calls())
            if (c.op == DeviceOp::DrawPrimitiveUP) {
                EXPECT_TRUE(out.empty() && c.args[0] == static_cast<std::uint32_t>(PrimitiveType::TriangleList) &&
                            c.args[1] * 3 * 28 == c.vertices.size() && c.args[2] == 28u);
                out = c.floats();
            }
        return out;
    }
    std::vector<Quad> quads() const {
        const auto f = drawn();
        std::vector<Quad> out;
        for (std::size_t i = 0; i + 42 <= f.size(); i += 42) {
            Quad q{f[i], f[i + 1], f[i], f[i + 1]};
            for (std::size_t k = i; k < i + 42; k += 7)
                q = {std::min(q.left, f[k]), std::min(q.top, f[k + 1]), std::max(q.right, f[k]),
                     std::max(q.bottom, f[k + 1])};
            out.push_back(q);
        }
        return out;
    }
    // The width DrawTextA measures for a single line (a font's average character width is an eighth of "a\t").
    int widthOf(const char* text, std::uint32_t format = 0, Font* f = nullptr) {
        Rect r{0, 0, 0, 0};
        (f ? f : font.get())->DrawTextA(nullptr, text, -1, &r, format | kDtCalcRect, 0);
        return r.right;
    }
};

TEST_F(Fonts, FacesWeightsPitchesAndSizes) {
    // Blanks around the name do not matter; a fixed-pitch request gets a fixed-pitch face.
    Ref<Font> courier = make(-16, 0, 400, "Courier "), fixedPitch = make(-16, 0, 400, "No Such Face Anywhere", 0x31);
    EXPECT_EQ(courier->advance('i'), make(-16, 0, 400, "Courier")->advance('i'));
    EXPECT_EQ(fixedPitch->advance('i'), fixedPitch->advance('W'));
    EXPECT_LT(font->advance('i'), font->advance('W'));
    EXPECT_GT(make(-16, 0, 700, "Verdana")->advance('m'), font->advance('m'));  // weight 700 picks the bold face
    EXPECT_NE(make(-16, 0, 400, nullptr), nullptr);
    EXPECT_EQ(CreateFontA(device.get(), 12, 0, 400, 1, false, 0, 0, 0, 0, "Arial", nullptr), kInvalidCall);
    Ref<Font> none = font;  // a failure empties the handle
    EXPECT_TRUE(CreateFontA(nullptr, 12, 0, 400, 1, false, 0, 0, 0, 0, "Arial", &none) == kInvalidCall && !none);
    // Heights are cells when positive (the cell adds room around the em), characters when negative.
    Ref<Font> cell = make(20, 0, 400, "Arial"), character = make(-20, 0, 400, "Arial");
    EXPECT_EQ(cell->height() * 100 + make(0, 0, 400, "Arial")->height(), 2016);
    EXPECT_GT(character->advance('M'), cell->advance('M'));
    EXPECT_TRUE(cell->ascent() > cell->height() / 2 && cell->ascent() < cell->height()) << cell->ascent();
    // A width stretches glyphs to that average width (tab stops are eight of them).
    Ref<Font> wide = make(20, 30, 400, "Arial");
    EXPECT_EQ(widthOf("a\t", kDtExpandTabs, wide.get()) / 8 * 100 + wide->height(), 3020);
    EXPECT_GT(wide->advance('n'), 2 * cell->advance('n'));
    // Italic slants: an upright stroke's image gets wider.
    const auto stroke = [&] { return draw("l", -1, Rect{0, 0, 100, 100}, 0), quads().at(0).right - quads().at(0).left; };
    const float upright = stroke();
    font = make(-16, 0, 400, "Verdana", 0, true);
    EXPECT_GT(stroke(), upright + 1.0f);
    // Absurd sizes are limited, not obeyed or crashed on.
    for (int height : {INT_MIN, INT_MAX}) EXPECT_LE(make(height, 0, 400, "Arial")->height(), 400);
    EXPECT_GE(widthOf("a\t", kDtExpandTabs, make(-8, 0xFFFFFFFFu, 0xFFFFFFFFu, "Arial").get()), 800);
}

TEST_F(Fonts, DrawingPutsBackEveryStateItChanges) {
    Ref<Texture> other;
    const std::uint32_t pixel = 0xFF00FF00;
    ASSERT_EQ(device->CreateTexture(1, 1, &pixel, &other), kOk);
    // clang-format off
    const std::pair<RenderState, std::uint32_t> states[] = {
        {RenderState::FillMode, kFillWireframe}, {RenderState::Lighting, 1}, {RenderState::AlphaBlendEnable, 0},
        {RenderState::SrcBlend, 2}, {RenderState::DestBlend, 1}, {RenderState::BlendOp, 2}, {RenderState::ZEnable, 1},
        {RenderState::ZWriteEnable, 1}, {RenderState::CullMode, kCullClockwise}};
    // clang-format on
    for (const auto& [state, value] : states) device->SetRenderState(state, value);
    const std::uint32_t filters[3] = {kFilterLinear, kFilterAnisotropic, kFilterLinear};  // mag, min, mip
    for (std::uint32_t i = 0; i < 3; ++i) device->SetSamplerState(0, static_cast<SamplerState>(5 + i), filters[i]);
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    device->SetTexture(0, other.get());
    ASSERT_GT(draw("text", -1, {0, 0, 100, 100}, 0), 0);
    for (const auto& [state, value] : states) EXPECT_EQ(device->renderState(state), value) << static_cast<int>(state);
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(device->samplerState(0, static_cast<SamplerState>(5 + i)), filters[i]);
    EXPECT_EQ(device->fvf(), kFvfXyz | kFvfNormal | kFvfTex1);
    EXPECT_EQ(device->texture(0), other.get());

    // While drawing: solid, unlit, blended by source alpha, no depth test, unfiltered mips, the text's format and
    // atlas.
    std::map<std::uint32_t, std::uint32_t> set;  // render states, sampler states (+1000) and the FVF (2000) at the draw
    const void* texture = other.get();
    for (std::size_t i = 0; device->calls()[i].op != DeviceOp::DrawPrimitiveUP; ++i) {
        const RecordedCall& c = device->calls()[i];
        if (c.op == DeviceOp::SetRenderState) set[c.args[0]] = c.args[1];
        if (c.op == DeviceOp::SetSamplerState) set[1000 + c.args[1]] = c.args[2];
        if (c.op == DeviceOp::SetFVF) set[2000] = c.args[0];
        texture = c.op == DeviceOp::SetTexture ? c.object : texture;
    }
    // clang-format off
    EXPECT_EQ(set, (std::map<std::uint32_t, std::uint32_t>{{8, kFillSolid}, {137, 0}, {27, 1}, {19, 5}, {20, 6},
                                                         {171, 1}, {7, 0}, {1005, kFilterPoint}, {1006, kFilterPoint},
                                                         {1007, 0}, {2000, kFvfXyzRhw | kFvfDiffuse | kFvfTex1}}));
    // clang-format on
    EXPECT_TRUE(texture != other.get() && texture != nullptr);
    // Outside a scene nothing is drawn and nothing changes.
    device->clearCalls();
    Rect r{0, 0, 100, 100};
    EXPECT_EQ(font->DrawTextA(nullptr, "text", -1, &r, 0, 0xFFFFFFFF), 0);
    EXPECT_TRUE(device->calls().empty());
}

TEST_F(Fonts, AStringIsOneDrawInItsColourAlignedLeftOrRightAndClippedAtTheRect) {
    EXPECT_EQ(draw("Hello", -1, {10, 10, 300, 100}, 0, 0xFF336699), font->height());
    const auto colours = drawn();
    for (std::size_t i = 0; i < colours.size(); i += 7)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(colours[i + 4]), 0xFF336699u);
    const auto left = quads();  // left to right from the rect's corner
    ASSERT_EQ(left.size(), 5u);
    EXPECT_TRUE(left[0].left >= 9.5f && left[0].top >= 9.5f);
    for (std::size_t i = 1; i < left.size(); ++i) EXPECT_GT(left[i].left, left[i - 1].left);
    draw("Hello", -1, {10, 10, 300, 100}, kDtRight);
    const auto right = quads();
    ASSERT_EQ(left.size(), right.size());
    for (std::size_t i = 0; i < left.size(); ++i)
        EXPECT_FLOAT_EQ(right[i].left, left[i].left + static_cast<float>(300 - 10 - widthOf("Hello")));
    draw("Hello\nlo", -1, {10, 10, 300, 100}, kDtRight);
    const auto lines = quads();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_FLOAT_EQ(lines[6].right, lines[4].right);
    EXPECT_GT(lines[6].top, lines[4].top);

    // Clipping: no glyph passes the rect's right or bottom, and texels stay one to a pixel (a cut glyph samples
    // only its part); a rect too low to see shows nothing but still measures.
    const char* text = "WWWWWWWWWW";
    // clang-format off
    const struct {
        Rect rect;
        std::uint32_t format;
        std::size_t fewest, most;
        float right, bottom;
    } clips[] = {{{0, 0, 30, 100}, 0, 1, 9, 29.5f, 100}, {{0, 0, 30, 100}, kDtNoClip, 10, 10, 1000, 100},
                 {{0, 0, 300, 4}, 0, 1, 10, 300, 3.5f}, {{0, 200, 300, 100}, 0, 0, 0, 0, 0}};
    // clang-format on
    for (const auto& c : clips) {
        EXPECT_EQ(draw(text, -1, c.rect, c.format), font->height());
        const auto q = quads();
        const auto f = drawn();
        EXPECT_TRUE(q.size() >= c.fewest && q.size() <= c.most) << q.size();
        for (std::size_t i = 0; i < q.size(); ++i) {
            EXPECT_TRUE(q[i].right <= c.right && q[i].bottom <= c.bottom) << i << " of " << q.size();
            const std::size_t k = i * 42;  // corners 0 and 1 span the top edge, corners 0 and 2 the left
            EXPECT_NEAR((f[k + 7] - f[k]) / (f[k + 12] - f[k + 5]), (f[7] - f[0]) / (f[12] - f[5]), 0.01f);
            EXPECT_NEAR((f[k + 15] - f[k + 1]) / (f[k + 20] - f[k + 6]), (f[15] - f[1]) / (f[20] - f[6]), 0.01f);
        }
    }
    device->BeginScene();  // no rect: the top left corner, unclipped
    device->clearCalls();
    EXPECT_EQ(font->DrawTextA(nullptr, text, -1, nullptr, 0, 0xFFFFFFFF), font->height());
    device->EndScene();
    EXPECT_EQ(quads().size(), 10u);
}

TEST_F(Fonts, CountsLineAndWordBreaksAndMeasuring) {
    const int h = font->height();
    EXPECT_EQ(draw("ab\nab\r\nab\rab", -1, {0, 0, 300, 300}, 0), 4 * h);
    const auto q = quads();
    ASSERT_EQ(q.size(), 8u);
    for (std::size_t line = 1; line < 4; ++line) {
        EXPECT_FLOAT_EQ(q[2 * line].left, q[0].left);  // each line starts at the left again, one height lower
        EXPECT_FLOAT_EQ(q[2 * line].top - q[2 * (line - 1)].top, static_cast<float>(h));
    }
    const int oneWord = widthOf("aaaa"), both = widthOf("aaaa aaaa");
    const Rect narrow{10, 10, 10 + (oneWord + both) / 2, 200};
    const Rect wide{0, 0, 300, 300};
    // clang-format off
    const struct {
        const char* text;
        int count;
        Rect rect;
        std::uint32_t format;
        int lines;
        std::size_t glyphs;
    } cases[] = {
        // Blanks and control bytes take no triangles; a count limits the bytes, negative is up to the end.
        {"ab cd\x01", -1, wide, 0, 1, 4}, {"   ", -1, wide, 0, 1, 0}, {"abcdef", 3, wide, 0, 1, 3},
        {"ab\0cd", 5, wide, 0, 1, 4}, {"abcdef", 0, wide, 0, 0, 0}, {nullptr, -1, wide, 0, 0, 0},
        {"ab\n", -1, wide, 0, 1, 2},  // a break at the end adds no line
        {"ab\n\ncd", -1, wide, 0, 3, 4}, {"ab\ncd", -1, wide, kDtSingleLine, 1, 4},
        {"aaaa aaaa", -1, narrow, kDtWordBreak, 2, 8}, {"aaaa aaaa", -1, narrow, kDtNoClip, 1, 8},  // no flag: one line
        {"aaaa aaaa", -1, {0, 0, both, 200}, kDtWordBreak, 1, 8},  // a line exactly as wide as the rect fits
        {"aaaa aaaa", -1, {0, 0, both - 1, 200}, kDtWordBreak, 2, 8},
        {"aaaaaaaaaaaa a", -1, {0, 0, oneWord, 200}, kDtWordBreak | kDtNoClip, 2, 13}};  // a long word stays whole
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(draw(c.text, c.count, c.rect, c.format), c.lines * h) << (c.text ? c.text : "null") << " " << c.count;
        EXPECT_EQ(quads().size(), c.glyphs) << (c.text ? c.text : "null") << " " << c.count;
    }
    // Measuring draws nothing, wraps the same way and fits the rect.
    device->clearCalls();
    Rect measured = narrow, r{10, 20, 0, 0}, right{0, 0, 100, 0};
    EXPECT_EQ(font->DrawTextA(nullptr, "aaaa aaaa", -1, &measured, kDtWordBreak | kDtCalcRect, 0), 2 * h);
    EXPECT_EQ(measured.bottom * 1000 + measured.right, (narrow.top + 2 * h) * 1000 + narrow.left + oneWord);
    EXPECT_EQ(font->DrawTextA(nullptr, "one\ntwo three", -1, &r, kDtCalcRect, 0xFFFFFFFF), 2 * h);
    EXPECT_TRUE(device->calls().empty());
    EXPECT_EQ(r.bottom * 1000 + r.right, (20 + 2 * h) * 1000 + 10 + widthOf("two three"));
    font->DrawTextA(nullptr, "two three", -1, &right, kDtCalcRect | kDtRight, 0);
    EXPECT_EQ(right.left * 1000 + right.right, (100 - widthOf("two three")) * 1000 + 100);
    EXPECT_EQ(font->DrawTextA(nullptr, "x", -1, nullptr, kDtCalcRect, 0), 0);
}

TEST_F(Fonts, TabsGoToMultiplesOfEightAverageWidths) {
    const int stop = widthOf("a\t", kDtExpandTabs), run = widthOf("aaaaaaaaaaaaaaaa");
    draw("b", -1, {0, 0, 600, 100}, 0);
    const float alone = quads()[0].left;
    // clang-format off
    const std::tuple<const char*, std::uint32_t, int> cases[] = {  // text, format, where its last glyph starts
        {"a\tb", kDtExpandTabs, stop}, {"aaaaaaaaaaaaaaaa\tb", kDtExpandTabs, (run / stop + 1) * stop},
        {"a\tb", 0, widthOf("a")}};  // unexpanded, a tab takes no room
    // clang-format on
    for (const auto& [text, format, x] : cases) {
        draw(text, -1, {0, 0, 600, 100}, format);
        EXPECT_FLOAT_EQ(quads().back().left - alone, static_cast<float>(x)) << text << " " << format;
    }
}

TEST_F(Fonts, EveryByteAndExtremeRectsDrawWithoutHarm) {
    std::string text = "a b\tc\nd e f g\r\n";
    for (int b = 1; b < 256; ++b) text.push_back(static_cast<char>(b));
    for (const Rect& r : {Rect{0, 0, 200, 400}, Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                          Rect{INT_MAX - 2, INT_MAX - 2, INT_MAX, INT_MAX}, Rect{INT_MAX, INT_MAX, INT_MIN, INT_MIN},
                          Rect{INT_MIN, 0, INT_MIN + 5, 50}})
        for (std::uint32_t format :
             {0u, kDtWordBreak | kDtExpandTabs | kDtRight, kDtNoClip | kDtWordBreak, kDtSingleLine}) {
            draw(text.c_str(), -1, r, format);
            const auto f = drawn();
            for (std::size_t i = 0; i < f.size(); i += 7)
                EXPECT_TRUE(f[i + 5] >= 0 && f[i + 5] <= 1 && f[i + 6] >= 0 && f[i + 6] <= 1);
            Rect measured = r;
            EXPECT_GE(font->DrawTextA(nullptr, text.c_str(), -1, &measured, format | kDtCalcRect, 0), font->height());
        }
}

// A cached choice comes back only from a whole file of this version, made under the same fontconfig configuration,
// while its font file is unchanged.
TEST(FontChoiceCache, ADamagedOrStaleCacheIsIgnored) {
    krovane::test::TempDir dir;
    krovane::test::writeFile("fonts/a.ttf", "a font");
    const std::string file = "cache/font-choices", request = "Verdana|700|0|0";
    FontChoiceCache(file).store(request, {(dir.path() / "fonts" / "a.ttf").string(), 2, true, false});
    FontChoice found;
    ASSERT_TRUE(FontChoiceCache(file).find(request, found));
    EXPECT_TRUE(found.file == (dir.path() / "fonts" / "a.ttf").string() && found.index == 2 && found.embolden &&
                !found.oblique);
    EXPECT_FALSE(FontChoiceCache(file).find("Arial|700|0|0", found));
    std::ostringstream read;
    read << std::ifstream(file).rdbuf();
    const std::string good = read.str(), config = "config " + FontChoiceCache::configurationStamp() + "\n";
    ASSERT_NE(good.find(config), std::string::npos);
    for (const std::string& damaged :
         {good.substr(0, good.size() - 3), "krovane font choices 1" + good.substr(good.find('\n')),
          std::string(good).replace(good.find(config), config.size(), "config 1;2\n"),
          good + "Arial|400|0|0\t/f.ttf\tzero\t0\t0\t1/2/3\n"}) {
        krovane::test::writeFile(file, damaged);
        EXPECT_FALSE(FontChoiceCache(file).find(request, found)) << damaged;
    }
    krovane::test::writeFile(file, good);
    std::ofstream("fonts/a.ttf", std::ios::app) << "+";
    EXPECT_FALSE(FontChoiceCache(file).find(request, found)) << "the font file changed";
}

// Under a configuration of its own, the choices are dropped once fontconfig would see other fonts or settings: a
// font installed into a new subfolder (as packages do), into a folder already there, or a configuration file added.
TEST(FontChoiceCache, AnythingFontconfigWouldReadAnewDropsTheChoices) {
    krovane::test::TempDir dir;
    namespace fs = std::filesystem;
    const std::string root = dir.path().string();
    krovane::test::writeFile("fonts/truetype/dejavu/a.ttf", "");
    krovane::test::writeFile("conf.d/10-a.conf", "<fontconfig/>");
    for (const char* folder : {"fonts", "fonts/truetype", "fonts/truetype/dejavu", "conf.d"})  // made long ago
        fs::last_write_time(folder, fs::last_write_time(folder) - std::chrono::hours(1));
    krovane::test::writeFile("fonts.conf", "<fontconfig><dir>" + root + "/fonts</dir><include>" + root +
                                               "/conf.d</include><cachedir>" + root + "/fc</cachedir></fontconfig>");
    const char* saved = std::getenv("FONTCONFIG_FILE");
    const std::string before = saved ? saved : "";
    setenv("FONTCONFIG_FILE", (root + "/fonts.conf").c_str(), 1);
    FcConfig* previous = FcConfigReference(nullptr);
    FcConfig* own = FcInitLoadConfigAndFonts();
    ASSERT_TRUE(own != nullptr && FcConfigSetCurrent(own));
    FcConfigDestroy(own);  // the current configuration keeps it

    const std::string request = "Verdana|400|0|0", font = root + "/fonts/truetype/dejavu/a.ttf";
    FontChoice found;
    for (const char* added : {"fonts/truetype/noto/b.ttf", "fonts/truetype/dejavu/c.ttf", "conf.d/20-b.conf"}) {
        fs::remove("choices");
        FontChoiceCache("choices").store(request, {font, 0, false, false});
        EXPECT_TRUE(FontChoiceCache("choices").find(request, found)) << added;
        krovane::test::writeFile(added, "");
        EXPECT_FALSE(FontChoiceCache("choices").find(request, found)) << added;
    }
    FcConfigSetCurrent(previous);
    FcConfigDestroy(previous);
    saved ? setenv("FONTCONFIG_FILE", before.c_str(), 1) : unsetenv("FONTCONFIG_FILE");
}

}  // namespace
