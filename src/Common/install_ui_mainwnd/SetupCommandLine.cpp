#include "Common/install_ui_mainwnd/SetupCommandLine.h"

#include <array>
#include <cstdio>

#include "Common/install_ui_mainwnd/PackageFiles.h"

std::string SetupLanguageCode(EnumLanguage language, int downloaderId) {
    static constexpr std::array<int, 8> kJpProducts = {117, 118, 119, 120, 122, 123, 124, 125};
    if (NormalizedLanguage(language) == Japanese) {
        for (const int id : kJpProducts)
            if (id == downloaderId) return "jp";
    }
    return SetupCodeOf(language);
}

std::string SetupLogFileName(const std::string& softwareName, const std::tm& localTime) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "_Setup_%.4d%.2d%.2d%.2d%.2d%.2d.log", localTime.tm_year + 1900,
                  localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    return packagefiles::FileNameSafe(softwareName) + stamp;
}

std::string SetupTrackName(const std::string& ownExecutableName) {
    return ownExecutableName.find('_') == std::string::npos ? "null" : ownExecutableName;
}

SetupCommandLine BuildSetupCommandLine(const std::string& packagePath, const SetupCommandLineParts& parts) {
    const std::string dir = parts.installDir + "/";
    const std::string language = SetupLanguageCode(parts.language, parts.downloaderId);
    const std::string log = parts.logDir + "/" + SetupLogFileName(parts.softwareName, parts.localTime);
    const std::string track = SetupTrackName(parts.ownExecutableName);

    SetupCommandLine line;
    line.text = " /VERYSILENT /SP- /NORESTART /DIR=\"" + dir + "\" /LANG=" + language + " /LOG=\"" + log +
                "\" /sptrack " + track;
    line.arguments = {packagePath, "/VERYSILENT", "/SP-",        "/NORESTART", "/DIR=" + dir,
                      "/LANG=" + language, "/LOG=" + log, "/sptrack", track};
    return line;
}
