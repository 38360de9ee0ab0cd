#pragma once
// Processes without a shell: spawn from an argv, wait with a time-out, list
// and terminate.
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct SpawnOptions {
    std::string workingDirectory;      // empty: inherit
    bool hidden = false;               // own session, no terminal, stdio to /dev/null
    bool detached = false;             // hidden, and handed to init: never waited for, never a zombie
    std::optional<uid_t> runAsUser;    // drop to this user (root only)
    std::vector<std::string> extraEnvironment;  // "NAME=value" added to the current environment
    // When set, the program run is the file open on this descriptor (fexecve)
    // and argv[0] is only the name it is given.
    int executableDescriptor = -1;
};

// Starts argv[0] (a path) with argv. Returns the pid, or -1 with errno set
// (also when the program could not be executed).
pid_t SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options = {});

struct WaitResult {
    bool exited = false;   // false: still running when the time-out passed
    int exitCode = -1;     // exit status, or 128 + signal number
};
// Waits for a child of this process; timeoutMs < 0 waits forever.
WaitResult WaitForProcess(pid_t pid, int timeoutMs);

struct CapturedRun {
    bool started = false;  // false: the program could not be executed (errno set)
    bool exited = false;   // false: killed when the time-out passed
    int exitCode = -1;     // exit status, or 128 + signal number
    std::string output;    // standard output, at most 1 MiB
};
// Runs argv[0] (a path) with argv, standard input and error on /dev/null,
// and collects its standard output. timeoutMs < 0 waits as long as it runs;
// after the time-out the program is killed.
CapturedRun RunForOutput(const std::vector<std::string>& argv, int timeoutMs);

struct ProcessInfo {
    pid_t pid;
    std::string name;        // /proc/<pid>/comm
    std::string executable;  // /proc/<pid>/exe target, empty when unreadable
};
std::vector<ProcessInfo> ListProcesses();
bool TerminateProcess(pid_t pid);  // SIGKILL

// Absolute path of the running executable (/proc/self/exe).
std::string CurrentExecutablePath();
// Folder of the running executable, with a trailing "/".
std::string CurrentExecutableDir();
// The desktop user a root process should start programs as (PKEXEC_UID, then
// SUDO_UID); empty when not root or unknown.
std::optional<uid_t> DesktopUserOfRootProcess();

}  // namespace platform
