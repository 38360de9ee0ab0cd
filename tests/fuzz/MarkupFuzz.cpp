// libFuzzer target for the markup parser and the attribute value parsers:
// any input must parse or fail cleanly, and every element reached must be
// readable.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <easylogging++.h>

#include "uitoolkit/markup/AttributeList.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/render/ImageDescription.h"
#include "uitoolkit/markup/MarkupDoc.h"
#include "uitoolkit/markup/NumberList.h"

namespace {

std::size_t Walk(const ZembraUI::CMarkupElem& root) {
    std::size_t seen = 0;
    // Depth-first without recursion: child, else sibling, else the first
    // ancestor's sibling.
    ZembraUI::CMarkupElem element = root;
    while (element.IsValid()) {
        seen += element.GetName().size() + element.GetValue().size();
        for (int i = 0; i < element.GetAttributeCount(); ++i) {
            seen += element.GetAttributeValue(element.GetAttributeName(i)).size();
        }
        if (element.HasChildren()) {
            element = element.GetChild();
            continue;
        }
        while (element.IsValid() && !element.GetSibling().IsValid()) element = element.GetParent();
        if (element.IsValid()) element = element.GetSibling();
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto encoding = static_cast<ZembraUI::MarkupEncoding>(data[0] % 3);
    ZembraUI::CMarkupDoc doc;
    if (doc.LoadFromMemory(data + 1, size - 1, encoding)) {
        volatile std::size_t seen = Walk(doc.GetRoot());
        (void)seen;
    } else if (doc.GetLastErrorMessage().empty()) {
        __builtin_trap();
    }

    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    ZembraUI::ParseAttributeList(text);
    ZembraUI::ParseColorValue(text);
    ZembraUI::ParseNumberList(text, 4);
    const std::size_t half = text.size() / 2;
    ZembraUI::ParseImageDescription(text.substr(0, half), text.substr(half), ZembraUI::UIRect{0, 0, 100, 20});
    return 0;
}
