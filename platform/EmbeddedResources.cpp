#include "platform/EmbeddedResources.h"

// Defined by the skin archive object linked into the executable and the
// tests; weak so that a program linked without it sees an empty archive.
extern "C" {
extern const std::byte zembra_skin_archive_begin[] __attribute__((weak));
extern const std::byte zembra_skin_archive_end[] __attribute__((weak));
}

namespace platform {

std::span<const std::byte> EmbeddedSkinArchive() {
    if (zembra_skin_archive_begin == nullptr || zembra_skin_archive_end == nullptr) return {};
    return {zembra_skin_archive_begin, zembra_skin_archive_end};
}

}  // namespace platform
