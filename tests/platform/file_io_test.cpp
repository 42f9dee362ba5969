// Whole-file reading with its limit, and atomic replacement of files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../temp_dir.h"
#include "platform/file_io.h"

namespace {

using krovane::platform::ReadStatus;

TEST(FileIo, ReadsWholeFilesAndRefusesOversizedOnes) {
    krovane::test::TempDir dir;
    const std::string content(200000, 'k');
    std::ofstream("big.txt", std::ios::binary) << content;
    std::string out;
    EXPECT_EQ(krovane::platform::readWholeFile("big.txt", out, 1 << 20), ReadStatus::Ok);
    EXPECT_EQ(out, content);
    EXPECT_EQ(krovane::platform::readWholeFile("big.txt", out, 1000), ReadStatus::TooLarge);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(krovane::platform::readWholeFile("nothing.txt", out, 1000), ReadStatus::Missing);
    EXPECT_EQ(krovane::platform::readWholeFile(".", out, 1000), ReadStatus::ReadFailed);
}

TEST(FileIo, FilesThatReportNoSizeAreReadToTheirEnd) {
    // Files of /proc report a size of 0 and are read until their end all the same.
    const char* special = "/proc/self/maps";
    if (!std::filesystem::exists(special)) GTEST_SKIP() << "no " << special;
    std::string out;
    ASSERT_EQ(krovane::platform::readWholeFile(special, out, 1 << 24), ReadStatus::Ok);
    EXPECT_GT(out.size(), 4096u);  // more than one small read
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(krovane::platform::readWholeFile(special, out, 100), ReadStatus::TooLarge);
}

TEST(FileIo, AtomicWriteReplacesOrLeavesTheOldFile) {
    krovane::test::TempDir dir;
    ASSERT_TRUE(krovane::platform::writeFileAtomically("f.txt", "first version"));
    ASSERT_TRUE(krovane::platform::writeFileAtomically("f.txt", "second"));
    std::string out;
    ASSERT_EQ(krovane::platform::readWholeFile("f.txt", out, 100), ReadStatus::Ok);
    EXPECT_EQ(out, "second");
    // A target that cannot be replaced (a folder) keeps what was there and leaves no temporary file.
    std::filesystem::create_directory("folder");
    std::ofstream("folder/inside") << "x";
    EXPECT_FALSE(krovane::platform::writeFileAtomically("folder", "data"));
    EXPECT_TRUE(std::filesystem::is_directory("folder"));
    EXPECT_FALSE(krovane::platform::writeFileAtomically("missing/f.txt", "data"));
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 1u);
}

}  // namespace
