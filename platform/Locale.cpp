#include "platform/Locale.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/AsciiText.h"

namespace platform {

namespace {

struct LocaleRow {
    const char* name;  // language_COUNTRY as the C library spells it
    int languageId;
};

// Locale names and their Windows language ids. The first row of a language
// is also its answer when the locale names an unknown country.
constexpr LocaleRow kLocales[] = {
    {"ar_SA", 0x0401}, {"bg_BG", 0x0402}, {"ca_ES", 0x0403}, {"zh_TW", 0x0404}, {"cs_CZ", 0x0405},
    {"da_DK", 0x0406}, {"de_DE", 0x0407}, {"el_GR", 0x0408}, {"en_US", 0x0409}, {"es_ES", 0x0C0A},
    {"fi_FI", 0x040B}, {"fr_FR", 0x040C}, {"he_IL", 0x040D}, {"hu_HU", 0x040E}, {"is_IS", 0x040F},
    {"it_IT", 0x0410}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412}, {"nl_NL", 0x0413}, {"nb_NO", 0x0414},
    {"no_NO", 0x0414}, {"pl_PL", 0x0415}, {"pt_BR", 0x0416}, {"ro_RO", 0x0418}, {"ru_RU", 0x0419},
    {"hr_HR", 0x041A}, {"sk_SK", 0x041B}, {"sq_AL", 0x041C}, {"sv_SE", 0x041D}, {"th_TH", 0x041E},
    {"tr_TR", 0x041F}, {"ur_PK", 0x0420}, {"id_ID", 0x0421}, {"uk_UA", 0x0422}, {"be_BY", 0x0423},
    {"sl_SI", 0x0424}, {"et_EE", 0x0425}, {"lv_LV", 0x0426}, {"lt_LT", 0x0427}, {"fa_IR", 0x0429},
    {"vi_VN", 0x042A}, {"hy_AM", 0x042B}, {"az_AZ", 0x042C}, {"eu_ES", 0x042D}, {"mk_MK", 0x042F},
    {"af_ZA", 0x0436}, {"ka_GE", 0x0437}, {"fo_FO", 0x0438}, {"hi_IN", 0x0439}, {"ms_MY", 0x043E},
    {"kk_KZ", 0x043F}, {"ky_KG", 0x0440}, {"sw_KE", 0x0441}, {"uz_UZ", 0x0443}, {"tt_RU", 0x0444},
    {"bn_IN", 0x0445}, {"pa_IN", 0x0446}, {"gu_IN", 0x0447}, {"or_IN", 0x0448}, {"ta_IN", 0x0449},
    {"te_IN", 0x044A}, {"kn_IN", 0x044B}, {"ml_IN", 0x044C}, {"as_IN", 0x044D}, {"mr_IN", 0x044E},
    {"sa_IN", 0x044F}, {"mn_MN", 0x0450}, {"gl_ES", 0x0456}, {"kok_IN", 0x0457}, {"syr_SY", 0x045A},
    {"dv_MV", 0x0465}, {"ar_IQ", 0x0801}, {"zh_CN", 0x0804}, {"de_CH", 0x0807}, {"en_GB", 0x0809},
    {"es_MX", 0x080A}, {"fr_BE", 0x080C}, {"it_CH", 0x0810}, {"nl_BE", 0x0813}, {"nn_NO", 0x0814},
    {"pt_PT", 0x0816}, {"sr_RS@latin", 0x081A}, {"sv_FI", 0x081D}, {"ur_IN", 0x0820}, {"ms_BN", 0x083E},
    {"ar_EG", 0x0C01}, {"zh_HK", 0x0C04}, {"de_AT", 0x0C07}, {"en_AU", 0x0C09}, {"fr_CA", 0x0C0C},
    {"sr_RS", 0x0C1A}, {"ar_LY", 0x1001}, {"zh_SG", 0x1004}, {"de_LU", 0x1007}, {"en_CA", 0x1009},
    {"es_GT", 0x100A}, {"fr_CH", 0x100C}, {"ar_DZ", 0x1401}, {"zh_MO", 0x1404}, {"de_LI", 0x1407},
    {"en_NZ", 0x1409}, {"es_CR", 0x140A}, {"fr_LU", 0x140C}, {"ar_MA", 0x1801}, {"en_IE", 0x1809},
    {"es_PA", 0x180A}, {"fr_MC", 0x180C}, {"ar_TN", 0x1C01}, {"en_ZA", 0x1C09}, {"es_DO", 0x1C0A},
    {"ar_OM", 0x2001}, {"en_JM", 0x2009}, {"es_VE", 0x200A}, {"ar_YE", 0x2401}, {"es_CO", 0x240A},
    {"ar_SY", 0x2801}, {"en_BZ", 0x2809}, {"es_PE", 0x280A}, {"ar_JO", 0x2C01}, {"en_TT", 0x2C09},
    {"es_AR", 0x2C0A}, {"ar_LB", 0x3001}, {"en_ZW", 0x3009}, {"es_EC", 0x300A}, {"ar_KW", 0x3401},
    {"en_PH", 0x3409}, {"es_CL", 0x340A}, {"ar_AE", 0x3801}, {"es_UY", 0x380A}, {"ar_BH", 0x3C01},
    {"es_PY", 0x3C0A}, {"ar_QA", 0x4001}, {"es_BO", 0x400A}, {"es_SV", 0x440A}, {"es_HN", 0x480A},
    {"es_NI", 0x4C0A}, {"es_PR", 0x500A},
};

constexpr int kEnglishUnitedStates = 0x0409;

}  // namespace

