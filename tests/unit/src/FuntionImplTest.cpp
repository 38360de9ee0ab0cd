#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "FuntionImpl.h"
#include "LogLines.h"
#include "platform/Process.h"
#include "platform/RegistryStore.h"
#include "support/PrivateMounts.h"
#include "support/TempDir.h"

namespace {

using platform::RegistryHive;
using platform::RegistryStore;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

// Waits (generously) until predicate holds; false when it never does.
template <typename Predicate>
bool Eventually(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (predicate()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return predicate();
}

class SandboxedTest : public ::testing::Test {
protected:
    TempDir temp_;
    ScopedEnv registry_{"ZEMBRA_REGISTRY_DIR", temp_.str() + "/registry"};
    LogLines log_;
};

// --- .NET Framework check ------------------------------------------------------

constexpr const char* kNetKey = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client";

class NetFrameCheckTest : public SandboxedTest {
protected:
    std::string Product(const std::string& database) {
        temp_.WriteFile("product/NetFrameCheck.db", database);
        return temp_.str() + "/product";
    }
};

TEST_F(NetFrameCheckTest, NeededVersionAgainstTheInstalledOne) {
    const std::string folder = Product("[Settings]\nNetFrameworkVersion=4.8\n[Text]\nTitle=x\n");
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, kNetKey, "Version", "4.7.03062"));
    EXPECT_TRUE(FuntionImpl::WillShowNetFrameCheck(folder));
    EXPECT_TRUE(log_.Has(" LocalNetFrame: 4.7.03062, NeedNetFrame: 4.8"));

    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, kNetKey, "Version", "4.8.09032"));
    EXPECT_FALSE(FuntionImpl::WillShowNetFrameCheck(folder + "/"));
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, kNetKey, "Version", "4.8"));
    EXPECT_FALSE(FuntionImpl::WillShowNetFrameCheck(folder));

    // Nothing installed at all: anything needed is newer.
    ASSERT_TRUE(RegistryStore::DeleteValue(RegistryHive::LocalMachine, kNetKey, "Version"));
    EXPECT_TRUE(FuntionImpl::WillShowNetFrameCheck(folder));
    EXPECT_TRUE(log_.Has(" LocalNetFrame: , NeedNetFrame: 4.8"));
}

TEST_F(NetFrameCheckTest, NoDatabaseOrNoKeyNeedsNothing) {
    EXPECT_FALSE(FuntionImpl::WillShowNetFrameCheck(temp_.str() + "/nowhere"));
    EXPECT_FALSE(FuntionImpl::WillShowNetFrameCheck(Product("[Settings]\nOther=1\n")));
}

TEST_F(NetFrameCheckTest, DatabaseRules) {
    const auto needed = [this](const std::string& text) {
        return FuntionImpl::ReadNeededNetFrameworkVersion(temp_.WriteFile("NetFrameCheck.db", text));
    };
    EXPECT_EQ(needed("[Settings]\r\nNetFrameworkVersion=4.6.2\r\n"), "4.6.2");
    EXPECT_EQ(needed("\xEF\xBB\xBF[Settings]\nNetFrameworkVersion=4.5\n"), "4.5");
    // Only inside [Settings], and never after [Text].
    EXPECT_EQ(needed("NetFrameworkVersion=4.0\n[Settings]\nA=1\n"), "");
    EXPECT_EQ(needed("[Settings]\n[Text]\nNetFrameworkVersion=4.0\n"), "");
    // A key at position 0 of "=" does not count; the first matching key wins.
    EXPECT_EQ(needed("[Settings]\n=4.0\nNetFrameworkVersion=4.7\nNetFrameworkVersion=4.8\n"), "4.7");
    // A huge line is read in pieces and does not hide what follows.
    EXPECT_EQ(needed("[Settings]\nJunk=" + std::string(200000, 'x') + "\nNetFrameworkVersion=4.8.1\n"), "4.8.1");
    EXPECT_EQ(needed(""), "");
}

