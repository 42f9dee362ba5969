// The console: its log (stamps, types, cutting, saving), its typing (the key layout, editing, Enter, paste, pacing),
// and its boxes on the recording device: log lines at their rows in their colours, focus, dragging, the thumb, a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "../fake_input.h"
#include "../level_files.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "console/krovane_console.h"
#include "gfx/font.h"
#include "gfx/recording_device.h"
#include "log/line_queue.h"
#include "params/tree_text.h"
#include "platform/clock.h"
#include "platform/code_page_1251.h"
#include "platform/virtual_keys.h"

namespace {

using namespace krovane::platform;
using namespace krovane::gfx;
using Line = krovane::test::LoggedLine;
using Keys = std::vector<std::uint8_t>;
using Vertices = std::vector<std::uint8_t>;

constexpr const char* kHeader = "[Currient date: 6-12-2026 , time: 4-5-9 (GMT+0)]";

// The lines Enter hands over, one after another.
struct Queued : krovane::log::LineQueue {
    std::string lines;
    void queueLine(const Korvane_string& line) override { lines += line.view(); }
};

// A shown console started at tick 1000 on 6 December 2026, 04:05:09 UTC, in a fresh folder.
struct Console : ::testing::Test {
    krovane::test::TempDir dir;
    krovane::test::FakeInput input;
    Queued pending;
    std::unique_ptr<Krovane_Console> console;

