#include "reportsdk/DeviceFacts.h"

#include <chrono>
#include <gtest/gtest.h>
#include <regex>
#include <set>

#include "support/TempDir.h"

namespace {

using DeviceFacts::NetworkAdapter;

TEST(DeviceFactsTest, LibraryOsNameRuleOnWindows) {
    DeviceFacts::WindowsFacts facts;
    // The program declares no OS compatibility, so Windows 8.1 and later say 6.2.
    facts.query = {6, 2};
    facts.kernelMajor = 10;
    facts.build = 19045;
    facts.sixtyFourBit = true;
    EXPECT_EQ(DeviceFacts::LibraryWindowsOsName(facts), "Windows 10-64");
    facts.build = 22000;
    EXPECT_EQ(DeviceFacts::LibraryWindowsOsName(facts), "Windows 11-64");
    facts.kernelMajor = 6;
    facts.kernelMinor = 3;
    facts.sixtyFourBit = false;
    EXPECT_EQ(DeviceFacts::LibraryWindowsOsName(facts), "Windows 8.1-32");
    facts.kernelMinor = 1;
    facts.query = {6, 1};
    EXPECT_EQ(DeviceFacts::LibraryWindowsOsName(facts), "Windows 7-32");
    facts.query = {5, 1};
    EXPECT_EQ(DeviceFacts::LibraryWindowsOsName(facts), "Windows XP-32");
    facts.query = {7, 0};
    EXPECT_EQ(DeviceFacts::LibraryWindowsOsName(facts), "Error-32");
}

TEST(DeviceFactsTest, LibraryOsNameAndVersionTextOnLinux) {
    platform::OsRelease release;
    release.prettyName = "Debian GNU/Linux 12 (bookworm)";
    release.versionId = "12";
    EXPECT_EQ(DeviceFacts::LibraryOsNameOf(release, true), "Debian GNU/Linux 12 (bookworm)-64");
    EXPECT_EQ(DeviceFacts::LibraryOsNameOf(platform::OsRelease{}, false), "Linux-32");

    EXPECT_EQ(DeviceFacts::OsVersionTextOf(release, "6.1.0-18-amd64"), "12(6.1.0-18-amd64)");
    release.buildId = "20240601";
    EXPECT_EQ(DeviceFacts::OsVersionTextOf(release, "6.1.0"), "12(20240601)");
    // No display version: only the build in brackets; nothing known: nothing.
    EXPECT_EQ(DeviceFacts::OsVersionTextOf(platform::OsRelease{}, "6.1.0"), "(6.1.0)");
    EXPECT_EQ(DeviceFacts::OsVersionTextOf(platform::OsRelease{}, ""), "");

    const std::string live = DeviceFacts::LibraryOsName();
    EXPECT_TRUE(live.ends_with("-64") || live.ends_with("-32")) << live;
}

TEST(DeviceFactsTest, MacAddressFromTheFirstAdapter) {
    EXPECT_EQ(DeviceFacts::MacAddressTextOf({}), "");
    EXPECT_EQ(DeviceFacts::MacAddressTextOf({{"eth0", {0x02, 0xfc, 0x00, 0x00, 0x0a, 0xb1}},
                                             {"eth1", {1, 2, 3, 4, 5, 6}}}),
              "02:FC:00:00:0A:B1");
    // A first adapter without an address gives way to the first with six bytes.
    EXPECT_EQ(DeviceFacts::MacAddressTextOf({{"tun0", {}}, {"ib0", {1, 2, 3, 4, 5, 6, 7, 8}},
                                             {"eth0", {0xde, 0xad, 0xbe, 0xef, 0x00, 0x01}}}),
              "DE:AD:BE:EF:00:01");
    // The first adapter's whole address counts, whatever its length.
    EXPECT_EQ(DeviceFacts::MacAddressTextOf({{"ib0", {1, 2, 3, 4, 5, 6, 7, 8}}}), "01:02:03:04:05:06:07:08");
    EXPECT_EQ(DeviceFacts::MacAddressTextOf({{"tun0", {}}, {"ib0", {1, 2, 3}}}), "");

    const std::string live = DeviceFacts::MacAddressText();
    EXPECT_TRUE(live.empty() || std::regex_match(live, std::regex("[0-9A-F]{2}(:[0-9A-F]{2})+"))) << live;
}

TEST(DeviceFactsTest, VolumeIdAndSerialForms) {
    EXPECT_EQ(DeviceFacts::GuidTextOfMachineId("0123456789ABCDEF0123456789abcdef"),
              "01234567-89ab-cdef-0123-456789abcdef");
    EXPECT_EQ(DeviceFacts::GuidTextOfMachineId("0123456789abcdef"), "");
    EXPECT_EQ(DeviceFacts::GuidTextOfMachineId("0123456789abcdef0123456789abcdeX"), "");

    EXPECT_EQ(DeviceFacts::SerialTextOf("00a1b2c3ffffffffffffffffffffffff"), "A1B2C3");
    EXPECT_EQ(DeviceFacts::SerialTextOf("1234-5678-9abc"), "12345678");
    EXPECT_EQ(DeviceFacts::SerialTextOf("1234"), "");
    EXPECT_EQ(DeviceFacts::SerialTextOf("12g45678"), "");

    const std::string id = DeviceFacts::VolumeId();
    EXPECT_TRUE(id.empty() || (id.find('{') == std::string::npos && id.find('}') == std::string::npos)) << id;
    const std::string serial = DeviceFacts::VolumeSerial();
    EXPECT_TRUE(serial.empty() || std::regex_match(serial, std::regex("[0-9A-F]{1,8}"))) << serial;
}

TEST(DeviceFactsTest, SessionGuidForm) {
    const unsigned char bytes[16] = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0x4d, 0xef,
                                     0x81, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(DeviceFacts::GuidTextOf(bytes), "12345678-9ABC-4DEF-8102-030405060708");

    std::set<std::string> seen;
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    for (int i = 0; i < 50; ++i) {
        const std::string guid = DeviceFacts::NewSessionGuid();
        EXPECT_TRUE(std::regex_match(guid, form)) << guid;
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(DeviceFactsTest, TimeAndDistanceOfTimes) {
    const auto reference = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    // Milliseconds since 1970 in UTC, whatever the time zone says.
    testsupport::ScopedEnv zone("TZ", "Europe/Berlin");
    tzset();
    EXPECT_LT(std::llabs(DeviceFacts::TimeInMilliseconds() - reference), 60000);

    EXPECT_EQ(DeviceFacts::SecondsBetween("1700000005000", "1700000000000"), 5);
    EXPECT_EQ(DeviceFacts::SecondsBetween("1700000000000", "1700000005999"), 5);
    EXPECT_EQ(DeviceFacts::SecondsBetween("999", "0"), 0);
    EXPECT_EQ(DeviceFacts::SecondsBetween("-2000", "1000"), 3);
    EXPECT_EQ(DeviceFacts::SecondsBetween("abc", "2500"), 2);
    EXPECT_EQ(DeviceFacts::SecondsBetween("", ""), 0);
    // Extreme values neither overflow nor change sign.
    EXPECT_EQ(DeviceFacts::SecondsBetween("9223372036854775807", "-9223372036854775808"), 18446744073709551LL);
    EXPECT_EQ(DeviceFacts::SecondsBetween("99999999999999999999999", "0"), 9223372036854775LL);
}

TEST(DeviceFactsTest, UiLanguageNames) {
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x0C1A), "Serbian_Serbia (Cyrillic)");
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x0409), "English_United States");
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x0414), "Norwegian_Norway (Bokm?l)");
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x042F), "Macedonian (FYROM)_Macedonian (FYROM)");
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x0000), "Neutral_Neutral");
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x500A), "Spanish_Puerto Rico");
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x1234), "0x1234_0x1234");
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x0417), "0x0417_0x0417");
    EXPECT_EQ(DeviceFacts::UiLanguageNameOf(0x12345), "0x12345_0x12345");

    // Exactly 143 ids have a name.
    int named = 0;
    for (int id = 0; id <= 0xFFFF; ++id) {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "0x%.4x_0x%.4x", id, id);
        if (DeviceFacts::UiLanguageNameOf(id) != fallback) ++named;
    }
    EXPECT_EQ(named, 143);

    testsupport::ScopedEnv locale("LC_ALL", "fr_CH.UTF-8");
    EXPECT_EQ(DeviceFacts::UiLanguageName(), "French_Switzerland");
}

}  // namespace
