#include "Common/install_ui_mainwnd/ProductLanguageRecord.h"

namespace {

using platform::RegistryHive;

std::string LocaleNameOf(EnumLanguage language) {
    switch (language) {
        case Japanese: return "ja_JP";
        case Chinese: return "zh_CN";
        case Spanish: return "es_ES";
        case German: return "de_DE";
        case French: return "fr_FR";
        case Russian: return "ru_RU";
        case Portuguese: return "pt_BR";
        case ChineseTrad: return "zh_TW";
        default: return "en_US";
    }
}

}  // namespace

std::optional<ProductLanguageRecord> ProductLanguageRecordFor(int downloaderId, EnumLanguage language,
                                                              const std::string& softwareName,
                                                              bool wowUninstallOpens, bool uninstallOpens) {
    if (downloaderId == 104)
        return ProductLanguageRecord{RegistryHive::CurrentUser, "Software\\Pellidor\\Clipwise Studio",
                                     "kCurrentLanguage", language == Chinese ? "Chinese" : "English"};
    if (downloaderId >= 113 && downloaderId <= 115)
        return ProductLanguageRecord{RegistryHive::CurrentUser, "Software\\Quenrick\\Oxtrel", "Lang",
                                     LocaleNameOf(language)};
    std::string key;
    if (wowUninstallOpens)
        key = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{" + softwareName + "}_is1";
    else if (uninstallOpens)
        key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{" + softwareName + "}_is1";
    else
        return std::nullopt;
    return ProductLanguageRecord{RegistryHive::LocalMachine, key, "Inno Setup: Language",
                                 SetupCodeOf(language)};
}
