#include <gtest/gtest.h>
#include <set>

#include "FlowErrorCodes.h"
#include "support/TempDir.h"

namespace {

TEST(FlowErrorCodesTest, DownloadResultsMapToTheirCodes) {
    using FlowError::CodeForDownloadResult;
    EXPECT_EQ(CodeForDownloadResult(1), "");
    EXPECT_EQ(CodeForDownloadResult(6), "DL012");
    EXPECT_EQ(CodeForDownloadResult(7), "DL027");
    EXPECT_EQ(CodeForDownloadResult(8), "DL028");
    EXPECT_EQ(CodeForDownloadResult(9), "DL010");
    EXPECT_EQ(CodeForDownloadResult(10), "DL011");
    EXPECT_EQ(CodeForDownloadResult(11), "DL029");
    EXPECT_EQ(CodeForDownloadResult(12), "DL030");
    EXPECT_EQ(CodeForDownloadResult(13), "DL022");
    EXPECT_EQ(CodeForDownloadResult(15), "DL031");
    for (const int other : {0, 2, 14, 16, -1}) EXPECT_EQ(CodeForDownloadResult(other), "DL017") << other;
}

TEST(FlowErrorCodesTest, CodesAreDistinctAndWellFormed) {
    const char* all[] = {FlowError::kQueryTimedOut,        FlowError::kQueryHostUnresolved,
                         FlowError::kPrivacyLinkMissing,   FlowError::kTermsLinkMissing,
                         FlowError::kNotEnoughSpace,       FlowError::kInstallFolderFailed,
                         FlowError::kNetworkNotAlive,      FlowError::kNoSpeedTimeout,
                         FlowError::kContentLengthFailed,  FlowError::kMd5Mismatch,
                         FlowError::kSignatureInvalid,     FlowError::kMd5AndSignatureFailed,
                         FlowError::kSetupTimedOut,        FlowError::kDownloadFailedOther,
                         FlowError::kProductStartFailed,   FlowError::kTooManyRedirects,
                         FlowError::kNoPackageAddress,     FlowError::kProductRunning,
                         FlowError::kTaskFileLengthChanged, FlowError::kTaskFileInconsistent,
                         FlowError::kOpenLocalFileFailed,  FlowError::kNoDownloadThread,
                         FlowError::kCdnFailed,            FlowError::kLengthLessThanRemote,
                         FlowError::kFileTooSmall};
    std::set<std::string> seen;
    for (const char* code : all) {
        const std::string text = code;
        EXPECT_EQ(text.size(), 5u);
        EXPECT_EQ(text.substr(0, 2), "DL");
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 25u);
    // The numbers never used stay unused.
    for (const char* unused : {"DL001", "DL006", "DL007", "DL018", "DL020", "DL021"})
        EXPECT_EQ(seen.count(unused), 0u) << unused;
}

TEST(FlowErrorCodesTest, AutoRunSuppressesTheReport) {
    testsupport::TempDir temp;
    testsupport::ScopedEnv settings("ZEMBRA_SETTINGS_FILE", temp.WriteFile("qk_downloader.cfg", "[Settings]\nAutoRun=1\n"));
    EXPECT_EQ(FlowError::ReportFlowError(FlowError::kNoSpeedTimeout), -99);
}

}  // namespace
