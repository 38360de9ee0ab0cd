#include "TrafficChannel.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

#include "Common/EmbeddedLabels.h"
#include "platform/AsciiText.h"

namespace {

constexpr int kPaidSites[] = {2, 8, 74, 84, 206, 293, 305, 338};
constexpr int kChinaSites[] = {54, 93, 290, 354};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool HasBingMarker(const std::string& url) { return Contains(url, "_bing_") || Contains(url, "_bing."); }

// The marker made of the row's brand word; never matches without one.
bool HasBrandMarker(const std::string& url, const std::string& brandWord, const char* suffix) {
    return !brandWord.empty() && Contains(url, "_" + platform::AsciiLower(brandWord) + suffix);
}

std::string ApplyRule(const ChannelRow& row, const std::string& url) {
    const std::string& base = row.baseName;
    switch (row.rule) {
        case ChannelMarkerRule::None:
            return base;
        case ChannelMarkerRule::SearchEngine:
            if (HasBingMarker(url)) return base + "-Bing";
            if (Contains(url, "_yahoo_") || Contains(url, "_yahoo.")) return base + "-Yahoo";
            return base;
        case ChannelMarkerRule::BingOnly:
            return HasBingMarker(url) ? base + "-Bing" : base;
        case ChannelMarkerRule::Online:
            return Contains(url, "_online") ? base + "Online" : base;
        case ChannelMarkerRule::FreeEdition:
            return HasBrandMarker(url, row.brandWord, "free.") ? base + "Free" : base;
        case ChannelMarkerRule::NetAndBing:
            if (Contains(url, "_bing.") || HasBrandMarker(url, row.brandWord, "bing.")) return base + "Net-Bing";
            return base + "Net";
    }
    return base;
}

ChannelTable BuildDefaultTable() {
    struct Known {
        int siteId;
        const char* genericName;  // nullptr: a brand row
        ChannelMarkerRule rule;
    };
    constexpr Known kKnownSites[] = {
        {1, nullptr, ChannelMarkerRule::None},          {2, nullptr, ChannelMarkerRule::SearchEngine},
        {5, nullptr, ChannelMarkerRule::None},          {6, "Tool", ChannelMarkerRule::None},
        {8, nullptr, ChannelMarkerRule::BingOnly},      {10, nullptr, ChannelMarkerRule::None},
        {12, nullptr, ChannelMarkerRule::None},         {14, "Card", ChannelMarkerRule::None},
        {54, "ZHCN", ChannelMarkerRule::None},          {61, nullptr, ChannelMarkerRule::Online},
        {66, nullptr, ChannelMarkerRule::FreeEdition},  {74, nullptr, ChannelMarkerRule::SearchEngine},
        {84, nullptr, ChannelMarkerRule::NetAndBing},   {90, nullptr, ChannelMarkerRule::None},
        {93, nullptr, ChannelMarkerRule::None},         {118, "ZHCN", ChannelMarkerRule::None},
        {127, nullptr, ChannelMarkerRule::None},        {133, nullptr, ChannelMarkerRule::None},
        {188, nullptr, ChannelMarkerRule::None},        {206, nullptr, ChannelMarkerRule::SearchEngine},
        {271, nullptr, ChannelMarkerRule::None},        {272, nullptr, ChannelMarkerRule::None},
        {290, nullptr, ChannelMarkerRule::None},        {293, nullptr, ChannelMarkerRule::None},
        {305, nullptr, ChannelMarkerRule::None},        {336, nullptr, ChannelMarkerRule::None},
        {338, nullptr, ChannelMarkerRule::None},        {354, nullptr, ChannelMarkerRule::None},
        {360, nullptr, ChannelMarkerRule::None},
    };
    ChannelTable table;
    for (const auto& site : kKnownSites) {
        ChannelRow row;
        row.siteId = site.siteId;
        row.brandRow = site.genericName == nullptr;
        row.baseName = row.brandRow ? "Channel" + std::to_string(site.siteId) : site.genericName;
        row.rule = site.rule;
        table.rows.push_back(std::move(row));
    }
    return table;
}

std::mutex activeTableLock;
std::shared_ptr<const ChannelTable> activeTable;

std::shared_ptr<const ChannelTable> ActiveTable() {
    std::lock_guard lock(activeTableLock);
    if (!activeTable) {
        activeTable = std::make_shared<const ChannelTable>(ChannelTableFromConfiguration(EmbeddedConfigLabels()));
    }
    return activeTable;
}

bool HasOwnMarker(ChannelMarkerRule rule) {
    return rule == ChannelMarkerRule::FreeEdition || rule == ChannelMarkerRule::NetAndBing;
}

}  // namespace

std::string TrafficClassOf(int siteId) {
    if (std::find(std::begin(kPaidSites), std::end(kPaidSites), siteId) != std::end(kPaidSites)) return "PPC";
    if (std::find(std::begin(kChinaSites), std::end(kChinaSites), siteId) != std::end(kChinaSites)) return "CN";
    return "SEO";
}

const ChannelTable& DefaultChannelTable() {
    static const ChannelTable table = BuildDefaultTable();
    return table;
}

std::string ChannelNameLabel(int siteId) { return "Channel_name_" + std::to_string(siteId); }

std::string ChannelBrandWordLabel(int siteId) { return "Channel_brand_word_" + std::to_string(siteId); }

ChannelTable ChannelTableFromConfiguration(const IConfigLabelSource& labels) {
    ChannelTable table = DefaultChannelTable();
    for (auto& row : table.rows) {
        if (!row.brandRow) continue;
        if (auto name = labels.LabelText(ChannelNameLabel(row.siteId)); name && !name->empty()) {
            row.baseName = std::move(*name);
        }
        if (HasOwnMarker(row.rule)) row.brandWord = labels.LabelText(ChannelBrandWordLabel(row.siteId)).value_or("");
    }
    return table;
}

void UseConfiguredChannelTable() {
    std::lock_guard lock(activeTableLock);
    activeTable.reset();
}

void SetChannelTable(ChannelTable table) {
    auto installed = std::make_shared<const ChannelTable>(std::move(table));
    std::lock_guard lock(activeTableLock);
    activeTable = std::move(installed);
}

std::string ChannelNameIn(const ChannelTable& table, int siteId, const std::string& downloadUrl) {
    const auto row = std::find_if(table.rows.begin(), table.rows.end(),
                                  [siteId](const ChannelRow& candidate) { return candidate.siteId == siteId; });
    if (row == table.rows.end()) return std::to_string(siteId);
    return ApplyRule(*row, platform::AsciiLower(downloadUrl));
}

std::string ChannelNameOf(int siteId, const std::string& downloadUrl) {
    return ChannelNameIn(*ActiveTable(), siteId, downloadUrl);
}
