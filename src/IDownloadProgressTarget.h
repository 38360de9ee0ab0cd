#pragma once
// Who hears how far the main package download has come: the install window.
#include <cstdint>

class IDownloadProgressTarget {
public:
    virtual ~IDownloadProgressTarget() = default;
    virtual void OnDownloadProgress(std::int64_t downloaded, std::int64_t total) = 0;
};
