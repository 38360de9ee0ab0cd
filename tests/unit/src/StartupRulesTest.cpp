#include <gtest/gtest.h>

#include "Common/wWndMain.h"

using startup::ParseCommandLine;
using startup::RunMode;

TEST(CommandLineTest, DebugMustMatchExactly) {
    EXPECT_TRUE(ParseCommandLine("debug").openConsole);
    EXPECT_FALSE(ParseCommandLine("debug now").openConsole);
    EXPECT_FALSE(ParseCommandLine("DEBUG").openConsole);
    EXPECT_FALSE(ParseCommandLine("").openConsole);
    EXPECT_EQ(ParseCommandLine("debug").mode, RunMode::Wizard);
}

TEST(CommandLineTest, CrashModeTakesTheRestAsLogName) {
    const auto request = ParseCommandLine("-dmp run_20261209101010123.log");
    EXPECT_EQ(request.mode, RunMode::CrashDiagnostics);
    EXPECT_EQ(request.catalogue, "CrashDmp");
    EXPECT_EQ(request.logFileName, "run_20261209101010123.log");
    EXPECT_EQ(ParseCommandLine("x -dmp a b.log").logFileName, "a b.log");
    EXPECT_EQ(ParseCommandLine("-dmp").mode, RunMode::Wizard) << "the marker includes its blank";
}

TEST(CommandLineTest, CrashModeWinsOverCloseMode) {
    EXPECT_EQ(ParseCommandLine("-close01 a.log -dmp b.log").mode, RunMode::CrashDiagnostics);
    EXPECT_EQ(ParseCommandLine("-close01 a.log -dmp b.log").logFileName, "b.log");
}

TEST(CommandLineTest, CloseModeReadsCatalogueAndNameByPosition) {
    const auto request = ParseCommandLine("-close03 run_20261209101010123.log");
    EXPECT_EQ(request.mode, RunMode::CloseDiagnostics);
    EXPECT_EQ(request.catalogue, "close03");
    EXPECT_EQ(request.logFileName, "run_20261209101010123.log");
    // Short forms must not read past the end.
    EXPECT_EQ(ParseCommandLine("-close").logFileName, "");
    EXPECT_EQ(ParseCommandLine("-close").catalogue, "close");
}

TEST(CommandLineTest, ArgumentsAreJoinedLikeAProgramCommandLine) {
    char program[] = "ZembraMorvantaSetup";
    char first[] = "-close01";
    char second[] = "a.log";
    char* argv[] = {program, first, second};
    EXPECT_EQ(startup::CommandLineFromArgs(3, argv), "-close01 a.log");
    char blank[] = " debug";
    char* withBlank[] = {program, blank};
    EXPECT_EQ(startup::CommandLineFromArgs(2, withBlank), "debug");
    EXPECT_EQ(startup::CommandLineFromArgs(1, argv), "");
}

TEST(StartupLabelsTest, ValuesAreTakenByLabelName) {
    const auto labels = startup::StartupLabelsFrom({{"Downloader_id", "499abc"},
                                                    {"Site_id", "412"},
                                                    {"Software_name", "Zembra Morvanta"},
                                                    {"Software_version", "1.0.0.0"},
                                                    {"MainPid", "8656"},
                                                    {"Support32System", "0"},
                                                    {"Unknown", "ignored"}});
    EXPECT_EQ(labels.downloaderIdText, "499abc");
    EXPECT_EQ(labels.downloaderId, 499);
    EXPECT_EQ(labels.siteId, 412);
    EXPECT_EQ(labels.mainPid, 8656);
    EXPECT_EQ(labels.softwareName, "Zembra Morvanta");
    EXPECT_EQ(labels.support32System, "0");
    EXPECT_EQ(startup::StartupLabelsFrom({{"Downloader_id", "x"}}).downloaderId, 0);
}

TEST(StartupLabelsTest, FirstNonCdnAddressInFileOrderIsTheStartupAddress) {
    const std::string cdn = "https://cdn.example.com/a/pkg.exe";
    const std::string dl = "https://dl.example.com/a/pkg.exe";
    const std::string direct = "https://download.example.com/a/pkg.exe";
    EXPECT_EQ(startup::StartupLabelsFrom({{"Download_url", cdn}, {"Extra_download_url", direct}}).startupDownloadUrl,
              direct);
    EXPECT_EQ(startup::StartupLabelsFrom({{"Extra_download_url", direct}, {"Download_url", "https://x.com/b.exe"}})
                  .startupDownloadUrl,
              direct)
        << "file order decides, not the label name";
    EXPECT_EQ(startup::StartupLabelsFrom({{"Download_url", cdn}, {"Extra_download_url", dl}}).startupDownloadUrl, "");
}

TEST(StartupLabelsTest, RunNameIsThePackageNameWithoutExtension) {
    EXPECT_EQ(startup::RunNameOf("https://h.com/downloads/extra/zembramorvanta_zembram.exe"), "zembramorvanta_zembram");
    EXPECT_EQ(startup::RunNameOf("https://h.com/a/pkg.tar.gz"), "pkg");
    EXPECT_EQ(startup::RunNameOf("https://h.com/a/noextension"), "");
    EXPECT_EQ(startup::RunNameOf("no-slash.exe"), "");
    EXPECT_EQ(startup::RunNameOf(""), "");
}
