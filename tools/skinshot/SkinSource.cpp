#include "tools/skinshot/SkinSource.h"

#include <filesystem>

#include "platform/EmbeddedResources.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace skinshot {

bool OpenSkin(const std::string& skin) {
    if (skin.empty()) {
        const auto archive = platform::EmbeddedSkinArchive();
        return !archive.empty() && ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size());
    }
    if (std::filesystem::is_directory(skin)) {
        ZembraUI::CSkinArchive::SetResourceFolder(skin);
        return true;
    }
    return ZembraUI::CSkinArchive::OpenFromFile(skin);
}

}  // namespace skinshot
