#pragma once
// Bytes as lower-case hex digits (digests in replies and signature checks).
#include <cstddef>
#include <string>

namespace devserver {

std::string LowerHex(const unsigned char* bytes, std::size_t count);

}  // namespace devserver
