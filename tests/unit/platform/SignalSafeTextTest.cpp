#include <gtest/gtest.h>

#include <ctime>
#include <cstring>

#include "platform/SignalSafeText.h"

using platform::CivilTime;
using platform::CivilTimeFrom;
using platform::SignalSafeText;

TEST(SignalSafeTextTest, CivilTimeAgreesWithTheCLibraryAcrossCenturies) {
    // Every ~3 days from 1901 to 2099 (leap years, century rules, the epoch,
    // negative times), and a fixed offset both ways.
    for (std::int64_t seconds = -2177452800LL; seconds < 4102444800LL; seconds += 260017) {
        for (const long offset : {0L, 3600L, -34200L}) {
            const time_t shifted = static_cast<time_t>(seconds + offset);
            tm expected{};
            ASSERT_NE(gmtime_r(&shifted, &expected), nullptr);
            const CivilTime actual = CivilTimeFrom(seconds, 7, offset);
            ASSERT_EQ(actual.year, expected.tm_year + 1900) << seconds;
            ASSERT_EQ(actual.month, expected.tm_mon + 1) << seconds;
            ASSERT_EQ(actual.day, expected.tm_mday) << seconds;
            ASSERT_EQ(actual.hour, expected.tm_hour) << seconds;
            ASSERT_EQ(actual.minute, expected.tm_min) << seconds;
            ASSERT_EQ(actual.second, expected.tm_sec) << seconds;
            ASSERT_EQ(actual.millisecond, 7);
        }
    }
}

TEST(SignalSafeTextTest, LocalTimeUsesTheOffsetMeasuredBeforehand) {
    const long offset = platform::CurrentUtcOffsetSeconds();
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(offset, local.tm_gmtoff);
    const CivilTime safe = platform::SignalSafeLocalTime(offset);
    // The same calendar day unless the test straddles midnight.
    if (local.tm_hour != 23 || local.tm_min != 59) {
        EXPECT_EQ(safe.year, local.tm_year + 1900);
        EXPECT_EQ(safe.day, local.tm_mday);
    }
}

TEST(SignalSafeTextTest, FormatsStampsAndLogTimesWithZeroPadding) {
    const CivilTime time{2026, 3, 4, 5, 6, 7, 8};
    char buffer[64];
    SignalSafeText stamp(buffer, sizeof buffer);
    stamp.AppendStamp17(time);
    EXPECT_STREQ(stamp.c_str(), "20260304050607008");
    SignalSafeText logTime(buffer, sizeof buffer);
    logTime.AppendLogDateTime(time);
    EXPECT_STREQ(logTime.c_str(), "2026-03-04 05:06:07,008");
}

TEST(SignalSafeTextTest, NumbersAndCutOffText) {
    char buffer[64];
    SignalSafeText text(buffer, sizeof buffer);
    text.AppendSigned(-42).AppendChar(' ').AppendUnsigned(0).AppendChar(' ').AppendSigned(INT64_MIN);
    text.AppendChar(' ').AppendUnsigned(UINT64_MAX).AppendChar(' ').AppendUnsigned(7, 3);
    EXPECT_STREQ(text.c_str(), "-42 0 -9223372036854775808 18446744073709551615 007");
    EXPECT_FALSE(text.truncated());

    char small[8];
    std::memset(small, 'x', sizeof small);
    SignalSafeText cut(small, 6);
    cut.Append("abcdefgh");
    EXPECT_STREQ(cut.c_str(), "abcde");
    EXPECT_TRUE(cut.truncated());
    EXPECT_EQ(small[6], 'x') << "nothing written past the capacity";

    char fixed[4];
    EXPECT_TRUE(platform::CopyToFixedBuffer(fixed, sizeof fixed, "abc", 3));
    EXPECT_STREQ(fixed, "abc");
    EXPECT_FALSE(platform::CopyToFixedBuffer(fixed, sizeof fixed, "abcd", 4));
    EXPECT_STREQ(fixed, "");
}
