#pragma once
// Exact log lines on top of the shared log capture, with a mark so a test
// can look only at what came after a step.
#include <algorithm>
#include <string>
#include <vector>

#include "support/LogCapture.h"

class LogLines {
public:
    // True when a message since the mark equals line exactly.
    bool Has(const std::string& line) const {
        const auto lines = Since();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // True when a message since the mark contains part.
    bool HasPart(const std::string& part) const {
        const auto lines = Since();
        return std::any_of(lines.begin(), lines.end(),
                           [&part](const std::string& line) { return line.find(part) != std::string::npos; });
    }
    // Forget what was logged so far.
    void Clear() { mark_ = capture_.Lines().size(); }

private:
    std::vector<std::string> Since() const {
        auto lines = capture_.Lines();
        lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(mark_, lines.size())));
        return lines;
    }

    testsupport::LogCapture capture_;
    std::size_t mark_ = 0;
};
