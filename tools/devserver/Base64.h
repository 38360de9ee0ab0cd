#pragma once
// Base64 (RFC 4648, with padding) for recorded bodies and rule bodies.
#include <optional>
#include <string>
#include <string_view>

namespace devserver {

std::string Base64Encode(std::string_view data);
// nullopt when the text is not valid base64.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace devserver
