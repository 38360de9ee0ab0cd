#pragma once
// A test suite that shares one devserver among its tests: started before the
// first test, stopped after the last, and every test begins without the
// rules an earlier one set.
//
//   class MyTest : public testsupport::DevServerSuite {
//   protected:
//       static void SetUpTestSuite() { StartServer({false, ""}); }
//   };
#include <memory>

#include <gtest/gtest.h>

#include "support/DevServer.h"

namespace testsupport {

class DevServerSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartServer(DevServer::Options{}); }
    static void TearDownTestSuite() { server_.reset(); }
    static void StartServer(const DevServer::Options& options) { server_ = std::make_unique<DevServer>(options); }

    void SetUp() override {
        ASSERT_TRUE(server_->Started()) << server_->Output();
        server_->ClearRules();
    }

    static inline std::unique_ptr<DevServer> server_;
};

}  // namespace testsupport
