// The console's boxes on the recording device: the log lines drawn at their
// rows in their colours (compared with the same text drawn by the same font),
// focus by clicking, moving by dragging, the thumb and its scrolling, and
// what a frame of the console issues.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../fake_input.h"
#include "../level_files.h"
#include "../temp_dir.h"
#include "console/krovane_console.h"
#include "gfx/font.h"
#include "gfx/recording_device.h"
#include "platform/clock.h"
#include "platform/virtual_keys.h"

namespace {

using namespace krovane::gfx;
using krovane::platform::Clock;

constexpr std::uint32_t kFontStride = 32;  // a glyph vertex
constexpr std::uint32_t kQuadStride = 20;

bool isDraw(const RecordedCall& c, std::uint32_t stride) {
    return c.op == DeviceOp::DrawPrimitiveUP && c.args[2] == stride;
}

struct ConsoleBoxes : ::testing::Test {
    krovane::test::TempDir dir;
    Ref<RecordingDevice> device;
    Device* holder = nullptr;  // what each draw is given
    std::unique_ptr<Krovane_Console> console;

    void SetUp() override {
        Clock::setManualTicks(0);
        krovane::test::writeBmp("textures/_def/yellow.bmp", 0xFFFF00);
        device = RecordingDevice::create();
        holder = device.get();
        console = std::make_unique<Krovane_Console>();
        console->setVisible(true);
    }
    void TearDown() override {
        console.reset();
        device.reset();
        Clock::useRealTime();
    }

    Console_LogView& view() { return console->logView(); }
    // The calls of drawing one box, or the whole console.
    template <typename Draw>
    std::vector<RecordedCall> record(Draw draw) {
        device->clearCalls();
        device->BeginScene();
        draw();
        device->EndScene();
        return device->calls();
    }
    // The glyph vertices of the log lines one draw of the log view issues
    // (its first text is the caption).
    std::vector<std::vector<std::uint8_t>> drawnLines(Console_LogView& v) {
        std::vector<std::vector<std::uint8_t>> out;
        for (const RecordedCall& c : record([&] { v.Draw(holder); }))
            if (isDraw(c, kFontStride)) out.push_back(c.vertices);
        EXPECT_FALSE(out.empty());
        if (!out.empty()) out.erase(out.begin());
        return out;
    }
    // The same text drawn directly with the log view's font.
    std::vector<std::uint8_t> reference(Console_LogView& v, const std::string& text, std::int64_t row,
                                        std::uint32_t color) {
        const std::int32_t top = v.y + static_cast<std::int32_t>(row) * 10;
        Rect rect{v.x + 12, top, v.x + 12 + v.w - 10, top + v.h - 20};
        for (const RecordedCall& c :
             record([&] { v.textFont->DrawTextA(nullptr, text.c_str(), -1, &rect, kDtNoClip, color); }))
            if (isDraw(c, kFontStride)) return c.vertices;
        return {};
    }
    std::string lineText(unsigned number) { return std::string(console->log().tree().text(console->log().lineIds()[number - 1])); }
    // Expects lines first..last (numbered from 1) of a log of n lines, in the text colour.
    void expectLines(std::int64_t first, std::int64_t last, std::int64_t n) {
        const auto drawn = drawnLines(view());
        ASSERT_EQ(drawn.size(), static_cast<std::size_t>(last - first + 1));
        for (std::int64_t e = first; e <= last; ++e)
            EXPECT_EQ(drawn[static_cast<std::size_t>(e - first)],
                      reference(view(), lineText(static_cast<unsigned>(e)), view().shown - n + e, 0xFFFFFFFF))
                << "line " << e;
    }
    void printLines(unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            std::string text = "line " + std::to_string(console->log().lineIds().size() + 1);
            console->Print(text.c_str(), MessageType::Text);
        }
    }
    void click(std::int32_t x, std::int32_t y) {
        console->MouseEvent(Console_Box::kMousePress, x, y);
        console->MouseEvent(Console_Box::kMouseRelease, x, y);
    }
};

TEST_F(ConsoleBoxes, FiveLinesAreDrawnAtTheirRowsInTheirTypesColours) {
    console->Print("a text", MessageType::Text);
    console->Print("an error", MessageType::Error);
    console->Print("a comment", MessageType::Comment);
    console->Print("a system line", MessageType::System);
    const auto drawn = drawnLines(view());
    ASSERT_EQ(drawn.size(), 5u);
    const std::uint32_t colors[] = {0xFF0060A2, 0xFFFFFFFF, 0xFFED5D34, 0xFFFEF236, 0xFF0060A2};  // the header first
    for (unsigned e = 1; e <= 5; ++e)
        EXPECT_EQ(drawn[e - 1], reference(view(), lineText(e), 12 - 5 + e, colors[e - 1])) << "line " << e;
    // The newest at y + 120.
    EXPECT_EQ(drawn[4], reference(view(), lineText(5), 12, 0xFF0060A2));
}

