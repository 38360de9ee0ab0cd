#pragma once
// Where the installed product finds the language the user chose in the
// wizard: a registry value that depends on the product (downloader id).
#include <optional>
#include <string>

#include "EnumLanguage.h"
#include "platform/RegistryStore.h"

struct ProductLanguageRecord {
    platform::RegistryHive hive;
    std::string key;
    std::string valueName;
    std::string value;
};

// The record for a product. wowUninstallOpens / uninstallOpens: whether the
// 32-bit-view and the native uninstall keys of HKEY_LOCAL_MACHINE open with
// all access. nullopt when neither opens (for the products that keep it there).
std::optional<ProductLanguageRecord> ProductLanguageRecordFor(int downloaderId, EnumLanguage language,
                                                              const std::string& softwareName,
                                                              bool wowUninstallOpens, bool uninstallOpens);
