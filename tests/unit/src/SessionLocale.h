#pragma once
// The locale as a desktop session would set it, nothing else: LANG set,
// LANGUAGE, LC_ALL and LC_MESSAGES empty, for the life of the object.
#include "support/TempDir.h"

struct SessionLocale {
    explicit SessionLocale(const char* lang) : lang_("LANG", lang) {}
    testsupport::ScopedEnv language_{"LANGUAGE", ""};
    testsupport::ScopedEnv all_{"LC_ALL", ""};
    testsupport::ScopedEnv messages_{"LC_MESSAGES", ""};
    testsupport::ScopedEnv lang_;
};