TEST_F(ConsoleBoxes, ALineWithoutTypeIsSkippedAndTheOthersKeepTheirRows) {
    console->Print("a", MessageType::Text);
    console->Print("b", static_cast<MessageType>(7));
    console->Print("c", MessageType::Text);
    const auto drawn = drawnLines(view());
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[1], reference(view(), lineText(2), 12 - 4 + 2, 0xFFFFFFFF));
    EXPECT_EQ(drawn[2], reference(view(), lineText(4), 12 - 4 + 4, 0xFFFFFFFF));
}

TEST_F(ConsoleBoxes, ClicksFocusTheBoxesInTheirOrder) {
    click(700, 208);  // the clock box takes it; the input box never sees it
    EXPECT_TRUE(console->clockBox().focused);
    EXPECT_TRUE(console->inputBox().focused);
    EXPECT_FALSE(view().focused);
    EXPECT_EQ(console->clockBox().textColor, 0xFFFFFFFFu);

    click(100, 100);  // the log view: the others lose the focus
    EXPECT_TRUE(view().focused);
    EXPECT_FALSE(console->clockBox().focused);
    EXPECT_FALSE(console->inputBox().focused);

    click(400, 400);  // empty screen
    EXPECT_FALSE(view().focused);
    EXPECT_FALSE(console->clockBox().focused);
    EXPECT_FALSE(console->inputBox().focused);
    EXPECT_EQ(console->inputBox().textColor, 0xFFC8C8F0u);
    EXPECT_EQ(view().textColor, 0xFFC8C8F0u);

    krovane::test::FakeInput input;  // typing goes nowhere now
    input.hold({krovane::platform::kVkA});
    console->ShiftPacingMarks(100000);
    console->UpdateInput(input);
    EXPECT_EQ(console->inputBox().text, "");

    click(100, 208);
    EXPECT_TRUE(console->inputBox().focused);
    console->setVisible(false);  // a hidden console ignores the mouse
    click(400, 400);
    EXPECT_TRUE(console->inputBox().focused);
}

TEST_F(ConsoleBoxes, DraggingMovesABoxByExactlyTheMouseOffset) {
    Console_InputBox& box = console->inputBox();
    console->MouseEvent(Console_Box::kMousePress, 20, 205);
    console->MouseEvent(Console_Box::kMouseMove, 70, 215);
    // While the button is held the outline follows the mouse.
    std::vector<std::vector<float>> lines;
    for (const RecordedCall& c : record([&] { box.Draw(holder); }))
        if (isDraw(c, kLineVertexStride)) lines.push_back(c.floats());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_FLOAT_EQ(lines[0][0], 8 + 50);  // top edge from (x - 1, y - 1), moved
    EXPECT_FLOAT_EQ(lines[0][1], 199 + 10);
    EXPECT_FLOAT_EQ(lines[0][7], 8 + 50 + 217);
    EXPECT_EQ(box.x, 9);

    console->MouseEvent(Console_Box::kMouseRelease, 120, 205);
    EXPECT_EQ(box.x, 109);
    EXPECT_EQ(box.y, 200);
    EXPECT_FALSE(box.dragging);
    EXPECT_FLOAT_EQ(box.quad[1].x, 109);  // rebuilt at the new place
    EXPECT_FLOAT_EQ(box.quad[2].x, 109 + 215);
    EXPECT_FLOAT_EQ(box.quad[1].y, 200);

    // The log view carries its thumb along.
    console->MouseEvent(Console_Box::kMousePress, 100, 100);
    console->MouseEvent(Console_Box::kMouseRelease, 90, 130);
    EXPECT_EQ(view().x, -1);
    EXPECT_EQ(view().y, 60);
    EXPECT_EQ(view().thumbX, 721);
    EXPECT_EQ(view().thumbY, 202);
    EXPECT_FLOAT_EQ(view().thumbQuad[1].y, 196);
}

TEST_F(ConsoleBoxes, AGrabEightPixelsOffTheThumbDoesNotScroll) {
    printLines(99);
    console->MouseEvent(Console_Box::kMousePress, 732, 164);
    EXPECT_TRUE(view().thumbGrab);
    EXPECT_FALSE(view().dragging);
    console->MouseEvent(Console_Box::kMouseRelease, 732, 111);
    EXPECT_EQ(view().thumbY, 172);
    EXPECT_EQ(view().shown, 12);
    EXPECT_EQ(view().scroll, 0);
    EXPECT_FALSE(view().thumbGrab);  // the release ends the grab all the same
}

TEST_F(ConsoleBoxes, DroppingTheThumbHalfWayShowsTheMiddleOfAHundredLines) {
    printLines(99);
    console->MouseEvent(Console_Box::kMousePress, 732, 170);
    console->MouseEvent(Console_Box::kMouseMove, 732, 120);
    // The grabbed thumb's outline follows the mouse down the column.
    std::vector<std::vector<float>> lines;
    for (const RecordedCall& c : record([&] { view().Draw(holder); }))
        if (isDraw(c, kLineVertexStride)) lines.push_back(c.floats());
    ASSERT_EQ(lines.size(), 4u + 6u);  // the focused outline, then the grab
    EXPECT_FLOAT_EQ(lines[6][0], 739 - 13);
    EXPECT_FLOAT_EQ(lines[6][1], 114);

    console->MouseEvent(Console_Box::kMouseRelease, 732, 111);  // the centre 75 pixels above the bottom
    EXPECT_EQ(view().thumbY, 105);
    EXPECT_EQ(view().shown, 60);
    EXPECT_EQ(view().scroll, 47);
    EXPECT_FLOAT_EQ(view().thumbQuad[1].y, 99);
    expectLines(40, 53, 100);
}

