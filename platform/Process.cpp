#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <spawn.h>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

// Everything the child needs, prepared before fork: after fork only
// async-signal-safe calls are allowed.
struct ChildPlan {
    std::vector<std::string> argvStorage;
    std::vector<std::string> envStorage;
    std::vector<char*> argv;
    std::vector<char*> envp;
    const char* workingDirectory = nullptr;
    bool hidden = false;
    bool dropPrivileges = false;
    int executableDescriptor = -1;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
};

struct DesktopUser {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::vector<std::string> environment;  // HOME, USER, LOGNAME, XDG_RUNTIME_DIR of the user
};

// The user a child is started as: their groups and the environment entries
// that would otherwise still name root's home and session.
DesktopUser DesktopUserFor(uid_t uid) {
    DesktopUser user;
    user.uid = uid;
    user.gid = uid;
    passwd entry {};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        user.gid = entry.pw_gid;
        int count = 64;
        user.groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(entry.pw_name, entry.pw_gid, user.groups.data(), &count) < 0) {
            user.groups.resize(static_cast<std::size_t>(count));
            getgrouplist(entry.pw_name, entry.pw_gid, user.groups.data(), &count);
        }
        user.groups.resize(static_cast<std::size_t>(std::max(count, 0)));
        user.environment = {std::string("HOME=") + entry.pw_dir, std::string("USER=") + entry.pw_name,
                            std::string("LOGNAME=") + entry.pw_name};
    }
    if (user.groups.empty()) user.groups.push_back(user.gid);
    const std::string runtime = "/run/user/" + std::to_string(uid);
    struct stat info {};
    if (stat(runtime.c_str(), &info) == 0 && info.st_uid == uid) user.environment.push_back("XDG_RUNTIME_DIR=" + runtime);
    else user.environment.push_back("XDG_RUNTIME_DIR");  // a name alone: removed
    return user;
}

std::string_view NameOf(std::string_view entry) { return entry.substr(0, entry.find('=')); }

ChildPlan MakePlan(const std::vector<std::string>& argv, const SpawnOptions& options) {
    ChildPlan plan;
    plan.argvStorage = argv;
    std::vector<std::string> extras;
    if (options.runAsUser && geteuid() == 0 && *options.runAsUser != 0) {
        DesktopUser user = DesktopUserFor(*options.runAsUser);
        plan.dropPrivileges = true;
        plan.uid = user.uid;
        plan.gid = user.gid;
        plan.groups = std::move(user.groups);
        extras = std::move(user.environment);
    }
    for (const std::string& extra : options.extraEnvironment) {
        std::erase_if(extras, [&](const std::string& item) { return NameOf(item) == NameOf(extra); });
        extras.push_back(extra);
    }
    // An extra entry replaces an inherited one of the same name: with both
    // present, getenv would answer the inherited one.
    auto overridden = [&extras](const char* variable) {
        const std::string_view name = NameOf(variable);
        return std::any_of(extras.begin(), extras.end(), [&](const std::string& extra) { return NameOf(extra) == name; });
    };
    for (char** variable = environ; variable && *variable; ++variable) {
        if (!overridden(*variable)) plan.envStorage.emplace_back(*variable);
    }
    for (const std::string& extra : extras)
        if (extra.find('=') != std::string::npos) plan.envStorage.push_back(extra);
    if (!options.workingDirectory.empty()) plan.workingDirectory = options.workingDirectory.c_str();
    plan.hidden = options.hidden || options.detached;
    plan.executableDescriptor = options.executableDescriptor;
    return plan;
}

// Pointer arrays are made only once the plan sits where it stays: short
// strings live inside the string objects, so a move would leave them dangling.
void SealPlan(ChildPlan& plan) {
    for (std::string& item : plan.argvStorage) plan.argv.push_back(item.data());
    plan.argv.push_back(nullptr);
    for (std::string& item : plan.envStorage) plan.envp.push_back(item.data());
    plan.envp.push_back(nullptr);
}

void WriteErrno(int fd, int error) {
    [[maybe_unused]] const ssize_t written = write(fd, &error, sizeof error);
}

// Runs in the forked child; reports a failure through errorFd and exits.
[[noreturn]] void ExecPlan(const ChildPlan& plan, int errorFd) {
    if (plan.hidden) {
        setsid();
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
            if (devNull > STDERR_FILENO) close(devNull);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (plan.workingDirectory && chdir(plan.workingDirectory) != 0) {
        WriteErrno(errorFd, errno);
        _exit(127);
    }
    if (plan.dropPrivileges &&
        (setgroups(plan.groups.size(), plan.groups.data()) != 0 || setgid(plan.gid) != 0 || setuid(plan.uid) != 0)) {
        WriteErrno(errorFd, errno);
        _exit(127);
    }
    if (plan.executableDescriptor >= 0) {
        // The copy stays open across exec: a script's interpreter reads the
        // script through it.
        const int program = dup(plan.executableDescriptor);
        if (program >= 0) fexecve(program, plan.argv.data(), plan.envp.data());
    } else {
        execve(plan.argv[0], plan.argv.data(), plan.envp.data());
    }
    WriteErrno(errorFd, errno);
    _exit(127);
}

}  // namespace

