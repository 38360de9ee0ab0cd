#pragma once
// The silent setup's command line: one text for the log and, built from the
// same parts, the argument vector the setup is started with (no shell ever
// sees either, so no part needs quoting or escaping).
#include <ctime>
#include <string>
#include <vector>

#include "EnumLanguage.h"

struct SetupCommandLineParts {
    std::string installDir;     // the folder the product goes to
    EnumLanguage language = English;
    int downloaderId = 0;
    std::string logDir;         // the installer's log folder
    std::string softwareName;
    std::tm localTime{};        // names the setup's log
    std::string ownExecutableName;
};

struct SetupCommandLine {
    // " /VERYSILENT /SP- /NORESTART /DIR="<dir>/" /LANG=xx /LOG="<log>" /sptrack <name>"
    std::string text;
    // The same switches, one per argument, with the package path first.
    std::vector<std::string> arguments;
};

SetupCommandLine BuildSetupCommandLine(const std::string& packagePath, const SetupCommandLineParts& parts);

// The setup's language code; Japanese is "jp" for a few products.
std::string SetupLanguageCode(EnumLanguage language, int downloaderId);
// "<name>_Setup_yyyyMMddHHmmss.log", the name made safe for a file name.
std::string SetupLogFileName(const std::string& softwareName, const std::tm& localTime);
// The installer's own file name when it carries "_" (a tracking tag), else "null".
std::string SetupTrackName(const std::string& ownExecutableName);
