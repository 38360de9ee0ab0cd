#pragma once
// Where the installer was obtained, derived from the site id of the product
// configuration and the package URL: the traffic class and the channel name
// that every analytics hit carries.
#include <map>
#include <string>
#include <vector>

// "PPC", "CN" or "SEO" by site id.
std::string TrafficClassOf(int siteId);

// The channel name: the site's base name, refined by markers in the
// (lower-cased) download URL; the decimal site id for sites without a row.
std::string ChannelNameOf(int siteId, const std::string& downloadUrl);

// --- the channel table ------------------------------------------------------------

enum class ChannelMarkerRule {
    None,          // the base name
    SearchEngine,  // "-Bing" or "-Yahoo"
    BingOnly,      // "-Bing"
    Online,        // "Online"
    FreeEdition,   // "Free" on the row's free-edition marker
    NetAndBing,    // "Net-Bing" on a Bing marker, else "Net"
};

struct ChannelRow {
    int siteId = 0;
    std::string baseName;
    ChannelMarkerRule rule = ChannelMarkerRule::None;
    // The brand word inside the row's own marker ("_" + word + "free." or
    // "_" + word + "bing."); empty: the row has no own marker.
    std::string brandWord;
};

struct ChannelTable {
    std::vector<ChannelRow> rows;
};

// The built-in table: every known site id with its rule. The maker's brand
// and channel names are product data; until the product configuration
// supplies them, brand rows carry the neutral name "Channel<site id>".
const ChannelTable& DefaultChannelTable();

// The built-in table with the product configuration's brand data laid over
// it: base names and brand words by site id (unknown site ids are ignored).
ChannelTable ChannelTableWithBrandData(const std::map<int, std::string>& baseNames,
                                       const std::map<int, std::string>& brandWords);

// Makes table the one ChannelNameOf uses from now on (any thread).
void SetChannelTable(ChannelTable table);

// The rule itself, for a given table.
std::string ChannelNameIn(const ChannelTable& table, int siteId, const std::string& downloadUrl);
