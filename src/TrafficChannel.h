#pragma once
// Where the installer was obtained, derived from the site id of the product
// configuration and the package URL: the traffic class and the channel name
// that every analytics hit carries.
#include <map>
#include <string>
#include <vector>

class IConfigLabelSource;

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
    // The base name is the maker's brand or channel name, supplied by the
    // product configuration.
    bool brandRow = false;
};

struct ChannelTable {
    std::vector<ChannelRow> rows;
};

// The built-in table: every known site id with its rule. The maker's brand
// and channel names are product data; until the product configuration
// supplies them, brand rows carry the neutral name "Channel<site id>".
const ChannelTable& DefaultChannelTable();

// Labels of the product configuration that carry the brand data: the base
// name of a brand row, and the brand word inside the own marker of a row
// that has one (site ids 66 and 84).
std::string ChannelNameLabel(int siteId);       // "Channel_name_<site id>"
std::string ChannelBrandWordLabel(int siteId);  // "Channel_brand_word_<site id>"

// The built-in table with the brand data of the product configuration; a
// brand row without its label keeps its neutral name.
ChannelTable ChannelTableFromConfiguration(const IConfigLabelSource& labels);

// Makes table the one ChannelNameOf uses from now on (any thread).
void SetChannelTable(ChannelTable table);
// Drops an installed table: ChannelNameOf reads the embedded product
// configuration again at its next use (which start-up makes only after the
// skin holding that configuration is in place).
void UseConfiguredChannelTable();

// The rule itself, for a given table.
std::string ChannelNameIn(const ChannelTable& table, int siteId, const std::string& downloadUrl);
