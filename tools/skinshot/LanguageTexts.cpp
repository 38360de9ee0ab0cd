#include "tools/skinshot/LanguageTexts.h"

#include <map>

#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/MarkupDoc.h"

namespace skinshot {
namespace {

int ApplyUnder(ZembraUI::CUIManager& manager, const ZembraUI::CMarkupElem& element) {
    int applied = 0;
    for (ZembraUI::CMarkupElem node = element.GetChild(); node.IsValid(); node = node.GetSibling()) {
        std::string text;
        if (node.GetAttributeValue("text", text)) {
            if (ZembraUI::CControlUI* control = manager.ControlByName(node.GetAttributeValue("name"))) {
                control->PutText(text);
                ++applied;
            }
        }
        applied += ApplyUnder(manager, node);
    }
    return applied;
}

}  // namespace

std::string LanguageName(const std::string& code) {
    static const std::map<std::string, std::string> names{
        {"en", "english"},    {"ja", "japanese"},   {"zh-cn", "chinesesimp"}, {"es", "spanish"},
        {"de", "german"},     {"fr", "french"},     {"ru", "russian"},        {"pt", "portuguese"},
        {"ar", "arabic"},     {"it", "italiano"},   {"zh-tw", "chinesetrad"}, {"ko", "korean"},
        {"nl", "nederlands"}, {"id", "indonesian"}, {"tr", "turkish"},        {"hi", "hindi"},
        {"th", "thai"},       {"ms", "malay"},      {"sv", "swedish"},        {"cs", "czech"},
    };
    const auto found = names.find(code);
    return found == names.end() ? std::string() : found->second;
}

int ApplyLanguageTexts(ZembraUI::CUIManager& manager, const std::string& languageName) {
    ZembraUI::CMarkupDoc doc;
    if (languageName.empty() || !doc.LoadFromFile("language/language_" + languageName + ".xml")) return -1;
    for (ZembraUI::CMarkupElem block = doc.GetRoot().GetChild(); block.IsValid(); block = block.GetSibling()) {
        if (block.GetAttributeValue("name") == languageName) return ApplyUnder(manager, block);
    }
    return 0;
}

}  // namespace skinshot
