#pragma once
// A parsed markup document (layout, language or configuration file).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "uitoolkit/markup/MarkupElem.h"

namespace ZembraUI {

// How the bytes of a document are encoded. ANSI text is the system code page,
// which is UTF-8 here; UTF-16 text must start with a byte order mark.
enum class MarkupEncoding { Utf8, Ansi, Utf16 };

class CMarkupDoc {
public:
    // Longest error text and error location kept, in characters.
    static constexpr std::size_t kMaxErrorMessage = 99;
    static constexpr std::size_t kMaxErrorLocation = 49;

    // Reads the file from the skin (see CSkinArchive::ReadFile) and parses it.
    bool LoadFromFile(const std::string& fileName, MarkupEncoding encoding = MarkupEncoding::Utf8);
    bool LoadFromMemory(const unsigned char* data, std::size_t size, MarkupEncoding encoding = MarkupEncoding::Utf8);
    // Forgets the document and the last error.
    void Release();

    bool IsValid() const { return tree_ != nullptr; }
    // The first top-level element; invalid when nothing is loaded.
    CMarkupElem GetRoot() const;

    // Why the last load failed, and the file name or the text where it did.
    std::string GetLastErrorMessage() const { return errorMessage_; }
    std::string GetLastErrorLocation() const { return errorLocation_; }

private:
    bool Load(std::vector<unsigned char> bytes, MarkupEncoding encoding);
    bool Failed(const std::string& message, std::string_view location);

    std::shared_ptr<const MarkupTree> tree_;
    std::string errorMessage_;
    std::string errorLocation_;
};

}  // namespace ZembraUI
