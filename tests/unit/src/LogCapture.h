#pragma once
// Records every message written to the installer's log while the object
// lives, so tests can check the exact log lines a function writes.
#include <string>
#include <vector>

namespace testsupport {

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The messages (without the line prefix) in the order written.
    std::vector<std::string> Messages() const;
    // True when some message equals text exactly.
    bool Has(const std::string& text) const;
    // True when some message contains text.
    bool HasPart(const std::string& text) const;
    void Clear();
};

}  // namespace testsupport
