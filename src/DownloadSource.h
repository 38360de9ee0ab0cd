#pragma once
// Rules that tell CDN addresses from direct ones and classify download hosts.
#include <string>

// True when the address contains "//cdn." or "//dl." (case-sensitive, anywhere).
bool IsCdnUrl(const std::string& address);
// The lower-cased host name of an address, or "" when it has none.
std::string GetUrlHost(const std::string& address);
// 10 CDN-like or malformed, 12 "ali" mirrors, 13 the other regional mirror, 11 any other.
int GetHostType(const std::string& address);
