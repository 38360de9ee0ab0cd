#pragma once
// Runs a program under a small reaper process that adopts every process the
// program leaves behind (a child subreaper) and waits until all of them have
// ended. A test then knows, without polling, whether the program started
// anything and how that ended.
#include <string>
#include <vector>

namespace testsupport {

struct DescendantRun {
    bool finished = false;  // false: the deadline passed and the reaper was killed
    int exitCode = -1;      // the program: its exit status, or 128 + the signal
    // Every other process that ended under the reaper, in the order they ended.
    std::vector<int> descendantExitCodes;
};

// argv[0] is a path. extraEnvironment entries ("NAME=value") replace
// inherited ones of the same name.
DescendantRun RunReapingDescendants(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& extraEnvironment, int timeoutMs);

}  // namespace testsupport
