#pragma once
// The desktop's plain message box: a caption, a text and an OK button, no
// owner and no skin. It blocks the calling thread until the user answers;
// any thread may show one.
#include <string>

namespace ZembraUI {

// False (logged) when no box could be shown.
bool ShowPlainMessageBox(const std::string& caption, const std::string& text);

}  // namespace ZembraUI
