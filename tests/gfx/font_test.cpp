// Fonts on the recording device: which face a name finds, how heights and
// widths come out, and what DrawTextA lays out and issues (one draw per
// string, the device's states put back, clipping, alignment, line breaks,
// word breaks and tabs), read from the recorded vertices.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "gfx/font.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"

namespace {

using namespace krovane::gfx;

constexpr std::uint32_t kTextFvf = kFvfXyzRhw | kFvfDiffuse | kFvfTex1;
constexpr std::uint32_t kVertexStride = 32;

// A recorded text vertex.
struct TextVertex {
    float x, y, u, v;
    std::uint32_t color;
};

// A glyph quad: its left, top, right and bottom as drawn.
struct Quad {
    float left, top, right, bottom;
};

struct Fonts : ::testing::Test {
    Ref<RecordingDevice> device = RecordingDevice::create();
    Ref<Font> font;

    void SetUp() override {
        ASSERT_EQ(CreateFontA(device.get(), -16, 0, 400, 1, false, 0, 0, 0, 0, "Verdana", &font), kOk);
        device->clearCalls();
    }

    Ref<Font> make(int height, std::uint32_t width, std::uint32_t weight, const char* face,
               std::uint32_t pitchAndFamily = 0) {
        Ref<Font> f;
        EXPECT_EQ(CreateFontA(device.get(), height, width, weight, 1, false, 0, 0, 0, pitchAndFamily, face, &f), kOk);
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

    std::vector<const RecordedCall*> draws() const {
        std::vector<const RecordedCall*> out;
        for (const RecordedCall& c : device->calls())
            if (c.op == DeviceOp::DrawPrimitiveUP) out.push_back(&c);
        return out;
    }

    // The vertices of the one draw the last text made (none when it drew nothing).
    std::vector<TextVertex> vertices() const {
        const auto d = draws();
        EXPECT_LE(d.size(), 1u);
        std::vector<TextVertex> out;
        if (d.empty()) return out;
        EXPECT_EQ(d[0]->args[2], kVertexStride);
        const std::vector<std::uint8_t>& bytes = d[0]->vertices;
        for (std::size_t at = 0; at + kVertexStride <= bytes.size(); at += kVertexStride) {
            TextVertex v{};
            std::memcpy(&v.x, &bytes[at], 4);
            std::memcpy(&v.y, &bytes[at + 4], 4);
            std::memcpy(&v.color, &bytes[at + 16], 4);
            std::memcpy(&v.u, &bytes[at + 20], 4);
            std::memcpy(&v.v, &bytes[at + 24], 4);
            out.push_back(v);
        }
        return out;
    }

    std::vector<Quad> quads() const {
        const auto v = vertices();
        std::vector<Quad> out;
        for (std::size_t i = 0; i + 6 <= v.size(); i += 6) {
            float l = v[i].x, t = v[i].y, r = v[i].x, b = v[i].y;
            for (std::size_t k = i; k < i + 6; ++k) {
                l = std::min(l, v[k].x);
                r = std::max(r, v[k].x);
                t = std::min(t, v[k].y);
                b = std::max(b, v[k].y);
            }
            out.push_back({l, t, r, b});
        }
        return out;
    }

    // The width DrawTextA measures for a single line.
    int widthOf(const char* text, std::uint32_t format = 0) {
        Rect r{0, 0, 0, 0};
        font->DrawTextA(nullptr, text, -1, &r, format | kDtCalcRect, 0);
        return r.right;
    }
};

TEST_F(Fonts, FaceNamesResolveToInstalledFilesAndMissingOnesFallBack) {
    Ref<Font> courier = make(-16, 0, 400, "Courier ");
    Ref<Font> courierTrimmed = make(-16, 0, 400, "Courier");
    Ref<Font> missing = make(-16, 0, 400, "No Such Face Anywhere");
    Ref<Font> unnamed = make(-16, 0, 400, nullptr);
    Ref<Font> bold = make(-16, 0, 700, "Verdana");
    Ref<Font> fixedPitch = make(-16, 0, 400, "No Such Face Anywhere", 0x31);
    for (const Font* f : {courier.get(), courierTrimmed.get(), missing.get(), unnamed.get(), bold.get(), fixedPitch.get()})
        ASSERT_NE(f, nullptr);
    EXPECT_EQ(courier->advance('m'), courierTrimmed->advance('m'));  // blanks around the name do not matter
    EXPECT_GT(bold->advance('m'), font->advance('m'));
    EXPECT_EQ(fixedPitch->advance('i'), fixedPitch->advance('W'));  // a fixed-pitch request gets a fixed-pitch face
    EXPECT_LT(font->advance('i'), font->advance('W'));

    EXPECT_EQ(CreateFontA(device.get(), 12, 0, 400, 1, false, 0, 0, 0, 0, "Arial", nullptr), kInvalidCall);
    Ref<Font> none = font;
    EXPECT_EQ(CreateFontA(nullptr, 12, 0, 400, 1, false, 0, 0, 0, 0, "Arial", &none), kInvalidCall);
    EXPECT_EQ(none, nullptr);
}

TEST_F(Fonts, HeightsAreCellsWhenPositiveCharactersWhenNegative) {
    Ref<Font> cell = make(20, 0, 400, "Arial");
    Ref<Font> character = make(-20, 0, 400, "Arial");
    Ref<Font> defaulted = make(0, 0, 400, "Arial");
    ASSERT_TRUE(cell && character && defaulted);
    EXPECT_EQ(cell->height(), 20);
    EXPECT_GT(character->height(), 20);  // the cell adds room above and below the em
    EXPECT_GT(character->advance('M'), cell->advance('M'));
    EXPECT_EQ(defaulted->height(), 16);
    EXPECT_GT(cell->ascent(), cell->height() / 2);
    EXPECT_LT(cell->ascent(), cell->height());

    // A width stretches glyphs to that average width.
    Ref<Font> wide = make(20, 30, 400, "Arial");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->averageCharWidth(), 30);
    EXPECT_EQ(wide->height(), 20);
    EXPECT_GT(wide->advance('n'), 2 * cell->advance('n'));