    void SetUp() override {
        Clock::setManualTicks(1000);
        Clock::setManualUtc({2026, 12, 6, 4, 5, 9});
        std::ofstream(Krovane_Console::kCommandBaseFile) << "cam_mngr { camera.next camera.set }\n";
        console = std::make_unique<Krovane_Console>();
        console->setCommandQueue(&pending);
        console->setVisible(true);
    }
    void TearDown() override { Clock::useRealTime(); }
    std::vector<Line> lines() const { return krovane::test::loggedLines(console->log()); }
    void printAt(std::uint32_t msSinceStart, const std::string& text, MessageType type) {
        Clock::setManualTicks(1000 + msSinceStart);
        console->Print(text.c_str(), type);
    }
    Korvane_string& text() { return console->inputBox().text; }
    // A key press of `held` (the main loop shifts the marks) and the frame after it.
    void press(const Keys& held) {
        input.hold(held);
        console->keyPressed();
        console->UpdateInput(input);
    }
    // A frame `ms` later, with no key press between.
    void frameAfter(std::uint32_t ms) {
        Clock::advanceTicks(ms);
        console->UpdateInput(input);
    }
};

TEST_F(Console, StartsHiddenWithTheHeaderAndTheCommandBaseThenStampsAndTypesLines) {
    Krovane_Console fresh;
    EXPECT_TRUE(!fresh.visible() && fresh.commandBase().iLookId("camera.next"));
    EXPECT_EQ(krovane::test::shape(fresh.log().tree()), "LOG{" + std::string(kHeader) + "{_SYSTEM_}}");

    for (const auto& [ms, text, type] : std::vector<std::tuple<std::uint32_t, const char*, int>>{
             {5, "a", 0}, {0, "b", 1}, {125999, "c", 2}, {12345, "abc", 3}, {3250, "", 7}})
        printAt(ms, text, static_cast<MessageType>(type));
    EXPECT_EQ(lines(), (std::vector<Line>{{"[0:005] a", "_TEXT_"},
                                          {"[0:000] b", "_ERROR_"},
                                          {"[125:999] c", "_COMMENT_"},
                                          {"[12:345] abc", "_SYSTEM_"},
                                          {"[3:250] ", ""}}));
}

// "[1:000] " is 8 characters, so a text of n characters makes a line of n + 8.
TEST_F(Console, LongLinesAreCutWithAThreeBlankIndentAndNothingLost) {
    const std::vector<std::pair<std::size_t, std::vector<std::size_t>>> cases = {
        {84, {84}}, {85, {85}}, {86, {86}}, {87, {86, 4}}, {171, {86, 88}}, {172, {86, 88, 4}}};
    for (const auto& [length, sizes] : cases) {
        Clock::setManualTicks(1000);
        console = std::make_unique<Krovane_Console>();
        std::string text;
        for (std::size_t i = 0; i + 8 < length; ++i) text += static_cast<char>('a' + i % 26);
        printAt(1000, text, MessageType::Error);
        std::vector<std::size_t> got;
        std::string joined;
        for (const Line& l : lines()) {
            EXPECT_EQ(l.type, "_ERROR_");
            EXPECT_TRUE(joined.empty() || l.text.substr(0, 3) == "   ") << l.text;
            joined += joined.empty() ? l.text : l.text.substr(3);
            got.push_back(l.text.size());
        }
        EXPECT_EQ(got, sizes) << length;
        EXPECT_EQ(joined, "[1:000] " + text) << length;
    }
}

TEST_F(Console, TheKeyLayout) {
    // clang-format off
    const std::vector<std::pair<Keys, const char*>> cases = {
        {{kVkA}, "a"}, {{kVkLShift, kVkShift, kVkA}, "A"}, {{kVkRShift, kVkShift, kVkZ}, "z"},  // right Shift: lower
        {{kVkOemMinus}, "-"}, {{kVkRShift, kVkShift, kVkOemMinus}, "_"}, {{kVk1}, "1"}, {{kVkLShift, kVk1}, "!"},
        {{kVkLShift, kVk9}, "("}, {{kVk0}, "0"}, {{kVkLShift, kVk0}, ")"}, {{kVkRShift, kVkShift, kVk2}, "2"},
        {{kVkAdd}, "="}, {{kVkLShift, kVkAdd}, "+"}, {{kVkDecimal}, "\\"}, {{kVkLShift, kVkDecimal}, "|"},
        {{kVkOemPeriod}, "."}, {{kVkLShift, kVkOemComma}, "<"}, {{kVkLShift, kVkSpace}, " "},
        {{kVkDelete}, ""}, {{kVkOemPlus}, ""}, {{kVkOem2, kVkNumpad5, kVkF1, kVkTab}, ""},  // no character
        {{kVkA, kVkB}, "a"}, {{kVk5, kVkOemMinus}, "-"}};  // one per sample: the first in layout order
    // clang-format on
    for (std::size_t i = 0; i < cases.size(); ++i) {
        text().clear();
        press(cases[i].first);
        EXPECT_EQ(text().view(), cases[i].second) << "case " << i;
    }
}

TEST_F(Console, EditingEnterAndPaste) {
    input.clipboard = std::string(krovane::cp1251("cam_mngr камера\r\n").view()) + std::string(1500, 'p');
    const std::string q199(199, 'q'), q200(200, 'q');
    // clang-format off
    struct Case {
        std::string before;
        Keys keys;
        std::string after, queued;  // "" for nothing queued
    } const cases[] = {
        {"ab", {kVkBack, kVkC}, "ac", ""}, {"", {kVkBack}, "", ""},  // Backspace, then the letter
        {"cam", {kVkReturn}, "", "cam"}, {"", {kVkReturn}, "", ""},  // an empty line is not queued
        {"obj show", {kVkReturn, kVkX}, "x", "obj show"},            // Enter, then a new line
        {q199, {kVkA}, q199 + "a", ""}, {q200, {kVkB}, q200, ""},    // 200 characters take no more
        {q200, {kVkBack, kVkB}, q199, ""}, {q200, {kVkReturn}, "", q200},  // the length before Backspace counts
        {">", {kVkUp, kVkShift, kVkRShift, kVkInsert}, ">", ""}, {">", {kVkInsert}, ">", ""},  // paste: as it
        {">", {kVkDown, kVkShift, kVkLShift, kVkInsert}, ">", ""},  // is, line break included, cut to capacity
        {">", {kVkShift, kVkRShift, kVkInsert}, (">" + input.clipboard).substr(0, Korvane_string::kMaxLength), ""}};
    // clang-format on
    for (const Case& c : cases) {
        text() = c.before.c_str();
        pending.lines.clear();
        press(c.keys);
        EXPECT_EQ(text().view(), c.after) << c.before;
        EXPECT_EQ(pending.lines, c.queued) << c.before;
    }
    EXPECT_EQ(input.clipboardReads, 1);  // read only to paste
}

TEST_F(Console, TypingAndTogglingArePacedButActAtOnceAfterAKeyPress) {
    press({kVkA});
    frameAfter(1607);
    EXPECT_EQ(text(), "a");
    frameAfter(1);  // a held key types once per 1608 ms
    EXPECT_EQ(text(), "aa");
    frameAfter(16);
    press({kVkA});  // the keyboard's auto-repeat
    EXPECT_EQ(text(), "aaa");

    input.hold({});  // the close check passes without the console key: nothing closes
    frameAfter(5000);
    EXPECT_TRUE(console->visible());

    const auto toggleAfter = [&](std::uint32_t ms) {
        Clock::advanceTicks(ms);
        console->ToggleConsole();
        return console->visible();
    };  // toggling waits 336 ms since the last reset, or a key press
    EXPECT_EQ((std::vector<bool>{toggleAfter(335), toggleAfter(1), toggleAfter(0)}),
              (std::vector<bool>{true, false, false}));
    console->keyPressed();
    EXPECT_TRUE(toggleAfter(0));
}

constexpr std::uint32_t kFontStride = 28;  // a glyph's vertex

// A user-pointer draw of `stride`: of triangles (text), or of lines (outlines).
bool isDraw(const RecordedCall& c, std::uint32_t stride, PrimitiveType type = PrimitiveType::TriangleList) {
    return c.op == DeviceOp::DrawPrimitiveUP && c.args[2] == stride && c.args[0] == static_cast<std::uint32_t>(type);
}

struct ConsoleBoxes : Console {
    Ref<RecordingDevice> device = RecordingDevice::create();
    Device* target = device.get();  // what each draw is given

