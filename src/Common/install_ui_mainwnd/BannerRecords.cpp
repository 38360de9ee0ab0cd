#include "Common/install_ui_mainwnd/BannerRecords.h"

void BannerRecords::Store(const BannerRecord& record) {
    std::lock_guard guard(lock_);
    records_[record.sort] = record;
}

std::map<int, BannerRecord> BannerRecords::All() const {
    std::lock_guard guard(lock_);
    return records_;
}

std::size_t BannerRecords::Count() const {
    std::lock_guard guard(lock_);
    return records_.size();
}

std::string BannerRecords::PictureSuffix() const {
    std::lock_guard guard(lock_);
    const auto first = records_.find(1);
    if (first == records_.end()) return {};
    const std::string& path = first->second.localPath;
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "" : path.substr(dot);
}
