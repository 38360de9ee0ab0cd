#pragma once
// What the content threads (banners, privacy and licence links, the
// download-information prefetch) need from the wizard window beyond what the
// install flow needs: the banner records it shows, and whether it is closing.
// The threads report to the window only by posting messages.
#include "Common/install_ui_mainwnd/IInstallWindowPort.h"

class BannerRecords;

class IContentWindowPort : public IInstallWindowPort {
public:
    // The remote banners; the banner thread stores records here before it
    // posts installmsg::kBannersArrived.
    virtual BannerRecords& Banners() = 0;
};