    void SetUp() override {
        Console::SetUp();
        krovane::test::writeBmp("textures/_def/yellow.bmp", 0xFFFF00);
    }
    Console_LogView& view() { return console->logView(); }
    // The calls of one draw, of a box or of the whole console.
    template <typename Draw>
    std::vector<RecordedCall> record(Draw draw) {
        device->clearCalls();
        device->BeginScene();
        draw();
        device->EndScene();
        return device->calls();
    }
    // Log line `number` (from 1) drawn directly with the log view's font at `row`.
    Vertices reference(unsigned number, std::int64_t row, std::uint32_t color) {
        const std::string text(console->log().tree().text(console->log().lineIds()[number - 1]));
        const std::int32_t top = view().y() + static_cast<std::int32_t>(row) * 10;
        Rect rect{view().x() + 12, top, view().x() + 12 + view().w() - 10, top + view().h() - 20};
        for (const RecordedCall& c :
             record([&] { view().textFont()->DrawTextA(nullptr, text.c_str(), -1, &rect, kDtNoClip, color); }))
            if (isDraw(c, kFontStride)) return c.vertices;
        return {};
    }
    // Expects the log view to draw exactly lines first..last of a log of n lines, in `colors` (0: not
    // drawn) or else the text colour.
    void expectLines(unsigned first, unsigned last, std::int64_t n, std::vector<std::uint32_t> colors = {}) {
        std::vector<Vertices> drawn, wanted;
        for (const RecordedCall& c : record([&] { view().Draw(target); }))
            if (isDraw(c, kFontStride)) drawn.push_back(c.vertices);
        if (!drawn.empty()) drawn.erase(drawn.begin());  // the caption
        for (unsigned e = first; e <= last; ++e)
            if (const auto color = colors.empty() ? Console_LogView::kTextColor : colors[e - first])
                wanted.push_back(reference(e, view().shown - n + e, color));
        EXPECT_TRUE(drawn == wanted) << drawn.size() << " lines drawn, " << wanted.size() << " expected";
    }
    void mouse(std::int32_t x, std::int32_t y, std::int32_t releaseX, std::int32_t releaseY) {
        console->MouseEvent(Console_Box::kMousePress, x, y);
        console->MouseEvent(Console_Box::kMouseRelease, releaseX, releaseY);
    }
    std::vector<std::int64_t> thumb() {
        return {view().thumbY, static_cast<std::int64_t>(view().thumbQuad[1].y), view().shown, view().scroll};
    }
};

TEST_F(ConsoleBoxes, LinesAreDrawnAtTheirRowsInTheirTypesColoursAndUntypedOnesLeaveAGap) {
    for (const auto& [text, type] : std::vector<std::pair<const char*, int>>{
             {"a text", 0}, {"an error", 1}, {"a comment", 2}, {"a system line", 3}, {"untyped", 7}, {"last", 0}})
        console->Print(text, static_cast<MessageType>(type));  // the newest at y + 120
    expectLines(1, 7, 7, {0xFF0060A2, 0xFFFFFFFF, 0xFFED5D34, 0xFFFEF236, 0xFF0060A2, 0, 0xFFFFFFFF});
}

TEST_F(ConsoleBoxes, ClicksFocusTheBoxesInTheirOrder) {
    const auto focus = [&] {
        return std::vector<bool>{console->clockBox().focused(), console->inputBox().focused(), view().focused()};
    };
    mouse(700, 208, 700, 208);  // the clock box takes it; the input box never sees it
    EXPECT_EQ(focus(), (std::vector<bool>{true, true, false}));
    mouse(100, 100, 100, 100);  // the log view: the others lose the focus
    EXPECT_EQ(focus(), (std::vector<bool>{false, false, true}));
    mouse(400, 400, 400, 400);  // empty screen
    EXPECT_EQ(focus(), (std::vector<bool>{false, false, false}));
    press({kVkA});  // typing goes nowhere now
    EXPECT_EQ(text(), "");
    mouse(100, 208, 100, 208);
    console->setVisible(false);  // a hidden console ignores the mouse
    mouse(400, 400, 400, 400);
    EXPECT_TRUE(console->inputBox().focused());
}

TEST_F(ConsoleBoxes, DraggingMovesABoxByExactlyTheMouseOffset) {
    Console_InputBox& box = console->inputBox();
    console->MouseEvent(Console_Box::kMousePress, 20, 205);
    console->MouseEvent(Console_Box::kMouseMove, 70, 215);  // only the release moves it
    console->MouseEvent(Console_Box::kMouseRelease, 120, 205);
    EXPECT_EQ((std::vector<int>{box.x(), box.y(), box.dragging()}), (std::vector<int>{109, 200, false}));
    EXPECT_EQ((std::vector<float>{box.quad()[1].x, box.quad()[1].y, box.quad()[2].x}),
              (std::vector<float>{109, 200, 324}));
    mouse(100, 100, 90, 130);  // the log view carries its thumb along
    EXPECT_EQ((std::vector<int>{view().x(), view().y(), view().thumbX}), (std::vector<int>{-1, 60, 721}));
    EXPECT_EQ(thumb(), (std::vector<std::int64_t>{202, 196, 12, 0}));
}

// The thumb is grabbed at `pressY` and dropped at 111, its centre 75 pixels above the bottom of the view:
// half way down a log of `count` lines, unless the grab was eight pixels off the thumb's centre (172).
TEST_F(ConsoleBoxes, DroppingTheThumbScrollsInProportion) {
    struct Case {
        unsigned count;
        std::int32_t pressY;
        std::vector<std::int64_t> thumb;  // its centre, its quad's top, lines shown, lines scrolled
        unsigned first, last;
    } const cases[] = {{99, 164, {172, 166, 12, 0}, 88, 100},
                       {99, 170, {105, 99, 60, 47}, 40, 53},
                       {69999, 172, {105, 99, 35010, 34997}, 34990, 35003}};  // past 32767 lines
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pressY);
        console = std::make_unique<Krovane_Console>();
        console->setVisible(true);
        for (unsigned i = 0; i < c.count; ++i) console->Print(("line " + std::to_string(i)).c_str(), MessageType::Text);
        mouse(732, c.pressY, 732, 111);
        EXPECT_FALSE(view().thumbGrab || view().dragging());  // the release ends the grab all the same
        EXPECT_EQ(thumb(), c.thumb);
        expectLines(c.first, c.last, c.count + 1);
    }
}

