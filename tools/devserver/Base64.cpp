#include "Base64.h"

#include <openssl/evp.h>

namespace devserver {

std::string Base64Encode(std::string_view data) {
    std::string text(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                        reinterpret_cast<const unsigned char*>(data.data()),
                                        static_cast<int>(data.size()));
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.empty()) return std::string();
    if (text.size() % 4 != 0) return std::nullopt;
    std::string data(text.size() / 4 * 3, '\0');
    const int written = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(data.data()),
                                        reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
    if (written < 0) return std::nullopt;
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t size = static_cast<std::size_t>(written);
    if (text.back() == '=') --size;
    if (text.size() >= 2 && text[text.size() - 2] == '=') --size;
    data.resize(size);
    return data;
}

}  // namespace devserver