    // Italic slants: an upright stroke's image gets wider.
    const Ref<Font> upright = font;
    const auto strokeWidth = [&] {
        draw("l", -1, {0, 0, 100, 100}, 0);
        const auto q = quads();
        return q.empty() ? 0.0f : q[0].right - q[0].left;
    };
    const float plain = strokeWidth();
    ASSERT_EQ(CreateFontA(device.get(), -16, 0, 400, 1, true, 0, 0, 0, 0, "Verdana", &font), kOk);
    EXPECT_GT(strokeWidth(), plain + 1.0f);
    font = upright;

    // Absurd sizes are limited, not obeyed or crashed on.
    for (int height : {INT_MIN, INT_MAX}) {
        Ref<Font> huge = make(height, 0, 400, "Arial");
        ASSERT_NE(huge, nullptr);
        EXPECT_LE(huge->height(), 400);
        huge.reset();
    }
    Ref<Font> stretched = make(-8, 0xFFFFFFFFu, 0xFFFFFFFFu, "Arial");
    ASSERT_NE(stretched, nullptr);
    EXPECT_GE(stretched->averageCharWidth(), 100);
    stretched.reset();
}

TEST_F(Fonts, TheAtlasIsOneWhiteImageWithCoverageInAlpha) {
    Ref<Font> f = make(-16, 0, 400, "Verdana");
    ASSERT_NE(f, nullptr);
    const RecordedCall& made = device->calls().back();
    ASSERT_EQ(made.op, DeviceOp::CreateTexture);
    EXPECT_EQ(made.args[2], 1u);  // one level
    std::size_t covered = 0;
    for (std::size_t i = 0; i + 4 <= made.vertices.size(); i += 4) {
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, &made.vertices[i], 4);
        EXPECT_EQ(pixel & 0xFFFFFF, 0xFFFFFFu);
        covered += (pixel >> 24) != 0;
    }
    EXPECT_GT(covered, 1000u);
    f.reset();
}

TEST_F(Fonts, AStringIsOneDrawOfTwoTrianglesPerVisibleGlyph) {
    const int height = draw("abcdefghijKLMNOPQRST", -1, {10, 20, 600, 200}, 0, 0xFF336699);
    EXPECT_EQ(height, font->height());
    const auto d = draws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0]->args[0], static_cast<std::uint32_t>(PrimitiveType::TriangleList));
    EXPECT_EQ(d[0]->args[1], 40u);
    for (const TextVertex& v : vertices()) {
        EXPECT_EQ(v.color, 0xFF336699u);
        EXPECT_TRUE(v.u >= 0 && v.u <= 1 && v.v >= 0 && v.v <= 1);
    }
    // Glyphs run left to right from the rect's corner.
    const auto q = quads();
    EXPECT_GE(q[0].left, 9.5f);
    EXPECT_GE(q[0].top, 19.5f);
    for (std::size_t i = 1; i < q.size(); ++i) EXPECT_GT(q[i].left, q[i - 1].left);

    // Blanks and control bytes take no triangles.
    draw("ab cd\x01", -1, {0, 0, 600, 200}, 0);
    ASSERT_EQ(draws().size(), 1u);
    EXPECT_EQ(draws()[0]->args[1], 8u);
    EXPECT_EQ(draw("   ", -1, {0, 0, 600, 200}, 0), font->height());
    EXPECT_TRUE(draws().empty());
}

