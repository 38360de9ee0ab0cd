#include <clocale>

#include <gtest/gtest.h>

#include "platform/AsciiText.h"

namespace {

TEST(AsciiTextTest, FoldsOnlyAsciiLettersWhateverTheLocale) {
    // A UTF-8 locale must not change what happens to the bytes of "İ" or "ß".
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const std::string mixed = "Content-RANGE \xC4\xB0z \xC3\x9F";
    EXPECT_EQ(platform::AsciiLower(mixed), "content-range \xC4\xB0z \xC3\x9F");
    EXPECT_EQ(platform::AsciiUpper(mixed), "CONTENT-RANGE \xC4\xB0Z \xC3\x9F");
    std::setlocale(LC_CTYPE, "C");
}

TEST(AsciiTextTest, TrimsBlanksAtBothEndsOnly) {
    EXPECT_EQ(platform::TrimBlanks(" \t key = a b \r\n"), "key = a b");
    EXPECT_EQ(platform::TrimBlanks(" \r\n\t "), "");
    EXPECT_EQ(platform::TrimBlanks(""), "");
    EXPECT_EQ(platform::TrimBlanks("x"), "x");
}

}  // namespace
