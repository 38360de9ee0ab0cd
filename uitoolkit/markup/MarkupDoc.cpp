#include "uitoolkit/markup/MarkupDoc.h"

#include <algorithm>
#include <initializer_list>

#include <easylogging++.h>

#include "uitoolkit/markup/MarkupParser.h"
#include "uitoolkit/markup/MarkupTree.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/markup/TextEncoding.h"

namespace ZembraUI {
namespace {

bool StartsWith(const std::vector<unsigned char>& bytes, std::initializer_list<unsigned char> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

}  // namespace

bool CMarkupDoc::LoadFromFile(const std::string& fileName, MarkupEncoding encoding) {
    Release();
    std::vector<unsigned char> bytes;
    std::string error;
    if (!CSkinArchive::ReadFile(fileName, bytes, error)) {
        LOG(INFO) << " Markup file " << fileName << " not loaded: " << error;
        return Failed(error, fileName);
    }
    if (!Load(std::move(bytes), encoding)) {
        LOG(INFO) << " Markup file " << fileName << " not parsed: " << errorMessage_ << " at " << errorLocation_;
        return false;
    }
    return true;
}

bool CMarkupDoc::LoadFromMemory(const unsigned char* data, std::size_t size, MarkupEncoding encoding) {
    Release();
    std::vector<unsigned char> bytes;
    if (data != nullptr) bytes.assign(data, data + size);
    if (!Load(std::move(bytes), encoding)) {
        LOG(INFO) << " Markup text not parsed: " << errorMessage_ << " at " << errorLocation_;
        return false;
    }
    return true;
}

void CMarkupDoc::Release() {
    tree_.reset();
    errorMessage_.clear();
    errorLocation_.clear();
}

CMarkupElem CMarkupDoc::GetRoot() const {
    if (tree_ == nullptr || tree_->nodes.empty()) return {};
    return CMarkupElem(tree_, 0);
}

bool CMarkupDoc::Load(std::vector<unsigned char> bytes, MarkupEncoding encoding) {
    auto tree = std::make_shared<MarkupTree>();
    std::size_t start = 0;
    if (encoding == MarkupEncoding::Utf16) {
        const bool littleEndian = StartsWith(bytes, {0xFF, 0xFE});
        if (!littleEndian && !StartsWith(bytes, {0xFE, 0xFF})) return Failed("Missing UTF-16 byte order mark", {});
        tree->buffer = Utf16ToUtf8(bytes.data() + 2, bytes.size() - 2, !littleEndian);
    } else {
        // The parser cuts the text in place, so the bytes read are parsed
        // where they lie.
        tree->buffer = std::move(bytes);
        if (StartsWith(tree->buffer, {0xEF, 0xBB, 0xBF})) start = 3;
    }

    CMarkupParser parser(*tree, start);
    if (!parser.Parse()) {
        const std::string_view rest = tree->Text({parser.ErrorOffset(), tree->buffer.size() - parser.ErrorOffset()});
        return Failed(parser.ErrorMessage(), rest);
    }
    tree_ = std::move(tree);
    return true;
}

bool CMarkupDoc::Failed(const std::string& message, std::string_view location) {
    tree_.reset();
    errorMessage_ = Utf8Prefix(message, kMaxErrorMessage);
    errorLocation_ = Utf8Prefix(location, kMaxErrorLocation);
    return false;
}

}  // namespace ZembraUI
