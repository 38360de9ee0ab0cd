#pragma once
// Where the report library takes the machine facts and the time from. The
// library reads them through this table so that tests can hand in fixed
// values and a clock of their own.
#include <cstdint>
#include <functional>
#include <string>

struct ReportFacts {
    std::function<std::string()> sessionGuid;
    std::function<std::string()> volumeId;
    std::function<std::string()> volumeSerial;
    std::function<std::string()> osName;
    std::function<std::string()> osVersion;
    std::function<std::string()> macAddress;
    std::function<std::string()> boardMaker;
    std::function<std::string()> boardModel;
    // Milliseconds since 1970 as the analytics clock counts them.
    std::function<std::int64_t()> nowMilliseconds;
};

// The facts of this machine.
ReportFacts SystemReportFacts();
