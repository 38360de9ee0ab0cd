#include <gtest/gtest.h>

#include "Common/install_ui_mainwnd/CloseReport.h"

namespace {

WizardPageState Running(int progress) {
    WizardPageState state;
    state.runningPage = true;
    state.progress = progress;
    return state;
}

TEST(CloseReportTest, TheRunningPageSplitsByTheBar) {
    EXPECT_EQ(CloseReportFor(Running(84)).code, "close02");
    EXPECT_EQ(CloseReportFor(Running(85)).code, "close04");
    EXPECT_EQ(CloseReportFor(Running(90)).code, "close04");
    const CloseReport installing = CloseReportFor(Running(91));
    EXPECT_EQ(installing.code, "close03");
    EXPECT_EQ(installing.flowName, "Installing");
    EXPECT_EQ(installing.since, CloseReport::Since::DownloadFinished);
    EXPECT_EQ(CloseReportFor(Running(10)).since, CloseReport::Since::InstallClicked);
}

TEST(CloseReportTest, TheSettingPageByItsSubPage) {
    const CloseReport before = CloseReportFor({});
    EXPECT_EQ(before.code, "close01");
    EXPECT_EQ(before.since, CloseReport::Since::WindowOpened);

    WizardPageState end;
    end.endSubPage = true;
    EXPECT_EQ(CloseReportFor(end).code, "close06");
    end.productStarted = true;
    EXPECT_EQ(CloseReportFor(end).code, "close07");
    end.failureShown = true;
    const CloseReport failed = CloseReportFor(end);
    EXPECT_EQ(failed.code, "close05");
    EXPECT_TRUE(failed.action.empty()) << "no running-time report after the run";
}

}  // namespace
