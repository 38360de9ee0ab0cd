#pragma once
// Where a skin tool reads its skin from: the skin embedded in the installer
// (empty name), a folder, or a ZIP file.
#include <string>

namespace skinshot {

// Opens the skin; false when it cannot be read.
bool OpenSkin(const std::string& skin);

}  // namespace skinshot
