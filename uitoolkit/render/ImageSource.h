#pragma once
// Where image descriptions find their pictures: the manager's image cache.
#include <cstdint>
#include <string>

namespace ZembraUI {

struct LoadedImage;

class IImageSource {
public:
    virtual ~IImageSource() = default;
    // The picture by name, loaded and cached on first use; null when missing.
    virtual const LoadedImage* ImageByName(const std::string& name, const std::string& resType,
                                           std::uint32_t mask) = 0;
};

}  // namespace ZembraUI
