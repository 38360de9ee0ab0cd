#include <gtest/gtest.h>

#include <dlfcn.h>

#include "reportsdk/WebLog.h"

TEST(ReportObjTest, FactoryFunctionsAreExportedAndTheObjectIsOne) {
    EXPECT_NE(dlsym(RTLD_DEFAULT, "GetReportObj"), nullptr);
    EXPECT_NE(dlsym(RTLD_DEFAULT, "DestroyReportObj"), nullptr);
    IWebLog* object = GetReportObj();
    EXPECT_EQ(GetReportObj(), object);
    {
        ReportObjLease lease;
        EXPECT_EQ(lease.get(), object);
    }
    EXPECT_TRUE(ReleaseReportObj());
    EXPECT_EQ(ReportObjLease().get(), nullptr);
    EXPECT_FALSE(ReleaseReportObj());
}