// Reads exactly one value from a pipe; false when the writer closed it first.
template <typename Value>
bool ReadValue(int fd, Value& value) {
    ssize_t received;
    do {
        received = read(fd, &value, sizeof value);
    } while (received < 0 && errno == EINTR);
    return received == static_cast<ssize_t>(sizeof value);
}

struct Pipe {
    int fds[2] = {-1, -1};
    bool Open() { return pipe2(fds, O_CLOEXEC) == 0; }
    void Close() {
        for (int& fd : fds) {
            if (fd >= 0) close(fd);
            fd = -1;
        }
    }
    ~Pipe() { Close(); }
};

pid_t SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options) {
    if (argv.empty()) {
        errno = EINVAL;
        return -1;
    }
    ChildPlan plan = MakePlan(argv, options);
    SealPlan(plan);
    // Both pipes close on exec. The error pipe carries the errno of a failed
    // exec; the pid pipe carries a detached grandchild's pid. Two pipes, so
    // the two values can never be mistaken for each other.
    Pipe errorPipe;
    Pipe pidPipe;
    if (!errorPipe.Open() || !pidPipe.Open()) return -1;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (options.detached) {
            const pid_t grandchild = fork();
            if (grandchild < 0) _exit(126);
            if (grandchild > 0) {
                [[maybe_unused]] const ssize_t sent = write(pidPipe.fds[1], &grandchild, sizeof grandchild);
                _exit(0);
            }
        }
        ExecPlan(plan, errorPipe.fds[1]);
    }
    close(errorPipe.fds[1]);
    errorPipe.fds[1] = -1;
    close(pidPipe.fds[1]);
    pidPipe.fds[1] = -1;

    pid_t started = child;
    if (options.detached) {
        waitpid(child, nullptr, 0);
        if (!ReadValue(pidPipe.fds[0], started)) {
            errno = ECHILD;
            return -1;
        }
    }
    int childErrno = 0;
    if (ReadValue(errorPipe.fds[0], childErrno)) {
        if (!options.detached) waitpid(child, nullptr, 0);
        errno = childErrno;
        return -1;
    }
    return started;
}

WaitResult WaitForProcess(pid_t pid, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, timeoutMs < 0 ? 0 : WNOHANG);
        if (done == pid) {
            WaitResult result;
            result.exited = true;
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return result;
        }
        if (done < 0 && errno != EINTR) return {};
        if (timeoutMs >= 0 && Clock::now() >= deadline) return {};
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

CapturedRun RunForOutput(const std::vector<std::string>& argv, int timeoutMs) {
    constexpr std::size_t kOutputLimit = 1 << 20;
    CapturedRun run;
    if (argv.empty()) {
        errno = EINVAL;
        return run;
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    pid_t pid = -1;
    const int spawnError = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawnError != 0) {
        close(pipeEnds[0]);
        errno = spawnError;
        return run;
    }
    run.started = true;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    bool timedOut = false;
    for (;;) {
        int waitMs = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                timedOut = true;
                break;
            }
            waitMs = static_cast<int>(left);
        }
        pollfd readable{pipeEnds[0], POLLIN, 0};
        const int ready = poll(&readable, 1, waitMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        run.output.append(buffer, std::min(static_cast<std::size_t>(n), kOutputLimit - std::min(kOutputLimit, run.output.size())));
    }
    close(pipeEnds[0]);
    if (timedOut) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    run.exited = !timedOut;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::vector<ProcessInfo> ListProcesses() {
    std::vector<ProcessInfo> processes;
    DIR* proc = opendir("/proc");
    if (!proc) return processes;
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0) continue;
        const std::string base = std::string("/proc/") + entry->d_name;
        ProcessInfo info{static_cast<pid_t>(pid), "", ""};
        std::ifstream comm(base + "/comm");
        if (!std::getline(comm, info.name)) continue;
        char target[4096];
        const ssize_t length = readlink((base + "/exe").c_str(), target, sizeof target - 1);
        if (length > 0) info.executable.assign(target, static_cast<std::size_t>(length));
        processes.push_back(std::move(info));
    }
    closedir(proc);
    return processes;
}

bool TerminateProcess(pid_t pid) { return pid > 0 && kill(pid, SIGKILL) == 0; }

std::string CurrentExecutablePath() {
    char target[4096];
    const ssize_t length = readlink("/proc/self/exe", target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "";
}

std::string CurrentExecutableDir() {
    const std::string path = CurrentExecutablePath();
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::optional<uid_t> DesktopUserOfRootProcess() {
    if (geteuid() != 0) return std::nullopt;
    for (const char* name : {"PKEXEC_UID", "SUDO_UID"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        char* end = nullptr;
        const unsigned long uid = std::strtoul(value, &end, 10);
        if (*end == '\0' && uid != 0) return static_cast<uid_t>(uid);
    }
    return std::nullopt;
}

}  // namespace platform
