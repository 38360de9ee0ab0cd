#include <gtest/gtest.h>

#include "platform/ElfVersionNote.h"
#include "platform/Process.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;

TEST(ElfVersionNoteTest, OurOwnExecutableCarriesTheBuildVersion) {
    const auto info = platform::ReadVersionNote(platform::CurrentExecutablePath());
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->fileVersion, (std::array<std::uint16_t, 4>{2, 9, 0, 0}));
    EXPECT_EQ(info->productVersion, "2.9.0.0");
    EXPECT_FALSE(info->productName.empty());
    EXPECT_FALSE(info->copyright.empty());
    EXPECT_FALSE(info->description.empty());
}

TEST(ElfVersionNoteTest, FilesWithoutANoteGiveNothing) {
    TempDir dir;
    EXPECT_FALSE(platform::ReadVersionNote(dir.str() + "/missing"));
    EXPECT_FALSE(platform::ReadVersionNote(dir.WriteFile("text", "MZ not an elf file")));
    EXPECT_FALSE(platform::ReadVersionNote("/bin/true")) << "a foreign program has no version note";
}

TEST(ElfVersionNoteTest, TruncatedExecutableIsRejectedSafely) {
    TempDir dir;
    const std::string whole = ReadFile(platform::CurrentExecutablePath());
    for (std::size_t length : {std::size_t{16}, std::size_t{64}, whole.size() / 2}) {
        const std::string path = dir.WriteFile("cut" + std::to_string(length), whole.substr(0, length));
        // Section headers sit at the end, so every cut loses them.
        EXPECT_FALSE(platform::ReadVersionNote(path)) << length;
    }
}