TEST(VersionCompareTest, PartByPartFromTheFirst) {
    using FuntionImpl::CompareVersionTexts;
    EXPECT_EQ(CompareVersionTexts("4.7.03062", "4.8"), -1);
    EXPECT_EQ(CompareVersionTexts("4.8.09032", "4.8"), 1);
    EXPECT_EQ(CompareVersionTexts("4.8", "4.8.0.0"), 0);
    EXPECT_EQ(CompareVersionTexts("10.0", "9.9.9.9"), 1);
    EXPECT_EQ(CompareVersionTexts("", "0.0.0.1"), -1);
    // Leading digits of each part; non-numeric parts count 0; a fifth part is ignored.
    EXPECT_EQ(CompareVersionTexts("4.8beta", "4.8"), 0);
    EXPECT_EQ(CompareVersionTexts("4.x", "4.0"), 0);
    EXPECT_EQ(CompareVersionTexts("1.2.3.4.9", "1.2.3.4.1"), 0);
    // Absurdly long numbers neither overflow nor wrap around.
    EXPECT_EQ(CompareVersionTexts(std::string(400, '9'), "1"), 1);
}

// --- processes -------------------------------------------------------------------

class ProcessSearchTest : public SandboxedTest {
protected:
    // A copy of a long-running system program under a name of our choosing.
    pid_t Run(const std::string& relativePath) {
        const std::string path = temp_.str() + "/" + relativePath;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::filesystem::copy_file("/bin/sleep", path, std::filesystem::copy_options::overwrite_existing);
        ::chmod(path.c_str(), 0755);
        const pid_t pid = platform::SpawnProcess({path, "60"});
        started_.push_back(pid);
        // The name is visible once the program has been executed.
        Eventually([&] {
            for (const auto& process : platform::ListProcesses())
                if (process.pid == pid && process.executable == path) return true;
            return false;
        });
        return pid;
    }

    bool EndedByKill(pid_t pid) {
        const auto result = platform::WaitForProcess(pid, 20000);
        return result.exited && result.exitCode == 128 + SIGKILL;
    }

    void TearDown() override {
        for (const pid_t pid : started_) {
            platform::TerminateProcess(pid);
            platform::WaitForProcess(pid, 20000);
        }
    }

    std::vector<pid_t> started_;
};

TEST_F(ProcessSearchTest, EndsTheProcessRunningThatFile) {
    const pid_t pid = Run("product/ZmFixtureProduct.exe");
    EXPECT_EQ(FuntionImpl::FindProcessByFullPath(temp_.str() + "/product/ZMFIXTUREPRODUCT.EXE"), pid);
    EXPECT_TRUE(EndedByKill(pid));
    EXPECT_TRUE(log_.Has(" Find proc: " + std::to_string(pid)));
    EXPECT_TRUE(log_.Has(" Kill proc: 1, 0"));
}

TEST_F(ProcessSearchTest, EndsATemporaryCopyButNotAnotherInstallation) {
    const pid_t copy = Run("is-4T2.tmp/zmfixture.tmp");
    const pid_t other = Run("elsewhere/zmfixture.exe");
    EXPECT_EQ(FuntionImpl::FindProcessByFullPath(temp_.str() + "/package/zmfixture.exe"), copy);
    EXPECT_TRUE(EndedByKill(copy));
    // The same name in another folder is found, logged and left running.
    EXPECT_TRUE(log_.Has(" Find proc: " + std::to_string(other)));
    EXPECT_EQ(::kill(other, 0), 0);
    EXPECT_EQ(FuntionImpl::FindProcessByFullPath(temp_.str() + "/package/zmfixture.exe"), -1);
}

// Searching for our own program must not end us. Run as a copy under a name
// of its own, so that other test processes running this very binary at the
// same time are not in its way (they would be ended, as they should be).
TEST(ProcessSelfSearchTest, NeverEndsItself) {
    const std::string self = platform::CurrentExecutablePath();
    if (std::getenv("ZEMBRA_SELF_SEARCH") != nullptr) {
        EXPECT_EQ(FuntionImpl::FindProcessByFullPath(self), -1);
        return;
    }
    TempDir temp;
    const std::string copy = temp.str() + "/self-search.exe";
    std::filesystem::copy_file(self, copy);
    platform::SpawnOptions options;
    options.extraEnvironment = {"ZEMBRA_SELF_SEARCH=1"};
    const pid_t pid = platform::SpawnProcess({copy, "--gtest_filter=ProcessSelfSearchTest.NeverEndsItself"}, options);
    ASSERT_GT(pid, 0);
    const auto result = platform::WaitForProcess(pid, 120000);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0) << "the copy ended itself or failed its check";
}

