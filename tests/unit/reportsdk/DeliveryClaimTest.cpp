#include <gtest/gtest.h>

#include <memory>

#include "reportsdk/DeliveryClaim.h"
#include "support/TempDir.h"

namespace {

struct ClaimFixture : ::testing::Test {
    testsupport::TempDir dir;
    std::unique_ptr<DeliveryClaim> Claim() {
        return std::make_unique<DeliveryClaim>(dir.str() + "/tempga.wk.lock", dir.str() + "/tempga.wk.claim");
    }
};

}  // namespace

TEST_F(ClaimFixture, OnlyTheFirstRunningProcessTakesTheHistory) {
    auto first = Claim();
    int readings = 0;
    EXPECT_TRUE(first->ClaimForRun([&] { ++readings; }));
    EXPECT_EQ(readings, 1);
    EXPECT_TRUE(first->Registered());

    auto second = Claim();
    EXPECT_FALSE(second->ClaimForRun([&] { ++readings; }));
    EXPECT_EQ(readings, 1);
    EXPECT_TRUE(second->Registered());

    // With one of them gone the other still runs: nobody may take the history.
    first.reset();
    auto third = Claim();
    EXPECT_FALSE(third->ClaimForRun(nullptr));
}

TEST_F(ClaimFixture, ResendWaitsUntilNoProcessOfTheProductRuns) {
    auto running = Claim();
    running->ClaimForRun(nullptr);
    auto resend = Claim();
    bool read = false;
    EXPECT_FALSE(resend->TryClaimExclusive([&] { read = true; }));
    EXPECT_FALSE(read);

    running.reset();
    EXPECT_TRUE(resend->TryClaimExclusive([&] { read = true; }));
    EXPECT_TRUE(read);
    EXPECT_TRUE(resend->Exclusive());

    // A second resend process finds the history taken.
    EXPECT_FALSE(Claim()->TryClaimExclusive(nullptr));
}

TEST_F(ClaimFixture, ProcessStartedDuringAResendRegistersOnceItEnds) {
    auto resend = Claim();
    ASSERT_TRUE(resend->TryClaimExclusive(nullptr));
    auto late = Claim();
    EXPECT_FALSE(late->ClaimForRun(nullptr));
    EXPECT_FALSE(late->Registered());
    late->RetryRegistration();
    EXPECT_FALSE(late->Registered());

    resend.reset();
    late->RetryRegistration();
    EXPECT_TRUE(late->Registered());
    // Registered, it keeps the next resend process away from its entries.
    EXPECT_FALSE(Claim()->TryClaimExclusive(nullptr));
}
