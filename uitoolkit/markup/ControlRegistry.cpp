#include "uitoolkit/markup/ControlRegistry.h"

#include <map>

#include "uitoolkit/controls/ButtonUI.h"
#include "uitoolkit/controls/CheckBoxUI.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/controls/ContainerUI.h"
#include "uitoolkit/controls/EditUI.h"
#include "uitoolkit/controls/HorizontalLayoutUI.h"
#include "uitoolkit/controls/LabelUI.h"
#include "uitoolkit/controls/ListLabelElementUI.h"
#include "uitoolkit/controls/OptionUI.h"
#include "uitoolkit/controls/ProgressUI.h"
#include "uitoolkit/controls/RichEditUI.h"
#include "uitoolkit/controls/ScrollBarUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/controls/TextUI.h"
#include "uitoolkit/controls/VerticalLayoutUI.h"

namespace ZembraUI {
namespace {

template <typename T>
CControlUI* Make() {
    return new T();
}

const std::map<std::string, CControlUI* (*)()>& BuiltIns() {
    static const std::map<std::string, CControlUI* (*)()> builtIns{
        {"Control", &Make<CControlUI>},
        {"Container", &Make<CContainerUI>},
        {"VerticalLayout", &Make<CVerticalLayoutUI>},
        {"HorizontalLayout", &Make<CHorizontalLayoutUI>},
        {"TabLayout", &Make<CTabLayoutUI>},
        {"Label", &Make<CLabelUI>},
        {"Text", &Make<CTextUI>},
        {"Button", &Make<CButtonUI>},
        {"Option", &Make<COptionUI>},
        {"CheckBox", &Make<CCheckBoxUI>},
        {"Progress", &Make<CProgressUI>},
        {"Edit", &Make<CEditUI>},
        {"Combo", &Make<CComboUI>},
        {"ListLabelElement", &Make<CListLabelElementUI>},
        {"RichEdit", &Make<CRichEditUI>},
        {"ScrollBar", &Make<CScrollBarUI>},
    };
    return builtIns;
}

std::map<std::string, CControlRegistry::Factory>& Registered() {
    static std::map<std::string, CControlRegistry::Factory> registered;
    return registered;
}

}  // namespace

CControlUI* CControlRegistry::Create(const std::string& tag) {
    if (const auto found = BuiltIns().find(tag); found != BuiltIns().end()) return found->second();
    if (const auto found = Registered().find(tag); found != Registered().end()) return found->second();
    return nullptr;
}

bool CControlRegistry::IsBuiltIn(const std::string& tag) { return BuiltIns().count(tag) != 0; }

bool CControlRegistry::Register(const std::string& tag, Factory factory) {
    if (IsBuiltIn(tag) || !factory) return false;
    Registered()[tag] = std::move(factory);
    return true;
}

void CControlRegistry::Unregister(const std::string& tag) { Registered().erase(tag); }

}  // namespace ZembraUI