TEST_F(ProcessSearchTest, NothingRunningThatFile) {
    EXPECT_EQ(FuntionImpl::FindProcessByFullPath(temp_.str() + "/no-such-program.exe"), -1);
}

// --- product start ---------------------------------------------------------------

class ProductStartTest : public SandboxedTest {
protected:
    // A product that writes its working folder to a marker file.
    std::string Product(const std::string& folder, bool executable = true) {
        const std::string path = temp_.WriteFile(folder + "/product.sh", "#!/bin/sh\npwd > \"" + Marker() + "\"\n");
        ::chmod(path.c_str(), executable ? 0755 : 0644);
        return path;
    }
    std::string Marker() const { return temp_.str() + "/started"; }
};

TEST_F(ProductStartTest, StartsInTheProductsFolderEitherWay) {
    for (const bool direct : {true, false}) {
        std::filesystem::remove(Marker());
        const std::string product = Product("install dir " + std::to_string(direct));
        EXPECT_EQ(FuntionImpl::StartTargetMainExe("\"" + product + "\"", direct), 0);
        ASSERT_TRUE(Eventually([&] { return ReadFile(Marker()).find('\n') != std::string::npos; }));
        EXPECT_EQ(ReadFile(Marker()), temp_.str() + "/install dir " + std::to_string(direct) + "\n");
    }
}

