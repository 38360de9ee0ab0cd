#include <gtest/gtest.h>

#include "reportsdk/RepeatDetector.h"

namespace {

std::string Key(const char* kind, std::int64_t ms, const char* action = "1.Launch") {
    return RepeatKey::Make(kind, ms, "Download", action);
}

constexpr std::int64_t kStart = 1700000000000;

}  // namespace

TEST(RepeatKeyTest, KeyCarriesKindTimeCategoryAndAction) {
    EXPECT_EQ(Key("2", kStart), "2::1700000000000::Download::1.Launch");
    const RepeatKey::Parts parts = RepeatKey::Split(Key("1", kStart + 5));
    EXPECT_EQ(parts.kindPrefix, "1::");
    EXPECT_EQ(parts.time, "1700000000005");
    EXPECT_EQ(parts.rest, "::Download::1.Launch");
}

TEST(RepeatDetectorTest, TwelfthEqualEventWithinAMinuteIsAFlood) {
    RepeatDetector detector;
    for (int i = 0; i < 11; ++i) EXPECT_FALSE(RepeatDetector::IsFlood(detector.CountAndRecord(Key("2", kStart + i))));
    const int twelfth = detector.CountAndRecord(Key("2", kStart + 11));
    EXPECT_EQ(twelfth, 11);
    EXPECT_TRUE(RepeatDetector::IsFlood(twelfth));
    // Dropped keys count as well, so the flood stays dropped.
    EXPECT_EQ(detector.CountAndRecord(Key("2", kStart + 12)), 12);
}

TEST(RepeatDetectorTest, OnlySameKindCategoryAndActionCount) {
    RepeatDetector detector;
    for (int i = 0; i < 11; ++i) detector.CountAndRecord(Key("2", kStart + i));
    EXPECT_EQ(detector.CountAndRecord(Key("1", kStart + 20)), 0);
    EXPECT_EQ(detector.CountAndRecord(Key("2", kStart + 21, "2.DownStart")), 0);
    EXPECT_EQ(detector.CountAndRecord(Key("2", kStart + 22)), 11);
}

TEST(RepeatDetectorTest, KeysMoreThanSixtyWholeSecondsAwayEndTheSearch) {
    RepeatDetector detector;
    for (int i = 0; i < 11; ++i) detector.CountAndRecord(Key("2", kStart + i));
    // 60.999 s after the last one is still within 60 whole seconds of it...
    EXPECT_EQ(detector.CountAndRecord(Key("2", kStart + 10 + 60999)), 1);
    // ...while a key more than 60 s after everything starts afresh.
    RepeatDetector later;
    for (int i = 0; i < 11; ++i) later.CountAndRecord(Key("2", kStart + i));
    EXPECT_EQ(later.CountAndRecord(Key("2", kStart + 10 + 61000)), 0);
}

TEST(RepeatDetectorTest, OldKeysArePrunedButRecentOnesKept) {
    RepeatDetector detector;
    for (int i = 0; i < 1000; ++i) detector.CountAndRecord(Key("1", kStart + i * 1000LL, "x"));
    EXPECT_LE(detector.RecordedCount(), 62u);
    EXPECT_GE(detector.RecordedCount(), 60u);
}
