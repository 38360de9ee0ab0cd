#include "platform/ProcessCommandLine.h"

#include <fstream>
#include <iterator>

namespace platform {

std::string CommandLineFromArgumentBlock(const std::string& block) {
    std::string line;
    std::size_t start = block.find('\0');
    if (start == std::string::npos) return line;
    ++start;
    while (start < block.size()) {
        std::size_t end = block.find('\0', start);
        if (end == std::string::npos) end = block.size();
        if (!line.empty()) line += ' ';
        line.append(block, start, end - start);
        start = end + 1;
    }
    return line;
}

std::string CurrentProcessCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    if (!in) return "";
    const std::string block((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return CommandLineFromArgumentBlock(block);
}

}  // namespace platform
