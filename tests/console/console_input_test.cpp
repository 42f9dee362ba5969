// Typing into the console: the key layout, one sample per pacing period or
// key press, editing, Enter into the pending tree, the 200-character limit,
// paste, and showing and hiding with the console key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../fake_input.h"
#include "../temp_dir.h"
#include "console/krovane_console.h"
#include "platform/clock.h"
#include "platform/code_page_1251.h"
#include "platform/virtual_keys.h"

namespace {

using namespace krovane::platform;

constexpr std::uint32_t kKeyPress = 100000;  // what the main loop adds to the marks on a key press

struct ConsoleInput : ::testing::Test {
    krovane::test::TempDir dir;
    krovane::test::FakeInput input;
    std::unique_ptr<Krovane_Console> console;
    DynamicRow pending;

    void SetUp() override {
        Clock::setManualTicks(1000);
        console = std::make_unique<Krovane_Console>();
        pending.AddToId(0, true, "TIME_LINE");
        console->setCommandQueue(&pending);
        console->setVisible(true);
    }
    void TearDown() override {
        console.reset();
        Clock::useRealTime();
    }
    Korvane_string& text() { return console->inputBox().text; }
    // A key press of `held` and the frame after it.
    void press(const std::vector<std::uint8_t>& held) {
        input.hold(held);
        console->ShiftPacingMarks(kKeyPress);
        console->UpdateInput(input);
    }
    // A frame `ms` later, with no key press between.
    void frameAfter(std::uint32_t ms) {
        Clock::advanceTicks(ms);
        console->UpdateInput(input);
    }
    std::vector<std::string> queued() const {
        std::vector<std::string> out;
        for (unsigned id = pending.TopId(1); id != 0; id = pending.NextId(id)) out.emplace_back(pending.text(id));
        return out;
    }
};

TEST_F(ConsoleInput, TheKeyLayout) {
    struct Case {
        std::vector<std::uint8_t> keys;
        const char* typed;
    };
    const std::vector<Case> cases = {
        {{kVkA}, "a"},
        {{kVkLShift, kVkShift, kVkA}, "A"},
        {{kVkRShift, kVkShift, kVkZ}, "z"},  // right Shift alone gives lower case
        {{kVkOemMinus}, "-"},
        {{kVkLShift, kVkShift, kVkOemMinus}, "_"},
        {{kVkRShift, kVkShift, kVkOemMinus}, "_"},  // either Shift for the underscore
        {{kVk1}, "1"},
        {{kVkLShift, kVk1}, "!"},
        {{kVkLShift, kVk6}, "^"},
        {{kVkLShift, kVk9}, "("},
        {{kVk0}, "0"},
        {{kVkLShift, kVk0}, ")"},
        {{kVkRShift, kVkShift, kVk2}, "2"},
        {{kVkAdd}, "="},
        {{kVkLShift, kVkAdd}, "+"},
        {{kVkDecimal}, "\\"},
        {{kVkLShift, kVkDecimal}, "|"},
        {{kVkDelete}, ""},  // the keypad's decimal key with Num Lock off
        {{kVkOemPeriod}, "."},
        {{kVkLShift, kVkOemPeriod}, ">"},
        {{kVkOemComma}, ","},
        {{kVkLShift, kVkOemComma}, "<"},
        {{kVkSpace}, " "},
        {{kVkLShift, kVkSpace}, " "},
        {{kVkOemPlus}, ""},  // the main keyboard's "=" key types nothing
        {{kVkOem2, kVkNumpad5, kVkF1, kVkTab}, ""},
        {{kVkA, kVkB}, "a"},  // one character per sample: the first in layout order
        {{kVk5, kVkOemMinus}, "-"},
    };
    for (const Case& c : cases) {
        text().clear();
        press(c.keys);
        EXPECT_EQ(text().view(), c.typed) << "case " << (&c - cases.data());
    }
}

TEST_F(ConsoleInput, AHeldKeyTypesOncePerPacingPeriodOrAtOnceAfterAKeyPress) {
    press({kVkA});
    EXPECT_EQ(text(), "a");
    frameAfter(1607);
    EXPECT_EQ(text(), "a");
    frameAfter(1);
    EXPECT_EQ(text(), "aa");
    frameAfter(16);
    EXPECT_EQ(text(), "aa");
    press({kVkA});  // the keyboard's auto-repeat
    EXPECT_EQ(text(), "aaa");
}

TEST_F(ConsoleInput, BackspaceThenTheLetterInOneSample) {
    text() = "ab";
    press({kVkBack, kVkC});
    EXPECT_EQ(text(), "ac");
    text().clear();
    press({kVkBack});  // nothing to remove
    EXPECT_EQ(text(), "");
}

TEST_F(ConsoleInput, EnterQueuesTheLineAndEmptiesIt) {
    text() = "camera_manager";
    press({kVkReturn});
    press({kVkReturn});  // an empty line is not queued
    text() = "obj_mngr show.list";
    press({kVkReturn, kVkX});  // Enter first, then the letter starts a new line
    EXPECT_EQ(queued(), (std::vector<std::string>{"camera_manager", "obj_mngr show.list"}));
    EXPECT_EQ(text(), "x");
}

TEST_F(ConsoleInput, TheLineTakes200CharactersAndStillEdits) {
    text() = std::string(199, 'q').c_str();
    press({kVkA});
    EXPECT_EQ(text().length(), 200u);
    press({kVkB});
    EXPECT_EQ(text().length(), 200u);
    EXPECT_EQ(text().view().back(), 'a');
    press({kVkBack, kVkB});  // the length before Backspace counts: no letter this sample
    EXPECT_EQ(text().length(), 199u);
    EXPECT_EQ(text().view().back(), 'q');
    text() = std::string(200, 'q').c_str();
    press({kVkReturn});
    EXPECT_EQ(queued().size(), 1u);
    EXPECT_EQ(text(), "");
}

TEST_F(ConsoleInput, ShiftInsertPastesUnlessUpOrDownIsHeld) {
    input.clipboard = std::string(krovane::cp1251("cam_mngr камера\r\n").view());
    text() = ">";
    press({kVkUp, kVkShift, kVkRShift, kVkInsert});
    press({kVkDown, kVkShift, kVkLShift, kVkInsert});
    press({kVkInsert});
    EXPECT_EQ(text(), ">");
    EXPECT_EQ(input.clipboardReads, 0);  // the clipboard is read only to paste
    press({kVkShift, kVkRShift, kVkInsert});
    EXPECT_EQ(text().view(), ">" + input.clipboard);  // unchanged, line break included
    EXPECT_EQ(input.clipboardReads, 1);
}

TEST_F(ConsoleInput, APasteIsCutToTheLinesCapacityAndThenOnlyEditingWorks) {
    input.clipboard = std::string(1500, 'p');
    text() = "12";
    press({kVkShift, kVkLShift, kVkInsert});
    EXPECT_EQ(text().length(), Korvane_string::kMaxLength);
    EXPECT_EQ(text().view().substr(0, 3), "12p");
    press({kVkA});
    EXPECT_EQ(text().length(), Korvane_string::kMaxLength);
    press({kVkBack});
    EXPECT_EQ(text().length(), Korvane_string::kMaxLength - 1);
}

TEST_F(ConsoleInput, AnUnfocusedBoxTypesNothing) {
    console->inputBox().focused = false;
    press({kVkA});
    text() = "kept";
    press({kVkReturn});
    EXPECT_EQ(text(), "kept");
    EXPECT_TRUE(queued().empty());
}

TEST_F(ConsoleInput, TheConsoleKeyClosesAfterThePacingPeriodOrAtOnceAfterAPress) {
        input.hold({kVkOem3});
    frameAfter(1607);
    EXPECT_TRUE(console->visible());
    frameAfter(1);
    EXPECT_FALSE(console->visible());

    console->setVisible(true);
    Clock::advanceTicks(20);
    press({kVkOem3});
    EXPECT_FALSE(console->visible());

    console->setVisible(true);  // the check passes without the key: nothing closes
    input.hold({});
    frameAfter(5000);
    EXPECT_TRUE(console->visible());
}

TEST_F(ConsoleInput, ToggleActsOnlyAfter336Milliseconds) {
    console->setVisible(false);
        Clock::advanceTicks(335);
    console->ToggleConsole();
    EXPECT_FALSE(console->visible());
    Clock::advanceTicks(1);
    console->ToggleConsole();
    EXPECT_TRUE(console->visible());
    console->ToggleConsole();  // the timer was reset
    EXPECT_TRUE(console->visible());
    console->ShiftPacingMarks(kKeyPress);
    console->ToggleConsole();
    EXPECT_FALSE(console->visible());
}

}  // namespace
