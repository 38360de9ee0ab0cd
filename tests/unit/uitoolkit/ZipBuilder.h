#pragma once
// Builds small ZIP archives in memory for the skin tests.
#include <string>
#include <vector>

namespace testsupport {

struct ZipEntry {
    std::string name;
    std::string content;
    bool stored = false;  // store instead of deflate
};

// The bytes of a ZIP archive holding the entries in the given order.
std::vector<unsigned char> BuildZip(const std::vector<ZipEntry>& entries);

}  // namespace testsupport
