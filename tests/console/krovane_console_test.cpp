// The console log: stamps, cutting of long lines, types, the header line and saving.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "../logged_lines.h"
#include "../temp_dir.h"
#include "console/krovane_console.h"
#include "platform/clock.h"

namespace {

using krovane::platform::Clock;

using Line = krovane::test::LoggedLine;

// A console started at tick 1000 on 6 December 2026, 04:05:09 UTC, in a fresh folder.
struct ConsoleLog : ::testing::Test {
    krovane::test::TempDir dir;
    std::unique_ptr<Krovane_Console> console;

    void SetUp() override {
        Clock::setManualTicks(1000);
        Clock::setManualUtc({2026, 12, 6, 4, 5, 9});
        console = std::make_unique<Krovane_Console>();
    }
    void TearDown() override {
        console.reset();
        Clock::useRealTime();
    }
    std::vector<Line> lines() const { return krovane::test::loggedLines(*console); }
    void printAt(std::uint32_t millisecondsSinceStart, const std::string& text, MessageType type = MessageType::Text) {
        Clock::setManualTicks(1000 + millisecondsSinceStart);
        console->Print(text.c_str(), type);
    }
};

TEST_F(ConsoleLog, HeaderComesFirstWithoutLeadingZeros) {
    const DynamicRow& log = console->log().tree();
    EXPECT_EQ(console->log().root(), 1u);
    EXPECT_EQ(log.text(1), "LOG");
    const unsigned header = log.TopId(1);
    EXPECT_EQ(log.text(header), "[Currient date: 6-12-2026 , time: 4-5-9 (GMT+0)]");
    EXPECT_EQ(log.text(log.TopId(header)), "_SYSTEM_");
    printAt(5, "first");
    EXPECT_EQ(log.TopId(1), header);
}

TEST_F(ConsoleLog, StampsShowSecondsAndThreeDigitMilliseconds) {
    printAt(5, "a");
    printAt(0, "b");
    printAt(125999, "c");
    printAt(12345, "abc");
    printAt(3250, "");
    EXPECT_EQ(lines(), (std::vector<Line>{{"[0:005] a", "_TEXT_"},
                                          {"[0:000] b", "_TEXT_"},
                                          {"[125:999] c", "_TEXT_"},
                                          {"[12:345] abc", "_TEXT_"},
                                          {"[3:250] ", "_TEXT_"}}));
}

TEST_F(ConsoleLog, TypesAreStoredByNameAndUnknownCodesGetNone) {
    printAt(1, "t", MessageType::Text);
    printAt(1, "e", MessageType::Error);
    printAt(1, "c", MessageType::Comment);
    printAt(1, "s", MessageType::System);
    printAt(1, "x", static_cast<MessageType>(7));
    const std::vector<Line> got = lines();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].type, "_TEXT_");
    EXPECT_EQ(got[1].type, "_ERROR_");
    EXPECT_EQ(got[2].type, "_COMMENT_");
    EXPECT_EQ(got[3].type, "_SYSTEM_");
    EXPECT_EQ(got[4].text, "[0:001] x");
    EXPECT_EQ(console->log().tree().iCountParams(console->log().tree().iLookId("[0:001] x")), 0u);
}

// "[1:000] " is 8 characters, so a text of n characters makes a line of n + 8.
TEST_F(ConsoleLog, LongLinesAreCutWithAThreeBlankIndent) {
    auto cut = [&](std::size_t lineLength) {
        console = std::make_unique<Krovane_Console>();
        std::string text;
        for (std::size_t i = 0; i + 8 < lineLength; ++i) text += static_cast<char>('a' + i % 26);
        printAt(1000, text, MessageType::Error);
        std::vector<std::string> pieces;
        for (const Line& l : lines()) {
            EXPECT_EQ(l.type, "_ERROR_");
            pieces.push_back(l.text);
        }
        return pieces;
    };
    for (std::size_t length : {84u, 85u, 86u}) {
        const auto pieces = cut(length);
        ASSERT_EQ(pieces.size(), 1u) << length;
        EXPECT_EQ(pieces[0].size(), length);
    }
    auto pieces = cut(87);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].size(), 86u);
    EXPECT_EQ(pieces[1], std::string("   ") + static_cast<char>('a' + (86 - 8) % 26));  // the 87th character
    pieces = cut(171);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[1].size(), 88u);
    pieces = cut(172);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[2].size(), 4u);
    // The whole text survives the cutting, in order.
    std::string joined = pieces[0];
    for (std::size_t i = 1; i < pieces.size(); ++i) joined += pieces[i].substr(3);
    EXPECT_EQ(joined.size(), 172u);
}

TEST_F(ConsoleLog, ThousandsOfPrintsAreAllSaved) {
    for (int i = 0; i < 20000; ++i) printAt(static_cast<std::uint32_t>(i), "line " + std::to_string(i));
    console->SaveLog("LOG.dr");
    DynamicRow saved;
    ASSERT_TRUE(saved.iLoadFromFile("LOG.dr"));
    EXPECT_EQ(saved.iCountKnots(1), 20001u);  // the header and every line
    EXPECT_NE(saved.iLookId("[19:999] line 19999"), 0u);
    EXPECT_EQ(saved.text(saved.TopId(saved.iLookId("[0:000] line 0"))), "_TEXT_");
}

TEST_F(ConsoleLog, StartReadsTheCommandBaseAndMakesTheCommandsTree) {
    std::ofstream(Krovane_Console::kCommandBaseFile) << "cam_mngr { camera.next camera.set }\n";
    console = std::make_unique<Krovane_Console>();
    EXPECT_NE(console->commandBase().iLookId("camera.next"), 0u);
    EXPECT_FALSE(console->visible());
    EXPECT_EQ(console->inputBox().queue, nullptr);
}

TEST_F(ConsoleLog, UnwritableLogIsIgnored) {
    printAt(1, "kept");
    console->SaveLog("missing_folder\\LOG.dr");
    EXPECT_EQ(lines().size(), 1u);
}

}  // namespace