TEST_F(ConsoleBoxes, AFrameDrawsTheBoxesSolidTicksTheClockNeedsADeviceAndMakesNoNewResources) {
    console->setVisible(false);
    EXPECT_EQ(record([&] { console->Draw(target); }).size(), 2u);  // the scene's begin and end only
    console->setVisible(true);
    Clock::setManualTicks(1000 + 61234);
    const auto calls = record([&] { console->Draw(target); });
    ASSERT_GT(calls.size(), 1u);  // solid, whatever the scene's fill mode, before anything is drawn
    EXPECT_EQ((std::vector{std::uint32_t(calls[1].op), calls[1].args[0], calls[1].args[1]}),
              (std::vector{std::uint32_t(DeviceOp::SetRenderState), std::uint32_t(RenderState::FillMode), kFillSolid}));
    EXPECT_EQ(console->clockBox().text, "[61:234] ");
    const void* bound = nullptr;  // the input box's outline is drawn in its texture, and the stage cleared after
    std::vector<const void*> outline;
    for (const RecordedCall& c : calls) {
        if (c.op == DeviceOp::SetTexture) bound = c.object;
        if (isDraw(c, kLineVertexStride, PrimitiveType::LineList)) outline.push_back(bound);
    }
    ASSERT_NE(console->inputBox().texture.get(), nullptr);
    EXPECT_TRUE(outline == std::vector<const void*>(4, console->inputBox().texture.get()) && bound == nullptr);

    target = nullptr;  // without a device nothing is drawn and nothing fails
    console->Print("x", MessageType::Error);
    mouse(20, 205, 20, 205);
    EXPECT_EQ(record([&] { console->Draw(target); }).size(), 2u);
    target = device.get();  // the device is back: the boxes make their fonts again and draw
    EXPECT_GT(record([&] { console->Draw(target); }).size(), 10u);

    device->clearCalls();  // later frames and mouse moves recolour but make no new resources
    for (int i = 0; i < 50; ++i) {
        console->MouseEvent(Console_Box::kMouseMove, 700, 208);
        console->Draw(target);
    }
    EXPECT_TRUE(std::none_of(device->calls().begin(), device->calls().end(), [](const RecordedCall& c) {
        return c.op == DeviceOp::CreateTexture || c.op == DeviceOp::CreateVertexBuffer;
    }));
    EXPECT_EQ(console->clockBox().quad()[0].color, 0xFF5B5B5Bu);  // hovered
    console->MouseEvent(Console_Box::kMouseMove, 10, 10);
    EXPECT_EQ(console->clockBox().quad()[0].color, 0xFF151515u);
}

}  // namespace
