#pragma once
// Format texts of the language files ("%0.f%%", "Space available : %.1fGB")
// filled with one value. The texts come from the skin, so they are never
// handed to printf as they stand: only the first well-formed conversion of
// the expected kind takes the value, "%%" gives "%", and any other '%' is
// shown as it is.
#include <string>

// The first floating conversion (f, F, e, E, g, G with flags, width and
// precision) shows value.
std::string FormatWithNumber(const std::string& format, double value);
// The first "%s" (flags and width allowed) shows text.
std::string FormatWithText(const std::string& format, const std::string& text);