TEST_F(ProductStartTest, ARootRunStartsTheProductAsTheDesktopUserEitherWay) {
    if (::geteuid() != 0) GTEST_SKIP() << "only a root process changes user";
    constexpr uid_t kNobody = 65534;
    std::filesystem::permissions(temp_.path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
    ScopedEnv pkexec("PKEXEC_UID", "");
    ScopedEnv sudo("SUDO_UID", std::to_string(kNobody));
    for (const bool direct : {true, false}) {
        const std::string folder = temp_.str() + "/product " + std::to_string(direct);
        const std::string marker = folder + "/uid";
        const std::string product = temp_.WriteFile("product " + std::to_string(direct) + "/product.sh",
                                                    "#!/bin/sh\nid -u > \"" + marker + "\"\n");
        ::chmod(product.c_str(), 0755);
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
        EXPECT_EQ(FuntionImpl::StartTargetMainExe("\"" + product + "\"", direct), 0);
        ASSERT_TRUE(Eventually([&] { return !ReadFile(marker).empty(); })) << direct;
        EXPECT_EQ(ReadFile(marker), std::to_string(kNobody) + "\n") << "direct " << direct;
    }
}

TEST_F(ProductStartTest, FailuresAreLoggedAndReturned) {
    const std::string missing = "\"" + temp_.str() + "/gone/product\"";
    EXPECT_EQ(FuntionImpl::StartTargetMainExe(missing, false), -1);
    EXPECT_TRUE(log_.Has(" CreateProcess failed1 (2)"));
    EXPECT_EQ(FuntionImpl::StartTargetMainExe(missing, true), -1);
    EXPECT_TRUE(log_.Has("CreateProcess failed3 (2)"));
    const std::string notExecutable = "\"" + Product("plain", false) + "\"";
    EXPECT_EQ(FuntionImpl::StartTargetMainExe(notExecutable, false), -1);
    EXPECT_TRUE(log_.Has(" CreateProcess failed2 (13)"));
    EXPECT_EQ(FuntionImpl::StartTargetMainExe(notExecutable, true), -1);
    EXPECT_TRUE(log_.Has("CreateProcess failed3 (13)"));
}

// --- operating system --------------------------------------------------------------

TEST(OsNameTest, NameFromOsReleaseAndACurrentVersionNumber) {
    TempDir temp;
    ScopedEnv release("ZEMBRA_OS_RELEASE",
                      temp.WriteFile("os-release", "NAME=\"Zed OS\"\nVERSION_ID=\"3.1\"\nPRETTY_NAME=\"Zed OS 3.1 (Kite)\"\n"));
    float number = 0;
    EXPECT_EQ(FuntionImpl::GetOsNameAndVersion(number), "Zed OS 3.1 (Kite)");
    // Even a distribution numbered below 10 is no legacy Windows.
    EXPECT_FLOAT_EQ(number, 10.0f);
}

TEST(OsNameTest, WindowsRuleOrder) {
    using FuntionImpl::WindowsOsNameAndVersion;
    using FuntionImpl::WindowsVersionFacts;
    float number = -1;
    WindowsVersionFacts facts;
    facts.registryBuild = "22631";
    facts.kernelMajor = 10;
    EXPECT_EQ(WindowsOsNameAndVersion(facts, number), "Windows 11");
    EXPECT_FLOAT_EQ(number, 11.0f);
    // Without administrator rights the registry says nothing: Windows 10.
    facts.registryBuild = "";
    EXPECT_EQ(WindowsOsNameAndVersion(facts, number), "Windows 10");
    EXPECT_FLOAT_EQ(number, 10.0f);
    facts.registryBuild = "21999";
    EXPECT_EQ(WindowsOsNameAndVersion(facts, number), "Windows 10");
    facts.kernelMajor = 6;
    facts.kernelMinor = 3;
    EXPECT_EQ(WindowsOsNameAndVersion(facts, number), "Windows 8.1");
    EXPECT_FLOAT_EQ(number, 8.1f);
    // Older kernels fall through to the version table.
    facts.kernelMinor = 1;
    facts.query = {6, 1, true, false};
    EXPECT_EQ(WindowsOsNameAndVersion(facts, number), "Windows Server 2008 R2");
    EXPECT_FLOAT_EQ(number, 7.0f);
}

TEST(OsNameTest, VersionTable) {
    using platform::WindowsNameFromVersionTable;
    using platform::WindowsVersionQuery;
    const struct {
        WindowsVersionQuery query;
        const char* name;
        float number;
    } rows[] = {
        {{4, 0, true}, "Windows NT 4.0", 0.0f},
        {{4, 0, false}, "Windows 95", 0.0f},
        {{4, 10, false}, "Windows 98", 1.0f},
        {{4, 90, false}, "Microsoft Windows Me", 2.0f},
        {{5, 0}, "Windows 2000", 3.0f},
        {{5, 1}, "Windows XP", 4.0f},
        {{5, 2, true, true, true}, "Windows XP Professional x64 Edition", 5.0f},
        {{5, 2, true, false, true, true}, "Windows Server 2003 R2", 5.0f},
        {{5, 2, true, true, false}, "Windows Server 2003", 5.0f},
        {{6, 0}, "Windows Vista", 6.0f},
        {{6, 0, true, false}, "Windows Server 2008", 6.0f},
        {{6, 1}, "Windows 7", 7.0f},
        {{6, 2}, "Windows 8", 8.0f},
        {{6, 2, true, false}, "Windows Server 2012", 8.0f},
        {{3, 51}, "Error", 42.0f},
        {{10, 0}, "Error", 42.0f},
        {{6, 7}, "", 42.0f},
    };
    for (const auto& row : rows) {
        const auto named = WindowsNameFromVersionTable(row.query, 42.0f);
        EXPECT_EQ(named.name, row.name) << row.query.major << "." << row.query.minor;
        EXPECT_FLOAT_EQ(named.number, row.number) << row.name;
    }
}

TEST_F(SandboxedTest, Windows11FromTheRegistryBuildNumber) {
    EXPECT_FALSE(FuntionImpl::IsWindows11());
    const char* key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, key, "CurrentBuildNumber", "22000"));
    EXPECT_TRUE(FuntionImpl::IsWindows11());
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, key, "CurrentBuild", "19045"));
    EXPECT_FALSE(FuntionImpl::IsWindows11());
    // The 32-bit view's key wins when it exists.
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine,
                                           "SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion",
                                           "CurrentBuild", "22621"));
    EXPECT_TRUE(FuntionImpl::IsWindows11());
}

