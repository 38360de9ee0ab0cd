#pragma once
// The facts the report library describes the machine with: OS name and
// version text, MAC address, system volume id and serial, main board maker
// and model, a session GUID, the time, and the UI language's name. Every
// function can be called from any thread, keeps no state and never fails
// loudly: a fact that cannot be read is an empty text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/OsRelease.h"
#include "platform/WindowsVersionNames.h"

namespace DeviceFacts {

// The library's OS name: the distribution's name plus "-64" or "-32".
std::string LibraryOsName();
// "display version(build)": VERSION_ID and, in brackets, BUILD_ID or else
// the kernel release, e.g. "12(6.1.0-18-amd64)".
std::string OsVersionText();
// The MAC address of the first network adapter as "%02X:%02X:..."; adapters
// on hardware are listed before virtual ones, loopback never.
std::string MacAddressText();
// The root filesystem's UUID (else the machine id in GUID form), no braces.
std::string VolumeId();
// A 32-bit serial of the system's installation as "%X" (from the machine id,
// else the root filesystem's UUID).
std::string VolumeSerial();
// The main board's maker and model as the firmware tables name them.
std::string BoardMaker();
std::string BoardModel();
// A new random GUID, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X".
std::string NewSessionGuid();
// Milliseconds since 1970 (UTC).
std::int64_t TimeInMilliseconds();
// The distance of two millisecond texts in whole seconds (|a - b| / 1000,
// rounded toward zero); a text that is no number counts 0.
std::int64_t SecondsBetween(const std::string& a, const std::string& b);
// "Language_Country" of the user's UI language.
std::string UiLanguageName();
// The same for a language id; ids outside the table give "0x%.4x_0x%.4x".
std::string UiLanguageNameOf(int languageId);

// --- the rules behind the facts, as pure functions -----------------------------

// The library's OS-name rule on Windows: the version table for majors 4 to 6
// ("Error" for any other), then the kernel's 6.3 ("Windows 8.1") and 10.0
// ("Windows 11" from build 22000, else "Windows 10"), then "-64"/"-32".
struct WindowsFacts {
    platform::WindowsVersionQuery query;
    int kernelMajor = 0;
    int kernelMinor = 0;
    long long build = 0;
    bool sixtyFourBit = false;
};
std::string LibraryWindowsOsName(const WindowsFacts& facts);
std::string LibraryOsNameOf(const platform::OsRelease& release, bool sixtyFourBit);
std::string OsVersionTextOf(const platform::OsRelease& release, const std::string& kernelRelease);

struct NetworkAdapter {
    std::string name;
    std::vector<unsigned char> address;
};
// First adapter's whole address joined by ":"; else the first adapter with a
// 6-byte address; else "".
std::string MacAddressTextOf(const std::vector<NetworkAdapter>& adapters);

// A 32-hex-digit machine id in GUID form ("8-4-4-4-12", lower case); "" when
// it is not one.
std::string GuidTextOfMachineId(std::string_view machineId);
// "%X" of the 32-bit number in the first 8 hex digits of an id ("-" ignored);
// "" when there are fewer.
std::string SerialTextOf(std::string_view hexId);
// A GUID text of 16 bytes (Data1..Data3 big-endian as read, Data4 in order).
std::string GuidTextOf(const unsigned char (&bytes)[16]);

}  // namespace DeviceFacts