TEST_F(Fonts, CountLimitsTheBytesAndNegativeMeansUpToTheEnd) {
    draw("abcdef", 3, {0, 0, 600, 200}, 0);
    EXPECT_EQ(quads().size(), 3u);
    draw("abcdef", -1, {0, 0, 600, 200}, 0);
    EXPECT_EQ(quads().size(), 6u);
    draw("ab\0cd", 5, {0, 0, 600, 200}, 0);  // past a NUL when told to
    EXPECT_EQ(quads().size(), 4u);
    EXPECT_EQ(draw("abcdef", 0, {0, 0, 600, 200}, 0), 0);
    EXPECT_TRUE(draws().empty());
    EXPECT_EQ(draw(nullptr, -1, {0, 0, 600, 200}, 0), 0);
}

TEST_F(Fonts, DrawingPutsBackEveryStateItChanges) {
    Ref<Texture> other;
    const std::uint32_t pixel = 0xFF00FF00;
    ASSERT_EQ(device->CreateTexture(1, 1, &pixel, &other), kOk);
    device->SetRenderState(RenderState::FillMode, kFillWireframe);
    device->SetRenderState(RenderState::Lighting, 1);
    device->SetRenderState(RenderState::AlphaBlendEnable, 0);
    device->SetRenderState(RenderState::SrcBlend, 2);
    device->SetRenderState(RenderState::DestBlend, 1);
    device->SetRenderState(RenderState::BlendOp, 2);
    device->SetRenderState(RenderState::ZEnable, 1);
    device->SetSamplerState(0, SamplerState::MagFilter, kFilterLinear);
    device->SetSamplerState(0, SamplerState::MinFilter, kFilterAnisotropic);
    device->SetSamplerState(0, SamplerState::MipFilter, kFilterLinear);
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    device->SetTexture(0, other.get());

    constexpr RenderState kStates[] = {RenderState::FillMode, RenderState::Lighting,     RenderState::AlphaBlendEnable,
                                       RenderState::SrcBlend, RenderState::DestBlend,    RenderState::BlendOp,
                                       RenderState::ZEnable,  RenderState::ZWriteEnable, RenderState::CullMode};
    std::vector<std::uint32_t> before;
    for (RenderState s : kStates) before.push_back(device->renderState(s));
    ASSERT_GT(draw("text", -1, {0, 0, 100, 100}, 0), 0);
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(device->renderState(kStates[i]), before[i]) << static_cast<int>(kStates[i]);
    EXPECT_EQ(device->samplerState(0, SamplerState::MagFilter), kFilterLinear);
    EXPECT_EQ(device->samplerState(0, SamplerState::MinFilter), kFilterAnisotropic);
    EXPECT_EQ(device->samplerState(0, SamplerState::MipFilter), kFilterLinear);
    EXPECT_EQ(device->fvf(), kFvfXyz | kFvfNormal | kFvfTex1);
    EXPECT_EQ(device->texture(0), other.get());

    // While drawing: blended, solid, unlit, no depth test, the text's format and atlas, unfiltered.
    std::map<std::uint32_t, std::uint32_t> states;  // render state number: its value at the draw
    std::uint32_t fvf = 0, mip = 1;
    const void* texture = other.get();
    for (const RecordedCall& c : device->calls()) {
        if (c.op == DeviceOp::DrawPrimitiveUP) break;
        if (c.op == DeviceOp::SetRenderState) states[c.args[0]] = c.args[1];
        if (c.op == DeviceOp::SetFVF) fvf = c.args[0];
        if (c.op == DeviceOp::SetTexture) texture = c.object;
        if (c.op == DeviceOp::SetSamplerState && c.args[1] == 7) mip = c.args[2];
    }
    const std::map<std::uint32_t, std::uint32_t> wanted = {{8, kFillSolid}, {27, 1}, {19, 5}, {20, 6},
                                                           {171, 1},        {7, 0},  {137, 0}};
    for (const auto& [state, value] : wanted) EXPECT_EQ(states[state], value) << "render state " << state;
    EXPECT_EQ(fvf, kTextFvf);
    EXPECT_EQ(mip, 0u);
    EXPECT_NE(texture, other.get());
    EXPECT_NE(texture, nullptr);
    other.reset();

    // Outside a scene nothing is drawn and nothing changes.
    device->clearCalls();
    Rect r{0, 0, 100, 100};
    EXPECT_EQ(font->DrawTextA(nullptr, "text", -1, &r, 0, 0xFFFFFFFF), 0);
    EXPECT_TRUE(device->calls().empty());
}