// --- version note ------------------------------------------------------------------

TEST(FileProductInfoTest, FromOurOwnVersionNote) {
    const auto info = FuntionImpl::GetFileProductInfo(platform::CurrentExecutablePath());
    EXPECT_EQ(info.productName, "Zembra Morvanta Setup");
    EXPECT_EQ(info.productVersion, "2.9.0.0");
    EXPECT_FALSE(info.legalCopyright.empty());
    EXPECT_EQ(info.fileDescription, "Zembra Morvanta online installer");
    EXPECT_EQ(FuntionImpl::GetFileVersionString(platform::CurrentExecutablePath()), "2.9.0.0");

    const auto none = FuntionImpl::GetFileProductInfo("/bin/true");
    EXPECT_TRUE(none.productName.empty() && none.productVersion.empty() && none.legalCopyright.empty() &&
                none.fileDescription.empty());
}

// --- time, registry, folders ----------------------------------------------------------

TEST(ChinaStandardTimeTest, EightHoursAheadOfUtcWithoutDaylightSaving) {
    EXPECT_EQ(FuntionImpl::ChinaStandardTimeOf(0), "1970-01-01 08:00:00");
    EXPECT_EQ(FuntionImpl::ChinaStandardTimeOf(1717200000), "2024-06-01 08:00:00");
    EXPECT_EQ(FuntionImpl::ChinaStandardTimeOf(1704052800), "2024-01-01 04:00:00");  // 2023-12-31 20:00 UTC
    EXPECT_EQ(FuntionImpl::ChinaStandardTimeOf(1720000000), "2024-07-03 17:46:40");  // summer: still +8
    EXPECT_EQ(FuntionImpl::GetChinaStandardTime().size(), 19u);
}

TEST_F(SandboxedTest, HklmTextValues) {
    const std::string key = "SOFTWARE\\Quenrick\\Downloader2.5.0";
    EXPECT_EQ(FuntionImpl::ReadHklmString(key, "GA_PC"), "");
    EXPECT_TRUE(FuntionImpl::WriteHklmString(key, "GA_PC", "1"));
    EXPECT_EQ(FuntionImpl::ReadHklmString(key, "GA_PC"), "1");
    EXPECT_EQ(FuntionImpl::ReadHklmString("software\\quenrick\\downloader2.5.0", "GA_PC"), "1");
    // A value too large for the registry value buffer reads as a failure, not a cut text.
    EXPECT_TRUE(FuntionImpl::WriteHklmString(key, "Long", std::string(300, 'a')));
    EXPECT_EQ(FuntionImpl::ReadHklmString(key, "Long"), "");
    EXPECT_TRUE(FuntionImpl::WriteHklmString(key, "Fits", std::string(259, 'a')));
    EXPECT_EQ(FuntionImpl::ReadHklmString(key, "Fits"), std::string(259, 'a'));
}

