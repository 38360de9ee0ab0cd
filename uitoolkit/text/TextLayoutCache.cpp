#include "uitoolkit/text/TextLayoutCache.h"

#include <cstring>

namespace ZembraUI {
namespace {

template <typename T>
void AppendValue(std::string& key, const T& value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    key.append(bytes, sizeof(T));
}

void AppendString(std::string& key, const std::string& text) {
    AppendValue(key, text.size());
    key += text;
}

}  // namespace

std::string CTextLayoutCache::KeyOf(const std::vector<TextRun>& runs, const TextLayoutOptions& options) {
    std::string key;
    AppendValue(key, options.width);
    AppendValue(key, options.height);
    AppendValue(key, options.style);
    AppendValue(key, options.layered);
    for (const TextRun& run : runs) {
        AppendValue(key, run.kind);
        AppendString(key, run.text);
        AppendString(key, run.font.face);
        AppendValue(key, run.font.size);
        AppendValue(key, static_cast<unsigned char>(run.font.bold | run.font.underline << 1 | run.font.italic << 2));
        AppendValue(key, run.colour);
        AppendValue(key, run.link);
        AppendValue(key, run.background);
        AppendValue(key, run.skipWidth);
        AppendValue(key, run.spacing);
        AppendValue(key, run.minLineHeight);
    }
    return key;
}

std::shared_ptr<const CTextLayout> CTextLayoutCache::Find(const std::string& key) {
    const auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->second;
}

void CTextLayoutCache::Insert(std::string key, std::shared_ptr<const CTextLayout> layout) {
    if (capacity_ == 0) return;
    if (const auto found = index_.find(key); found != index_.end()) {
        entries_.erase(found->second);
        index_.erase(found);
    }
    while (entries_.size() >= capacity_) {
        index_.erase(entries_.back().first);
        entries_.pop_back();
    }
    entries_.emplace_front(key, std::move(layout));
    index_.emplace(std::move(key), entries_.begin());
}

void CTextLayoutCache::Clear() {
    entries_.clear();
    index_.clear();
}

}  // namespace ZembraUI