TEST_F(Fonts, RightAlignmentEndsTheTextAtTheRightEdge) {
    const char* text = "Hello";
    const int width = widthOf(text);
    ASSERT_GT(width, 0);
    draw(text, -1, {10, 10, 300, 100}, 0);
    const auto left = quads();
    draw(text, -1, {10, 10, 300, 100}, kDtRight);
    const auto right = quads();
    ASSERT_EQ(left.size(), right.size());
    const float shift = static_cast<float>(300 - 10 - width);
    for (std::size_t i = 0; i < left.size(); ++i) {
        EXPECT_FLOAT_EQ(right[i].left, left[i].left + shift);
        EXPECT_FLOAT_EQ(right[i].top, left[i].top);
    }
    // The last glyph's image ends at the edge, short of it by at most its side bearing.
    EXPECT_LE(right.back().right, 300.0f);
    EXPECT_GE(right.back().right, 300.0f - 3.0f);

    // Each line on its own: the shorter line ends at the same edge.
    draw("Hello\nlo", -1, {10, 10, 300, 100}, kDtRight);
    const auto lines = quads();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_FLOAT_EQ(lines[6].right, lines[4].right);
    EXPECT_GT(lines[6].top, lines[4].top);
}

TEST_F(Fonts, ClippingCutsAtTheRectUnlessNoClip) {
    const char* text = "WWWWWWWWWW";
    draw(text, -1, {0, 0, 30, 100}, 0);
    const auto clipped = quads();
    EXPECT_LT(clipped.size(), 10u);
    EXPECT_GE(clipped.size(), 1u);
    for (const Quad& q : clipped) EXPECT_LE(q.right, 29.5f);
    // The cut glyph keeps its texels where they were: a narrower quad samples a narrower strip.
    const auto v = vertices();
    for (std::size_t i = 0; i + 6 <= v.size(); i += 6) EXPECT_LT(v[i].u, v[i + 1].u);

    draw(text, -1, {0, 0, 30, 100}, kDtNoClip);
    const auto all = quads();
    EXPECT_EQ(all.size(), 10u);
    EXPECT_GT(all.back().right, 30.0f);

    // The rect's bottom cuts too; a rect too low to see shows nothing but still measures.
    EXPECT_EQ(draw(text, -1, {0, 0, 300, 4}, 0), font->height());
    for (const Quad& q : quads()) EXPECT_LE(q.bottom, 3.5f);
    draw("ab", -1, {0, 200, 300, 100}, 0);
    EXPECT_TRUE(draws().empty());

    // The HUD's way: an empty rect at the text's corner, unclipped.
    draw(text, -1, {5, 7, 0, 0}, kDtNoClip);
    const auto hud = quads();
    ASSERT_EQ(hud.size(), 10u);
    EXPECT_GE(hud[0].left, 4.5f);
    EXPECT_GE(hud[0].top, 6.5f);

    // No rect: the top left corner, unclipped.
    device->BeginScene();
    device->clearCalls();
    EXPECT_EQ(font->DrawTextA(nullptr, text, -1, nullptr, 0, 0xFFFFFFFF), font->height());
    device->EndScene();
    EXPECT_EQ(quads().size(), 10u);
}

TEST_F(Fonts, LineBreaksStartLinesOneHeightLower) {
    const int h = font->height();
    EXPECT_EQ(draw("ab\nab\r\nab\rab", -1, {0, 0, 300, 300}, 0), 4 * h);
    const auto q = quads();
    ASSERT_EQ(q.size(), 8u);
    for (std::size_t line = 1; line < 4; ++line) {
        EXPECT_FLOAT_EQ(q[2 * line].left, q[0].left);  // each line starts at the left again
        EXPECT_FLOAT_EQ(q[2 * line].top - q[2 * (line - 1)].top, static_cast<float>(h));
    }
    EXPECT_EQ(draw("ab\n", -1, {0, 0, 300, 300}, 0), h);  // a break at the end adds no line
    EXPECT_EQ(draw("ab\n\ncd", -1, {0, 0, 300, 300}, 0), 3 * h);
    EXPECT_EQ(draw("ab\ncd", -1, {0, 0, 300, 300}, kDtSingleLine), h);
    EXPECT_EQ(quads().size(), 4u);
}

