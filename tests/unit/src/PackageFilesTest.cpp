#include <gtest/gtest.h>

#include <filesystem>

#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "Common/install_ui_mainwnd/PackageFiles.h"
#include "LogLines.h"
#include "support/TempDir.h"

namespace {

using namespace packagefiles;

TEST(PackageFileNameTest, LabelFileNameVersionAndExtension) {
    const std::string label = "https://download.example.com/downloads/extra/zembramorvanta_zembram.exe";
    EXPECT_EQ(PackageFileName(label, "1.0.0.0"), "zembramorvanta_zembram_1.0.0.0.exe");
    EXPECT_EQ(PackageFileName("https://a.example.com/x/app.release.apk", "2.1"), "app.release_2.1.apk");
    // Not ending in ".exe" gives ".apk" unless the label is too short to say.
    EXPECT_EQ(PackageFileName("https://a.example.com/x/setup.EXE", "3"), "setup_3.apk");
    EXPECT_EQ(PackageFileName("abc", "3"), "abc_3.exe");
    EXPECT_EQ(PackageFileName("", "3"), "_3.exe");
    EXPECT_EQ(PackageFileName("https://a.example.com/x/noextension", "3"), "noextension_3.apk");
}

TEST(PackageFileNameTest, AVersionFromTheServerNeverLeavesTheFolder) {
    const std::string label = "https://a.example.com/x/app.exe";
    EXPECT_EQ(PackageFileName(label, "../../../etc/passwd"), "app_.._.._.._etc_passwd.exe");
    EXPECT_EQ(PackageFileName(label, std::string("1\0/2", 4)), "app_1__2.exe");
    const std::string huge = PackageFileName(label, std::string(5000, '9'));
    EXPECT_EQ(huge.size(), kMaxFileNameBytes);
    EXPECT_EQ(huge.substr(huge.size() - 4), ".exe");
    // Cut on a character boundary: "é" is two bytes.
    std::string accents;
    for (int i = 0; i < 300; ++i) accents += "\xC3\xA9";
    const std::string cut = PackageFileName(label, accents);
    EXPECT_LE(cut.size(), kMaxFileNameBytes);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".exe");
    EXPECT_NE(static_cast<unsigned char>(cut[cut.size() - 5]), 0xC3) << "a character was split";
}

TEST(MarkerTest, SplitsAtTheFirstSeparator) {
    const auto marker = ParseMarker("1.0.0.0###abc###def");
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->version, "1.0.0.0");
    EXPECT_EQ(marker->checksum, "abc###def");
    EXPECT_FALSE(ParseMarker("1.0.0.0 abc"));
}

TEST(MarkerTest, KeepsOnlyAVerifiedPackageOfThisVersion) {
    const std::string md5 = "0123456789abcdef0123456789abcdef";
    EXPECT_TRUE(MarkerKeepsPackage({"1.0", md5}, "1.0", md5, ""));
    EXPECT_TRUE(MarkerKeepsPackage({"1.0", md5}, "1.0", "", md5));
    // The marker side is lower-cased, the configuration side is not.
    EXPECT_TRUE(MarkerKeepsPackage({"1.0", "0123456789ABCDEF0123456789ABCDEF"}, "1.0", md5, ""));
    EXPECT_FALSE(MarkerKeepsPackage({"1.0", md5}, "1.0", "0123456789ABCDEF0123456789ABCDEF", ""));
    EXPECT_FALSE(MarkerKeepsPackage({"1.1", md5}, "1.0", md5, md5));
    // A marker without a checksum proves nothing, even when no MD5 is known.
    EXPECT_FALSE(MarkerKeepsPackage({"1.0", ""}, "1.0", "", ""));
}

TEST(MarkerTest, ReadsTheFirstLineUpTo260Characters) {
    testsupport::TempDir temp;
    EXPECT_FALSE(ReadMarkerLine(temp.str() + "/missing.db"));
    EXPECT_EQ(*ReadMarkerLine(temp.WriteFile("a.db", "1.0###abc\nsecond")), "1.0###abc");
    EXPECT_EQ(ReadMarkerLine(temp.WriteFile("b.db", std::string(1000, 'x')))->size(), 260u);
}

TEST(ClearAppDataTest, DeletesPackageTaskFileAndMarker) {
    testsupport::TempDir temp;
    LogLines log;
    const std::string base = temp.WriteFile("app_1.exe", "package");
    temp.WriteFile("app_1.exe.xml", "tasks");
    temp.WriteFile("app_1.exe.db", "marker");
    temp.WriteFile("other.exe", "kept");
    InstallUIMainWnd::ClearAPPData(temp.str(), "app_1.exe");
    EXPECT_FALSE(std::filesystem::exists(base));
    EXPECT_FALSE(std::filesystem::exists(base + ".xml"));
    EXPECT_FALSE(std::filesystem::exists(base + ".db"));
    EXPECT_TRUE(std::filesystem::exists(temp.str() + "/other.exe"));
    EXPECT_TRUE(log.Has(" Clear cache: 1, 0"));

    log.Clear();
    InstallUIMainWnd::ClearAPPData(temp.str(), "app_1.exe");
    EXPECT_TRUE(log.Has(" Clear cache: 0, 2")) << "nothing to delete: ENOENT";
}

}  // namespace