TEST(CreateDirectoryTreeTest, CreatesEveryLevel) {
    TempDir temp;
    EXPECT_EQ(FuntionImpl::CreateDirectoryTree(temp.str() + "/QKDownloader/logs/run 1"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(temp.str() + "/QKDownloader/logs/run 1"));
    EXPECT_EQ(FuntionImpl::CreateDirectoryTree(temp.str() + "/QKDownloader/logs/run 1/"), 0);
}

// A tmpfs with no inode to spare beyond its root: the first folder finds the disk full.
TEST(CreateDirectoryTreeTest, FullDiskIsReportedAs112) {
    TempDir temp;
    const auto result = testsupport::InPrivateMounts([&temp]() -> std::string {
        if (!testsupport::MountTmpfs(temp.str(), 1 << 20, false, "nr_inodes=1")) return "no tmpfs";
        return std::to_string(FuntionImpl::CreateDirectoryTree(temp.str() + "/QKDownloader/logs"));
    });
    if (!result) GTEST_SKIP() << "no user namespace for a private tmpfs here";
    EXPECT_EQ(*result, "112");
}

// --- text ------------------------------------------------------------------------------

TEST(TextConversionTest, RoundTripsValidText) {
    const std::string text = "Zürich 東京 \xF0\x9F\x8E\x89 ok";
    const std::wstring wide = FuntionImpl::Utf8ToWide(text);
    EXPECT_EQ(wide, L"Zürich 東京 \U0001F389 ok");
    EXPECT_EQ(FuntionImpl::WideToUtf8(wide), text);
    EXPECT_EQ(FuntionImpl::AnsiToUtf8(text), text);
    EXPECT_EQ(FuntionImpl::WideToUtf8(std::string_view()), "");
}

TEST(TextConversionTest, InvalidInputIsReplacedNeverPassedOn) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(FuntionImpl::AnsiToUtf8("a\xFF" "b"), "a" + replacement + "b");
    EXPECT_EQ(FuntionImpl::AnsiToUtf8("\xE6\x9D"), replacement);                    // cut short
    EXPECT_EQ(FuntionImpl::AnsiToUtf8("\xE6\x9D" "A"), replacement + "A");         // next character kept
    EXPECT_EQ(FuntionImpl::AnsiToUtf8("\xC0\xAF"), replacement + replacement);     // overlong "/"
    EXPECT_EQ(FuntionImpl::AnsiToUtf8("\xED\xA0\x80"), replacement + replacement + replacement);  // surrogate
    EXPECT_EQ(FuntionImpl::AnsiToUtf8("\xF4\x90\x80\x80").substr(0, 3), replacement);  // beyond U+10FFFF
    EXPECT_EQ(FuntionImpl::Utf8ToWide("\x80"), L"\uFFFD");
    const wchar_t broken[] = {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), 0};
    EXPECT_EQ(FuntionImpl::WideToUtf8(std::wstring_view(broken)), "a" + replacement + replacement);
}

// --- screen ----------------------------------------------------------------------------

TEST(ScreenScaleTest, ReadsWhatTheDesktopSays) {
    using FuntionImpl::ScreenScaleFrom;
    using FuntionImpl::ScreenSources;
    ScreenSources sources;
    sources.gdkScale = "2";
    sources.outputModes = "2560x1440\n1920x1080\n";
    auto screen = ScreenScaleFrom(sources);
    EXPECT_DOUBLE_EQ(screen.scale, 1.0) << "no display, no scale";
    EXPECT_EQ(screen.width, 0);

    sources.hasDisplay = true;
    screen = ScreenScaleFrom(sources);
    EXPECT_DOUBLE_EQ(screen.scale, 2.0);
    EXPECT_EQ(screen.width, 2560);
    EXPECT_EQ(screen.height, 1440);

    sources.gdkScale = "";
    sources.xresources = "! comment\nXft.antialias: 1\nXft.dpi:\t144\n";
    EXPECT_DOUBLE_EQ(ScreenScaleFrom(sources).scale, 1.5);
    sources.gdkScale = "banana";
    sources.xresources = "Xft.dpi: 100000\n";
    EXPECT_DOUBLE_EQ(ScreenScaleFrom(sources).scale, 1.0);
    sources.outputModes = "garbage";
    EXPECT_EQ(ScreenScaleFrom(sources).width, 0);
}

}  // namespace

namespace {

TEST(FirewallTest, RecordsTheProgramOnceAndSaysWhatItDid) {
    TempDir temp;
    ScopedEnv registry("ZEMBRA_REGISTRY_DIR", temp.str() + "/registry");
    const std::string program = "/opt/Zembra Morvanta/ZembraMorvantaSetup";
    testing::internal::CaptureStdout();
    EXPECT_EQ(FuntionImpl::AuthorizeInFirewall(program), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Authorized application " + program + " is disabled in the firewall.\n"
              "Authorized application " + program + " is now enabled in the firewall.\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(FuntionImpl::AuthorizeInFirewall(program), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Authorized application " + program + " is enabled in the firewall.\n");
}

}  // namespace