TEST_F(Fonts, WordBreakWrapsAtBlanksToTheRectWidth) {
    const int h = font->height();
    const int oneWord = widthOf("aaaa");
    const int both = widthOf("aaaa aaaa");
    const Rect narrow{10, 10, 10 + (oneWord + both) / 2, 200};
    EXPECT_EQ(draw("aaaa aaaa", -1, narrow, kDtWordBreak), 2 * h);
    const auto q = quads();
    ASSERT_EQ(q.size(), 8u);
    EXPECT_FLOAT_EQ(q[4].left, q[0].left);
    EXPECT_FLOAT_EQ(q[4].top, q[0].top + static_cast<float>(h));
    EXPECT_EQ(draw("aaaa aaaa", -1, narrow, 0), h);  // without the flag the line runs on (and is cut)

    // A word wider than the rect stays whole on its own line.
    EXPECT_EQ(draw("aaaaaaaaaaaa a", -1, {0, 0, oneWord, 200}, kDtWordBreak | kDtNoClip), 2 * h);
    EXPECT_EQ(quads().size(), 13u);

    // Measuring wraps the same way.
    Rect measured = narrow;
    EXPECT_EQ(font->DrawTextA(nullptr, "aaaa aaaa", -1, &measured, kDtWordBreak | kDtCalcRect, 0), 2 * h);
    EXPECT_EQ(measured.bottom, narrow.top + 2 * h);
    EXPECT_EQ(measured.right, narrow.left + oneWord);
}

TEST_F(Fonts, TabsGoToMultiplesOfEightAverageWidths) {
    const float stop = static_cast<float>(8 * font->averageCharWidth());
    draw("b", -1, {0, 0, 600, 100}, kDtExpandTabs);
    const float alone = quads()[0].left;
    draw("a\tb", -1, {0, 0, 600, 100}, kDtExpandTabs);
    EXPECT_FLOAT_EQ(quads()[1].left, alone + stop);
    const int run = widthOf("aaaaaaaaaaaaaaaa"), stopPixels = 8 * font->averageCharWidth();
    draw("aaaaaaaaaaaaaaaa\tb", -1, {0, 0, 600, 100}, kDtExpandTabs);
    EXPECT_FLOAT_EQ(quads().back().left - alone, static_cast<float>((run / stopPixels + 1) * stopPixels));
    EXPECT_EQ(widthOf("a\t", kDtExpandTabs), static_cast<int>(stop));
    draw("a\tb", -1, {0, 0, 600, 100}, 0);  // unexpanded, a tab takes no room
    EXPECT_LT(quads()[1].left, alone + stop);
}

TEST_F(Fonts, MeasuringDrawsNothingAndFitsTheRect) {
    Rect r{10, 20, 0, 0};
    const int h = font->DrawTextA(nullptr, "one\ntwo three", -1, &r, kDtCalcRect, 0xFFFFFFFF);
    EXPECT_EQ(h, 2 * font->height());
    EXPECT_EQ(r.bottom, 20 + h);
    EXPECT_EQ(r.right, 10 + widthOf("two three"));
    EXPECT_TRUE(draws().empty());
    Rect right{0, 0, 100, 0};
    font->DrawTextA(nullptr, "two three", -1, &right, kDtCalcRect | kDtRight, 0);
    EXPECT_EQ(right.left, 100 - widthOf("two three"));
    EXPECT_EQ(right.right, 100);
    EXPECT_EQ(font->DrawTextA(nullptr, "x", -1, nullptr, kDtCalcRect, 0), 0);
}

TEST_F(Fonts, EveryByteAndExtremeRectsDrawWithoutHarm) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (std::uint32_t format : {0u, kDtWordBreak | kDtExpandTabs, kDtRight | kDtNoClip, kDtSingleLine}) {
        EXPECT_GT(draw(all.c_str(), static_cast<int>(all.size()), {0, 0, 200, 400}, format), 0);
        for (const TextVertex& v : vertices()) EXPECT_TRUE(v.u >= 0 && v.u <= 1 && v.v >= 0 && v.v <= 1);
    }
    const std::string lines = "a b\tc\nd e f g\r\n" + all;
    for (const Rect& r : {Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, Rect{INT_MAX - 2, INT_MAX - 2, INT_MAX, INT_MAX},
                          Rect{INT_MAX, INT_MAX, INT_MIN, INT_MIN}, Rect{INT_MIN, 0, INT_MIN + 5, 50}})
        for (std::uint32_t format : {0u, kDtWordBreak | kDtExpandTabs | kDtRight, kDtNoClip | kDtWordBreak}) {
            draw(lines.c_str(), -1, r, format);
            Rect measured = r;
            EXPECT_GE(font->DrawTextA(nullptr, lines.c_str(), -1, &measured, format | kDtCalcRect, 0), font->height());
        }
}

}  // namespace
