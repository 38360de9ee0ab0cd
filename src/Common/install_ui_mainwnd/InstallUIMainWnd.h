#pragma once
// The wizard window's install-flow members: the install worker's thread
// entry and the package, proxy and language helpers it calls. They work on
// what the window hands them, so they run the same with the headless host.
#include <string>

#include "EnumLanguage.h"

class InstallUIMainWnd {
public:
    // The install worker. window: the IInstallWindowPort of the window that
    // started it. −1 after a failure, 1 when nothing was to be installed,
    // 0 after an installation.
    static unsigned int InstallThreadFunc(void* window);

    // The content threads. window: the IContentWindowPort of the window that
    // started them. Each returns 0.
    // Remote banners: records into the window's banner records, then
    // installmsg::kBannersArrived once every picture arrived.
    static unsigned int GetCbsBanner(void* window);
    // Privacy and licence links into the configuration's link table.
    static unsigned int GetCbsPrivacy(void* window);
    // The download-information query ahead of the install worker.
    static unsigned int AsyncGetCbsInfoThreadFunc(void* window);

    // The local package file name (see packagefiles::PackageFileName).
    static std::string GetPackageFileName(const std::string& extraDownloadUrlLabel,
                                          const std::string& softwareVersion);
    // Deletes the package, its task file and its verification marker from
    // the work folder.
    static void ClearAPPData(const std::string& workDir, const std::string& packageFileName);
    // Logs the user's proxy settings; 3 bypass list, 2 proxy, 1
    // auto-configuration address, 0 none.
    static int GetIEProxyConfig();
    // Hands the wizard's language to the installed product; true when the
    // value was written.
    static bool WriteProductLanguage(int downloaderId, EnumLanguage language, const std::string& softwareName);
};
