#pragma once
// Free utilities the install flow needs around the platform: product start,
// signature check, process search, version information, OS facts, firewall
// registration and small registry, directory and text helpers.
#include <ctime>
#include <string>
#include <string_view>

#include "platform/WindowsVersionNames.h"

namespace FuntionImpl {

// --- product start and processes --------------------------------------------

// Starts the installed product. quotedPath is the executable's path in double
// quotes. direct: start it here, in the executable's folder. Not direct:
// start it the way the user's desktop would, i.e. as the desktop user when
// this process runs as root. 0, or -1 after logging and reporting the failure.
int StartTargetMainExe(const std::string& quotedPath, bool direct);

// Ends every other process that runs the file at path, or a temporary copy of
// it (same name with the extension "tmp", or any executable path containing
// ".tmp"). Returns the id of the last process ended, -1 when none, -2 when
// the process list cannot be read. Never ends the calling process.
int FindProcessByFullPath(const std::string& path);

// --- package signature --------------------------------------------------------

// Checks the code signature of a downloaded package (Authenticode for PE
// images, the appended signature for anything else) against the trusted
// roots: the CA file of setting Hosts/CaFile and the system store. Logs the
// outcome; true only when every check passed.
bool VerifyEmbeddedSignature(const std::string& path);
// The same check of the bytes at contentPath (a pinned file), reported under
// the package's own path.
bool VerifyEmbeddedSignature(const std::string& path, const std::string& contentPath);

// --- .NET Framework check -----------------------------------------------------

// True when the product in directory needs a newer .NET Framework than the
// one recorded as installed (the NetFrameCheck.db beside the product names
// the version it needs).
bool WillShowNetFrameCheck(const std::string& directory);
// The NetFrameworkVersion of section [Settings] of a NetFrameCheck.db file;
// "" when the file or the key is missing.
std::string ReadNeededNetFrameworkVersion(const std::string& databasePath);
// Compares two dotted versions part by part (at most four parts, leading
// digits of each, missing parts 0): -1 when a < b, 0 when equal, 1 when a > b.
int CompareVersionTexts(std::string_view a, std::string_view b);

// --- version information --------------------------------------------------------

// "%d.%d.%d.%d" of the file's version note; "" when it has none.
std::string GetFileVersionString(const std::string& path);

struct FileProductInfo {
    std::string productName;
    std::string productVersion;
    std::string legalCopyright;
    std::string fileDescription;
};
// The product texts of the file's version note; all empty when it has none.
FileProductInfo GetFileProductInfo(const std::string& path);

// --- operating system -----------------------------------------------------------

// The OS name and its version number. On Linux the name is the
// distribution's (os-release) and the number is 10.0: a current system, so
// the rules meant for Windows versions before 10 never apply.
std::string GetOsNameAndVersion(float& versionNumber);

// True when the registry store's CurrentVersion key (opened with all access)
// holds a build number above 21999. Linux systems have no such key.
bool IsWindows11();

// What the Windows naming rule looks at, for the rule below.
struct WindowsVersionFacts {
    std::string registryBuild;  // CurrentBuild (else CurrentBuildNumber); "" when the key cannot be opened
    int kernelMajor = 0;        // the kernel's own version numbers
    int kernelMinor = 0;
    platform::WindowsVersionQuery query;  // what the extended version query reports
};
// The installer's naming rule on Windows: "Windows 11" (build above 21999),
// then the kernel's 6.3 ("Windows 8.1") and 10.0 ("Windows 10"), then the
// version table. versionNumber is set with the name (kept for "Error").
std::string WindowsOsNameAndVersion(const WindowsVersionFacts& facts, float& versionNumber);

// True when the operating system is 64-bit (the installer then runs "under WOW64").
bool IsWow64();
// The rule behind IsWow64, from the machine name uname() reports.
bool IsSixtyFourBitMachine(const std::string& machine);

// Records the program as an authorised application of the firewall store and
// prints what it did to standard output. 0, or -1 when the store is not reachable.
int AuthorizeInFirewall(const std::string& modulePath);

// --- time, registry, folders ------------------------------------------------------

// The current time in China Standard Time (UTC+8, no daylight saving),
// "%04d-%02d-%02d %02d:%02d:%02d".
std::string GetChinaStandardTime();
std::string ChinaStandardTimeOf(std::time_t utc);

// A text value of a HKEY_LOCAL_MACHINE key of the registry store; "" when the
// store cannot be opened with all access, the value is missing, or it does
// not fit the 260-byte value buffer.
std::string ReadHklmString(const std::string& key, const std::string& valueName);
// Creates the key when needed and writes the value; true on success.
bool WriteHklmString(const std::string& key, const std::string& valueName, const std::string& text);

// Creates path and every missing parent. 112 when the disk is full, else 0.
int CreateDirectoryTree(const std::string& path);

// --- text ------------------------------------------------------------------------

// Texts are UTF-8 everywhere; "wide" text is UTF-32 (wchar_t). Invalid input
// (broken UTF-8, surrogates, values beyond U+10FFFF) becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);
// The same for a text that is already meant to be UTF-8: it comes back valid.
std::string WideToUtf8(std::string_view text);
std::wstring Utf8ToWide(std::string_view text);
// The ANSI code page of this system is UTF-8: the text comes back valid.
std::string AnsiToUtf8(std::string_view text);

// --- screen ---------------------------------------------------------------------

struct ScreenScale {
    double scale = 1.0;
    int width = 0;   // pixels of the primary screen's mode; 0 when unknown
    int height = 0;
};
// The desktop's scale factor and the primary screen's size, read without a
// display connection: GDK_SCALE, else Xft.dpi from ~/.Xresources, for the
// scale; the first connected output's preferred mode for the size. 1.0
// without a display.
ScreenScale GetScreenScale();

// The rule behind GetScreenScale, from what it read.
struct ScreenSources {
    bool hasDisplay = false;     // DISPLAY or WAYLAND_DISPLAY set
    std::string gdkScale;        // $GDK_SCALE
    std::string xresources;      // text of ~/.Xresources
    std::string outputModes;     // first connected output's "modes" file
};
ScreenScale ScreenScaleFrom(const ScreenSources& sources);

}  // namespace FuntionImpl
