#include "HexText.h"

namespace devserver {

std::string LowerHex(const unsigned char* bytes, std::size_t count) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < count; ++i) {
        hex += kHex[bytes[i] >> 4];
        hex += kHex[bytes[i] & 15];
    }
    return hex;
}

}  // namespace devserver
