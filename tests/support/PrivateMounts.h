#pragma once
// Private filesystems for tests: a child process with its own user and
// mount namespace, where tmpfs mounts of any size or state are allowed
// without privileges and vanish with the child.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace testsupport {

// Runs body in such a child and returns what it returned; nullopt when the
// namespace cannot be made here (the caller skips).
std::optional<std::string> InPrivateMounts(const std::function<std::string()>& body);

// Inside InPrivateMounts: mounts a tmpfs of bytes at folder (made first).
// options are added to the size ("nr_inodes=1").
bool MountTmpfs(const std::string& folder, std::uint64_t bytes, bool readOnly = false,
                const std::string& options = "");

}  // namespace testsupport
