#pragma once
// "galog.json" in the run's log folder: the date of the last day check and
// the installer version that last ran, as a styled JSON object. Members it
// does not know survive every rewrite.
#include <string>

class GalogFile {
public:
    // path "" (no log folder) makes every operation a no-op.
    explicit GalogFile(std::string path);

    // True for the first run of a calendar day: the file then holds today.
    bool DayCheck(int year, int month, int day) const;
    // Stores version unless the file holds it already.
    void RecordVersion(const std::string& version) const;

private:
    std::string path_;
};
