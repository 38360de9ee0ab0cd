#include "platform/WindowsVersionNames.h"

#include <cctype>

namespace platform {

WindowsVersionName WindowsNameFromVersionTable(const WindowsVersionQuery& query, float previousNumber) {
    const auto named = [](const char* name, float number) { return WindowsVersionName{name, number}; };
    const bool server = !query.workstation;
    switch (query.major) {
        case 4:
            if (query.minor == 0) return named(query.ntPlatform ? "Windows NT 4.0" : "Windows 95", 0.0f);
            if (query.minor == 10) return named("Windows 98", 1.0f);
            if (query.minor == 90) return named("Microsoft Windows Me", 2.0f);
            break;
        case 5:
            if (query.minor == 0) return named("Windows 2000", 3.0f);
            if (query.minor == 1) return named("Windows XP", 4.0f);
            if (query.minor == 2) {
                if (query.workstation && query.x64) return named("Windows XP Professional x64 Edition", 5.0f);
                return named(query.serverR2 ? "Windows Server 2003 R2" : "Windows Server 2003", 5.0f);
            }
            break;
        case 6:
            if (query.minor == 0) return named(server ? "Windows Server 2008" : "Windows Vista", 6.0f);
            if (query.minor == 1) return named(server ? "Windows Server 2008 R2" : "Windows 7", 7.0f);
            if (query.minor == 2) return named(server ? "Windows Server 2012" : "Windows 8", 8.0f);
            break;
        default:
            return named("Error", previousNumber);
    }
    return {"", previousNumber};
}

long long BuildNumberOf(std::string_view buildText) {
    long long number = 0;
    for (const char c : buildText) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        if (number > 100000000000LL) break;  // far beyond any build; stop before overflowing
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace platform
