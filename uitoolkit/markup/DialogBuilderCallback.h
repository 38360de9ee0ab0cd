#pragma once
// Asked by the builder for every tag the toolkit does not know; may return a
// control of its own (the builder then owns it) or null to skip the element.
#include <string>

namespace ZembraUI {

class CControlUI;

class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(const std::string& className) = 0;
};

}  // namespace ZembraUI
