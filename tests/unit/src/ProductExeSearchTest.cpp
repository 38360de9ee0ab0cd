#include <gtest/gtest.h>

#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "support/TempDir.h"

namespace {

TEST(ProductExeSearchTest, TheInstallFolderFirstThenBelowIt) {
    testsupport::TempDir dir;
    EXPECT_EQ(InstallUIMainWnd::FindProductExe(dir.str(), "Product.exe"), "");
    const std::string nested = dir.WriteFile("bin/x64/Product.exe", "");
    dir.WriteFile("bin/Other.exe", "");
    // Blanks around the folder are not part of it.
    EXPECT_EQ(InstallUIMainWnd::FindProductExe("  " + dir.str() + " ", "Product.exe"), nested);
    const std::string direct = dir.WriteFile("Product.exe", "");
    EXPECT_EQ(InstallUIMainWnd::FindProductExe(dir.str(), "Product.exe"), direct);
    EXPECT_EQ(InstallUIMainWnd::FindProductExe(dir.str(), ""), "");
}

}  // namespace
