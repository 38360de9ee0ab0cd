#pragma once
// Free utilities the install flow needs around the platform: product start,
// signature check, process search, version information, OS facts, firewall
// registration and small registry, directory and text helpers.
#include <string>

namespace FuntionImpl {

// Checks the code signature of a downloaded package (Authenticode for PE
// images, the appended signature for anything else) against the trusted
// roots: the CA file of setting Hosts/CaFile and the system store. Logs the
// outcome; true only when every check passed.
bool VerifyEmbeddedSignature(const std::string& path);

// "%d.%d.%d.%d" of the file's version note; "" when it has none.
std::string GetFileVersionString(const std::string& path);

// True when the operating system is 64-bit (the installer then runs "under WOW64").
bool IsWow64();
// The rule behind IsWow64, from the machine name uname() reports.
bool IsSixtyFourBitMachine(const std::string& machine);

// Records the program as an authorised application of the firewall store and
// prints what it did to standard output. 0, or -1 when the store is not reachable.
int AuthorizeInFirewall(const std::string& modulePath);

}  // namespace FuntionImpl
