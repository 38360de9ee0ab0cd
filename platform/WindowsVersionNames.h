#pragma once
// The names the product's analytics use for Windows versions, as pure
// functions of the version numbers. Linux never reaches them; they are kept
// so the reported names stay those of the Windows rules wherever a
// Windows version is given.
#include <string>
#include <string_view>

namespace platform {

// What the extended version query reports.
struct WindowsVersionQuery {
    int major = 0;
    int minor = 0;
    bool ntPlatform = true;    // NT family (false: the 9x family)
    bool workstation = true;   // client product type (false: server)
    bool x64 = false;          // native processor is x64
    bool serverR2 = false;     // Server 2003 R2
};

struct WindowsVersionName {
    std::string name;     // "" for a known major with an unlisted minor
    float number = 0.0f;  // the version number that goes with the name
};

// The version table: 4.0 "Windows NT 4.0"/"Windows 95" (0), 4.10
// "Windows 98" (1), 4.90 "Microsoft Windows Me" (2), 5.0 "Windows 2000" (3),
// 5.1 "Windows XP" (4), 5.2 XP x64 / Server 2003 (R2) (5), 6.0 Vista /
// Server 2008 (6), 6.1 7 / Server 2008 R2 (7), 6.2 8 / Server 2012 (8); any
// other major "Error" with previousNumber kept.
WindowsVersionName WindowsNameFromVersionTable(const WindowsVersionQuery& query, float previousNumber);

// The leading decimal digits of a build number text; 0 when there are none.
long long BuildNumberOf(std::string_view buildText);

}  // namespace platform
