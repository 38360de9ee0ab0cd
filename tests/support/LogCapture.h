#pragma once
// Captures the installer's log ("default" logger) for the life of the object:
// every message is also written, without the date and thread prefix, to a
// file of the capture. The logger's previous configuration comes back after.
#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace el {
class Configurations;
}

namespace testsupport {

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Messages logged since the capture began, one per entry.
    std::vector<std::string> Lines() const;
    // True when a message contains text.
    bool Contains(const std::string& text) const;

private:
    TempDir dir_;
    std::unique_ptr<el::Configurations> saved_;
};

}  // namespace testsupport
