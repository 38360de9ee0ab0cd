#pragma once
// The most recently used shaped layouts, keyed by everything that shapes
// them (runs, width, style), so repainting unchanged text costs no shaping.
#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "uitoolkit/text/TextLayout.h"

namespace ZembraUI {

class CTextLayoutCache {
public:
    explicit CTextLayoutCache(std::size_t capacity) : capacity_(capacity) {}

    // The key of a layout built from these runs with these options.
    static std::string KeyOf(const std::vector<TextRun>& runs, const TextLayoutOptions& options);

    // The cached layout for key (now the most recently used), or null.
    std::shared_ptr<const CTextLayout> Find(const std::string& key);
    // Adds a layout, dropping the least recently used one when full.
    void Insert(std::string key, std::shared_ptr<const CTextLayout> layout);
    void Clear();
    std::size_t Size() const { return entries_.size(); }

private:
    using Entry = std::pair<std::string, std::shared_ptr<const CTextLayout>>;
    std::size_t capacity_;
    std::list<Entry> entries_;  // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace ZembraUI
