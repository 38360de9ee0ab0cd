#include "uitoolkit/markup/SkinArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "unit/uitoolkit/ZipBuilder.h"

namespace {

using ZembraUI::CSkinArchive;
using testsupport::BuildZip;
using testsupport::ZipEntry;

std::string AsText(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class SkinArchiveTest : public ::testing::Test {
protected:
    void TearDown() override {
        CSkinArchive::Close();
        CSkinArchive::SetResourceFolder("");
    }

    // Opens the entries as the process-wide memory archive.
    void OpenArchive(const std::vector<ZipEntry>& entries) {
        zip_ = BuildZip(entries);
        ASSERT_TRUE(CSkinArchive::OpenFromMemory(zip_.data(), zip_.size()));
    }

    // Reads name and returns its text, or "!" + the error.
    static std::string Read(const std::string& name) {
        std::vector<unsigned char> out{'x'};
        std::string error;
        if (!CSkinArchive::ReadFile(name, out, error)) {
            EXPECT_TRUE(out.empty());
            return "!" + error;
        }
        return AsText(out);
    }

    std::vector<unsigned char> zip_;
};

TEST_F(SkinArchiveTest, FindsEntriesWithBackslashesAndAnyCase) {
    OpenArchive({{"InstallMainWnd.xml", "<Window/>"},
                 {"skin/button_close.png", "PNGDATA", true},
                 {"language/English.xml", "<Language/>"}});
    EXPECT_TRUE(CSkinArchive::IsOpen());
    EXPECT_EQ(Read("skin\\button_close.png"), "PNGDATA");
    EXPECT_EQ(Read("SKIN\\BUTTON_CLOSE.PNG"), "PNGDATA");
    EXPECT_EQ(Read("skin/button_close.png"), "PNGDATA");
    EXPECT_EQ(Read("installmainwnd.xml"), "<Window/>");
    EXPECT_EQ(Read("Language\\english.XML"), "<Language/>");
    EXPECT_EQ(Read("skin\\button_close"), "!Could not find ziped file");
    EXPECT_EQ(Read("button_close.png"), "!Could not find ziped file");
    EXPECT_EQ(Read(""), "!Could not find ziped file");
}

TEST_F(SkinArchiveTest, FirstEntryInDirectoryOrderWinsAmongCaseVariants) {
    OpenArchive({{"skin/Logo.png", "first"}, {"skin/logo.png", "second"}});
    EXPECT_EQ(Read("skin\\logo.png"), "first");
    EXPECT_EQ(Read("SKIN/LOGO.PNG"), "first");
}

TEST_F(SkinArchiveTest, NamesOf256CharactersOrMoreAreNotFound) {
    const std::string name255 = "d/" + std::string(253, 'a');
    const std::string name256 = "d/" + std::string(254, 'b');
    OpenArchive({{name255, "short enough"}, {name256, "too long"}});
    EXPECT_EQ(Read(name255), "short enough");
    EXPECT_EQ(Read(name256), "!Could not find ziped file");
}

TEST_F(SkinArchiveTest, EmptyLargeAndCorruptEntriesFailWithTheirReason) {
    const std::string limit(CSkinArchive::kMaxFileSize, 'z');
    const std::string tooLarge(CSkinArchive::kMaxFileSize + 1, 'z');
    const std::string payload = "payload that will be damaged in the archive";
    std::vector<unsigned char> zip = BuildZip({{"empty.xml", ""},
                                               {"limit.bin", limit},
                                               {"large.bin", tooLarge},
                                               {"damaged.txt", payload, true}});
    // Flip one byte of the stored data: the checksum no longer matches.
    const auto at = std::search(zip.begin(), zip.end(), payload.begin(), payload.end());
    ASSERT_NE(at, zip.end());
    at[3] ^= 0x20;
    zip_ = zip;
    ASSERT_TRUE(CSkinArchive::OpenFromMemory(zip_.data(), zip_.size()));

    EXPECT_EQ(Read("empty.xml"), "!File is empty");
    EXPECT_EQ(Read("large.bin"), "!File too large");
    EXPECT_EQ(Read("damaged.txt"), "!Could not unzip file");
    std::vector<unsigned char> out;
    std::string error;
    ASSERT_TRUE(CSkinArchive::ReadFile("LIMIT.BIN", out, error)) << error;
    EXPECT_EQ(out.size(), CSkinArchive::kMaxFileSize);
    EXPECT_EQ(out.capacity(), CSkinArchive::kMaxFileSize);
}

TEST_F(SkinArchiveTest, MemoryArchiveIsKeptWhileOpen) {
    OpenArchive({{"a.xml", "from the first archive"}});
    const std::vector<unsigned char> other = BuildZip({{"a.xml", "from the second archive"}});
    EXPECT_TRUE(CSkinArchive::OpenFromMemory(other.data(), other.size()));
    EXPECT_EQ(Read("a.xml"), "from the first archive");

    CSkinArchive::Close();
    EXPECT_FALSE(CSkinArchive::IsOpen());
    EXPECT_TRUE(CSkinArchive::OpenFromMemory(other.data(), other.size()));
    EXPECT_EQ(Read("a.xml"), "from the second archive");
}

TEST_F(SkinArchiveTest, BytesThatAreNotAnArchiveAreRefused) {
    const std::string junk = "this is not a zip archive at all";
    EXPECT_FALSE(CSkinArchive::OpenFromMemory(junk.data(), junk.size()));
    EXPECT_FALSE(CSkinArchive::OpenFromMemory(nullptr, 0));
    EXPECT_FALSE(CSkinArchive::IsOpen());
}

TEST_F(SkinArchiveTest, ArchiveFileOnDisk) {
    testsupport::TempDir dir;
    const std::vector<unsigned char> zip = BuildZip({{"Layout/Main.xml", "<Window/>"}});
    const std::string path = dir.WriteFile("skin.zip", std::string(zip.begin(), zip.end()));
    ASSERT_TRUE(CSkinArchive::OpenFromFile(path));
    EXPECT_EQ(Read("layout\\main.xml"), "<Window/>");

    // A memory archive replaces an archive file.
    const std::vector<unsigned char> memory = BuildZip({{"Layout/Main.xml", "<Memory/>"}});
    ASSERT_TRUE(CSkinArchive::OpenFromMemory(memory.data(), memory.size()));
    EXPECT_EQ(Read("layout\\main.xml"), "<Memory/>");
    CSkinArchive::Close();

    // A missing archive file stays the source of files until it can be opened.
    const std::string later = dir.str() + "/later.zip";
    EXPECT_FALSE(CSkinArchive::OpenFromFile(later));
    EXPECT_FALSE(CSkinArchive::IsOpen());
    EXPECT_EQ(Read("layout\\main.xml"), "!Error opening zip file");
    dir.WriteFile("later.zip", std::string(zip.begin(), zip.end()));
    EXPECT_EQ(Read("layout\\main.xml"), "<Window/>");
    EXPECT_TRUE(CSkinArchive::IsOpen());
}

TEST_F(SkinArchiveTest, ResourceFolderWithoutArchive) {
    testsupport::TempDir dir;
    dir.WriteFile("skin/bg.png", "BG");
    dir.WriteFile("empty.xml", "");
    dir.WriteFile("large.bin", std::string(CSkinArchive::kMaxFileSize + 1, 'z'));
    std::filesystem::create_directories(dir.path() / "folder.xml");

    CSkinArchive::SetResourceFolder(dir.str());
    EXPECT_EQ(CSkinArchive::GetResourceFolder(), dir.str() + "/");
    EXPECT_EQ(Read("skin\\bg.png"), "BG");
    EXPECT_EQ(Read("missing.xml"), "!Error opening file");
    EXPECT_EQ(Read("folder.xml"), "!Error opening file");
    EXPECT_EQ(Read("empty.xml"), "!File is empty");
    EXPECT_EQ(Read("large.bin"), "!File too large");

    CSkinArchive::SetResourceFolder(dir.str() + "\\skin\\");
    EXPECT_EQ(CSkinArchive::GetResourceFolder(), dir.str() + "/skin/");
    EXPECT_EQ(Read("bg.png"), "BG");
}

TEST_F(SkinArchiveTest, DiskReadsHonourTheirLimit) {
    testsupport::TempDir dir;
    const std::string path = dir.WriteFile("big.bin", std::string(CSkinArchive::kMaxFileSize + 10, 'q'));
    std::vector<unsigned char> out;
    std::string error;
    EXPECT_FALSE(CSkinArchive::ReadDiskFile(path, out, error));
    EXPECT_EQ(error, "File too large");
    ASSERT_TRUE(CSkinArchive::ReadDiskFile(path, out, error, CSkinArchive::kMaxFileSize + 10));
    EXPECT_EQ(out.size(), CSkinArchive::kMaxFileSize + 10);
}

}  // namespace