TEST_F(ConsoleBoxes, LogsPast32767LinesScrollToTheRightLines) {
    printLines(69999);
    console->MouseEvent(Console_Box::kMousePress, 732, 172);
    console->MouseEvent(Console_Box::kMouseRelease, 732, 111);
    EXPECT_EQ(view().shown, 35010);
    EXPECT_EQ(view().scroll, 34997);
    expectLines(34990, 35003, 70000);
}

TEST_F(ConsoleBoxes, AnEmptyLogScrollsToNothing) {
    DynamicRow log;
    log.AddToId(0, true, "LOG");
    std::vector<unsigned> ids;
    Console_LogView empty(&log, &ids);
    empty.Rebuild();
    empty.HandleMouse(Console_Box::kMousePress, 732, 172);
    empty.HandleMouse(Console_Box::kMouseRelease, 732, 111);
    EXPECT_EQ(empty.shown, 10);
    EXPECT_EQ(empty.scroll, -3);
    EXPECT_TRUE(drawnLines(empty).empty());
}

TEST_F(ConsoleBoxes, AFrameDrawsTheThreeBoxesSolidAndTicksTheClock) {
    console->setVisible(false);
    EXPECT_EQ(record([&] { console->Draw(holder); }).size(), 2u);  // the scene's begin and end only

    console->setVisible(true);
    Clock::setManualTicks(61234);
    const auto calls = record([&] { console->Draw(holder); });
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1].op, DeviceOp::SetRenderState);
    EXPECT_EQ(calls[1].args[0], static_cast<std::uint32_t>(RenderState::FillMode));
    EXPECT_EQ(calls[1].args[1], kFillSolid);
    std::vector<std::uint32_t> quadColors;
    for (const RecordedCall& c : calls)
        if (isDraw(c, kQuadStride))
            quadColors.push_back(c.vertices[16] | c.vertices[17] << 8 | c.vertices[18] << 16 |
                                 static_cast<std::uint32_t>(c.vertices[19]) << 24);
    EXPECT_EQ(quadColors, (std::vector<std::uint32_t>{0xFF333333, 0xFF191937, 0xFF303030, 0xFF333333}));
    EXPECT_EQ(console->clockBox().text, "[61:234] ");

    // The focused input box's outline is drawn in its texture, then the stage is cleared.
    const Texture* yellow = console->inputBox().texture.get();
    ASSERT_NE(yellow, nullptr);
    std::size_t at = 0;
    while (at < calls.size() && !(calls[at].op == DeviceOp::SetTexture && calls[at].object == yellow)) ++at;
    ASSERT_LT(at + 5, calls.size());
    for (std::size_t i = at + 1; i <= at + 4; ++i) EXPECT_TRUE(isDraw(calls[i], kLineVertexStride));
    EXPECT_EQ(calls[at + 5].op, DeviceOp::SetTexture);
    EXPECT_EQ(calls[at + 5].object, nullptr);
}

TEST_F(ConsoleBoxes, MouseMovesRecolourButMakeNoNewResources) {
    Console_ClockBox& clock = console->clockBox();
    record([&] { console->Draw(holder); });  // the first frame makes the fonts and the texture
    const Font* font = clock.textFont.get();
    ASSERT_NE(font, nullptr);
    device->clearCalls();
    for (int i = 0; i < 50; ++i) {
        console->MouseEvent(Console_Box::kMouseMove, 700, 208);
        device->BeginScene();
        console->Draw(holder);
        device->EndScene();
    }
    for (const RecordedCall& c : device->calls()) {
        EXPECT_NE(c.op, DeviceOp::CreateTexture);
        EXPECT_NE(c.op, DeviceOp::CreateVertexBuffer);
    }
    EXPECT_EQ(clock.textFont.get(), font);
    EXPECT_EQ(clock.backColor, 0xFF5B5B5Bu);  // hovered
    EXPECT_EQ(clock.quad[0].color, 0xFF5B5B5Bu);
    console->MouseEvent(Console_Box::kMouseMove, 10, 10);
    EXPECT_EQ(clock.quad[0].color, 0xFF151515u);
    // A focused box takes the plain background at its next rebuild only.
    EXPECT_EQ(console->inputBox().backColor, 0xFF333333u);
    EXPECT_EQ(console->inputBox().quad[0].color, 0xFF303030u);
}

TEST_F(ConsoleBoxes, WithoutADeviceNothingIsDrawnAndNothingFails) {
    holder = nullptr;
    console->Print("x", MessageType::Error);
    click(20, 205);
    EXPECT_EQ(record([&] { console->Draw(holder); }).size(), 2u);
    holder = device.get();  // the device is back: the boxes make their fonts again and draw
    EXPECT_GT(record([&] { console->Draw(holder); }).size(), 10u);
}

}  // namespace