UiLocale UiLocaleFromName(std::string_view localeName) {
    // language[_COUNTRY][.codeset][@modifier]
    std::string_view rest = localeName;
    std::string modifier;
    if (const auto at = rest.find('@'); at != std::string_view::npos) {
        modifier = AsciiLower(rest.substr(at + 1));
        rest = rest.substr(0, at);
    }
    if (const auto dot = rest.find('.'); dot != std::string_view::npos) rest = rest.substr(0, dot);
    const auto underscore = rest.find('_');
    const std::string language = AsciiLower(rest.substr(0, underscore));
    UiLocale locale;
    locale.country = underscore == std::string_view::npos ? "" : AsciiUpper(rest.substr(underscore + 1));
    if (language.empty() || language == "c" || language == "posix") {
        locale.languageId = kEnglishUnitedStates;
        if (locale.country.empty()) locale.country = "US";
        return locale;
    }

    const std::string exact = language + "_" + locale.country + (modifier.empty() ? "" : "@" + modifier);
    const std::string plain = language + "_" + locale.country;
    const LocaleRow* firstOfLanguage = nullptr;
    for (const LocaleRow& row : kLocales) {
        const std::string name = row.name;
        if (name == exact || (name == plain && modifier.empty())) {
            locale.languageId = row.languageId;
            return locale;
        }
        if (!firstOfLanguage && name.rfind(language + "_", 0) == 0) firstOfLanguage = &row;
    }
    locale.languageId = firstOfLanguage ? firstOfLanguage->languageId : kEnglishUnitedStates;
    return locale;
}

UiLocale UiLocaleFromEnvironment(const std::function<const char*(const char*)>& lookup) {
    std::vector<std::string> names;
    if (const char* language = lookup("LANGUAGE"); language && *language) {
        // A priority list ("fr_CH:fr:en"): the first entry is the user's choice.
        const std::string list = language;
        names.push_back(list.substr(0, list.find(':')));
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = lookup(variable); value && *value) names.emplace_back(value);
    }
    std::erase(names, std::string());
    if (names.empty()) return UiLocaleFromName("C");
    UiLocale locale = UiLocaleFromName(names.front());
    for (std::size_t i = 1; i < names.size() && locale.country.empty(); ++i) {
        locale.country = UiLocaleFromName(names[i]).country;
    }
    return locale;
}

UiLocale CurrentUiLocale() {
    return UiLocaleFromEnvironment([](const char* name) { return std::getenv(name); });
}

}  // namespace platform
