#pragma once
// Bytes linked into the executable at build time.
#include <cstddef>
#include <span>

namespace platform {

// The skin package (a ZIP archive); empty when the program was linked
// without it.
std::span<const std::byte> EmbeddedSkinArchive();

}  // namespace platform
