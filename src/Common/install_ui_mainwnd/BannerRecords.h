#pragma once
// The remote banners the banner thread hands to the window: one record per
// downloaded picture, kept by sort (a later record of the same sort replaces
// the earlier). The banner thread stores records; the window reads them when
// the banners-arrived message (0xB88) comes.
#include <map>
#include <mutex>
#include <string>

struct BannerRecord {
    std::string pictureUrl;
    std::string jumpUrl;    // where a click on the banner leads; "" for none
    std::string prompt;     // caption, valid UTF-8
    std::string localPath;  // the picture in the work folder
    int sort = 0;           // display order, 1 first
};

class BannerRecords {
public:
    void Store(const BannerRecord& record);
    // Every record by sort.
    std::map<int, BannerRecord> All() const;
    std::size_t Count() const;
    // The local picture path's text from its last "." for the record of
    // sort 1 ("" without it): the carousel loads work folder + "/" + n + suffix.
    std::string PictureSuffix() const;

private:
    mutable std::mutex lock_;
    std::map<int, BannerRecord> records_;
};
