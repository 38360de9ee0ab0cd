#pragma once
// Sizes the installer decides on: of a file and of the file system that
// holds it. A failed look-up is an error with its errno, never a size of 0.
#include <cstdint>
#include <string>

#include "platform/SysResult.h"

namespace platform {

// The folder part of path: "." without one, "/" for a file in the root.
std::string ParentFolder(const std::string& path);
// The size of the file at path (ENOENT when there is none).
SysResult<std::int64_t> FileSize(const std::string& path);
// How many bytes the file system holding path can store in all.
SysResult<std::int64_t> FileSystemCapacity(const std::string& path);

}  // namespace platform
