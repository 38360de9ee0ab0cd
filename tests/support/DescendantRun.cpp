#include "support/DescendantRun.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

struct EndRecord {
    int isProgram;
    int exitCode;
};

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& item : extra) replaced = replaced || item.rfind(name + "=", 0) == 0;
        if (!replaced) merged.push_back(text);
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs in the forked reaper: only async-signal-safe calls from here on.
[[noreturn]] void Reap(char* const* argv, char* const* envp, int reportFd) {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const pid_t program = fork();
    if (program == 0) {
        execve(argv[0], argv, envp);
        _exit(127);
    }
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(-1, &status, 0);
        if (ended < 0 && errno == EINTR) continue;
        if (ended < 0) break;
        const EndRecord record{ended == program ? 1 : 0, ExitCodeOf(status)};
        [[maybe_unused]] const ssize_t written = write(reportFd, &record, sizeof record);
    }
    _exit(0);
}

}  // namespace

DescendantRun RunReapingDescendants(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& extraEnvironment, int timeoutMs) {
    std::vector<std::string> argvTexts = argv;
    std::vector<std::string> envTexts = MergedEnvironment(extraEnvironment);
    std::vector<char*> argvPointers = PointersTo(argvTexts);
    std::vector<char*> envPointers = PointersTo(envTexts);

    DescendantRun run;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return run;
    const pid_t reaper = fork();
    if (reaper == 0) Reap(argvPointers.data(), envPointers.data(), pipeFds[1]);
    close(pipeFds[1]);
    if (reaper < 0) {
        close(pipeFds[0]);
        return run;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd wait{pipeFds[0], POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) continue;
        EndRecord record{};
        const ssize_t count = read(pipeFds[0], &record, sizeof record);
        if (count < 0 && errno == EINTR) continue;
        if (count != static_cast<ssize_t>(sizeof record)) {
            run.finished = count == 0;
            break;
        }
        if (record.isProgram)
            run.exitCode = record.exitCode;
        else
            run.descendantExitCodes.push_back(record.exitCode);
    }
    close(pipeFds[0]);
    if (!run.finished) kill(reaper, SIGKILL);
    int status = 0;
    waitpid(reaper, &status, 0);
    return run;
}

}  // namespace testsupport
