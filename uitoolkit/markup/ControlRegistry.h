#pragma once
// Tag name -> control factory: the toolkit's own controls, plus creators the
// application registers for tags of its own. Used on the UI thread.
#include <functional>
#include <string>

namespace ZembraUI {

class CControlUI;

class CControlRegistry {
public:
    using Factory = std::function<CControlUI*()>;

    // A new control for the tag (exact, case-sensitive), or null.
    static CControlUI* Create(const std::string& tag);
    static bool IsBuiltIn(const std::string& tag);
    // Adds or replaces the creator of a tag that is not built in; false for
    // built-in tags.
    static bool Register(const std::string& tag, Factory factory);
    static void Unregister(const std::string& tag);
};

}  // namespace ZembraUI
