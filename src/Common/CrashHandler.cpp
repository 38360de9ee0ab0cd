#include "Common/CrashHandler.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "Common/wWndMain.h"
#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/AlternateSignalStack.h"
#include "platform/DesktopUserFiles.h"
#include "platform/Folders.h"
#include "platform/MinidumpWriter.h"
#include "platform/PrivateFolder.h"
#include "platform/Process.h"
#include "platform/SingleInstance.h"

extern char** environ;

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Everything the handler needs, copied in advance into fixed buffers: at
// crash time nothing may allocate or lock.
struct CrashFilterState {
    char executablePath[PATH_MAX] = {};
    char tempDir[PATH_MAX] = {};
    // The desktop user a root run hands the dump beside the log to; -1: none.
    long long dumpOwnerUid = -1;
    long long dumpOwnerGid = -1;
    char fileVersion[64] = {};
    long utcOffsetSeconds = 0;
    // Descriptors held open so the handler can still open the log and the
    // dump when the process has run out of them.
    int spareDescriptors[2] = {-1, -1};
    std::atomic<int>* downloaderConfig = nullptr;
    const platform::InstanceLock* instanceLock = nullptr;

    // Written by start-up, read by the handler once pathsReady is set.
    std::atomic<bool> pathsReady{false};
    char logFilePath[PATH_MAX] = {};
    char relaunchLogName[PATH_MAX] = {};
    char dumpOption[8] = "-dmp";
    char* relaunchArgv[4] = {};
};

CrashFilterState g_state;
std::atomic<bool> g_installed{false};
std::atomic<bool> g_crashClaimed{false};

std::uint64_t CurrentThreadTag() { return static_cast<std::uint64_t>(pthread_self()); }

pid_t CurrentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// Hands a spare descriptor back just before opening a file, so the open
// cannot fail for want of descriptors.
int OpenWithSpare(int spareIndex, const char* path, int flags, mode_t mode) {
    int& spare = g_state.spareDescriptors[spareIndex];
    if (spare >= 0) {
        close(spare);
        spare = -1;
    }
    return open(path, flags | O_CLOEXEC, mode);
}

// The handler's log lines go straight to the run's log file (and standard
// output, like the logger's), one write(2) each.
class CrashLog {
public:
    CrashLog() {
        if (g_state.pathsReady.load(std::memory_order_acquire) && g_state.logFilePath[0] != '\0')
            fd_ = OpenWithSpare(0, g_state.logFilePath, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW, 0644);
    }
    ~CrashLog() {
        if (fd_ >= 0) close(fd_);
    }
    CrashLog(const CrashLog&) = delete;
    CrashLog& operator=(const CrashLog&) = delete;

    void Line(const char* message) const {
        char buffer[1024];
        platform::SignalSafeText line(buffer, sizeof buffer);
        crashfilter::BuildLogLine(line, platform::SignalSafeLocalTime(g_state.utcOffsetSeconds), CurrentThreadTag(),
                                  message);
        if (fd_ >= 0) WriteFully(fd_, line);
        WriteFully(STDOUT_FILENO, line);
    }

private:
    static void WriteFully(int fd, const platform::SignalSafeText& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t count = write(fd, text.c_str() + done, text.size() - done);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) return;
            done += static_cast<std::size_t>(count);
        }
    }

    int fd_ = -1;
};

void AppendResult(platform::SignalSafeText& text, bool succeeded, int error) {
    text.AppendUnsigned(succeeded ? 1 : 0).Append(", ").AppendSigned(succeeded ? 0 : error);
}

// The lock stands for the single-instance mutex: a new wizard may start
// while this process is still writing its dump.
void ReleaseInstanceLock(const CrashLog& log) {
    if (g_state.instanceLock == nullptr) return;
    const int fd = g_state.instanceLock->Descriptor();
    if (fd < 0) return;
    const bool released = flock(fd, LOCK_UN) == 0;
    const int releaseError = errno;
    const bool closed = close(fd) == 0;
    const int closeError = errno;
    char buffer[128];
    platform::SignalSafeText text(buffer, sizeof buffer);
    text.Append(" Release mutex: ");
    AppendResult(text, released, releaseError);
    text.Append(", ");
    AppendResult(text, closed, closeError);
    log.Line(text.c_str());
}

bool WriteDump(const CrashLog& log, const platform::CrashContext& crash) {
    char pathBuffer[PATH_MAX + 64];
    platform::SignalSafeText path(pathBuffer, sizeof pathBuffer);
    const bool haveLog = g_state.pathsReady.load(std::memory_order_acquire);
    crashfilter::BuildDumpPath(path, haveLog ? g_state.logFilePath : "", g_state.tempDir,
                               startup::g_downloaderId.load(std::memory_order_relaxed), g_state.fileVersion,
                               platform::SignalSafeLocalTime(g_state.utcOffsetSeconds));
    // The dump holds stack memory: readable by the user only.
    const int fd =
        path.truncated() ? -1 : OpenWithSpare(1, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
    const int openError = errno;
    if (fd >= 0 && haveLog && g_state.dumpOwnerUid >= 0) {
        [[maybe_unused]] const int handed =
            fchown(fd, static_cast<uid_t>(g_state.dumpOwnerUid), static_cast<gid_t>(g_state.dumpOwnerGid));
    }
    char buffer[128];
    platform::SignalSafeText text(buffer, sizeof buffer);
    text.Append(" Create dmp file: ");
    AppendResult(text, fd >= 0, path.truncated() ? ENAMETOOLONG : openError);
    log.Line(text.c_str());
    if (fd < 0) return false;

    const bool written = platform::MinidumpWriter::Write(fd, crash);
    const int writeError = errno;
    close(fd);
    text.Clear();
    text.Append(" Write dmp file: ");
    AppendResult(text, written, writeError);
    log.Line(text.c_str());
    return written;
}

void CloseDescriptorsFrom(int first) {
    if (syscall(SYS_close_range, first, ~0U, 0) == 0) return;
    for (int fd = first; fd < 4096; ++fd) close(fd);
}

// Starts the installer in crash-diagnostics mode as a detached process of
// its own; the argument vector was built in advance.
void RelaunchForDiagnostics() {
    if (!g_state.pathsReady.load(std::memory_order_acquire) || g_state.relaunchArgv[0] == nullptr) return;
    const pid_t child = _Fork();
    if (child != 0) return;

    for (const int signalNumber : kFatalSignals) signal(signalNumber, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    setsid();
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
    }
    CloseDescriptorsFrom(3);
    execve(g_state.relaunchArgv[0], g_state.relaunchArgv, environ);
    _exit(127);
}

void RestoreDefaultActions() {
    for (const int signalNumber : kFatalSignals) {
        struct sigaction action{};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, nullptr);
    }
}

// A fault repeats by itself once the handler returns; a signal sent by
// kill(), raise() or abort() has to be sent again.
bool WasSentBySomeone(int signalNumber, const siginfo_t* info) {
    return info == nullptr || info->si_code <= 0 || signalNumber == SIGABRT;
}

void WaitForProcessEnd() {
    const timespec pause{0, 100 * 1000 * 1000};
    for (;;) nanosleep(&pause, nullptr);
}

void CopyRelaunchArguments(const std::string& logFilePath) {
    const char* logName = crashfilter::FileNameOf(logFilePath.c_str());
    platform::CopyToFixedBuffer(g_state.relaunchLogName, sizeof g_state.relaunchLogName, logName,
                                platform::SignalSafeLength(logName));
    g_state.relaunchArgv[0] = g_state.executablePath[0] != '\0' ? g_state.executablePath : nullptr;
    g_state.relaunchArgv[1] = g_state.dumpOption;
    g_state.relaunchArgv[2] = g_state.relaunchLogName;
    g_state.relaunchArgv[3] = nullptr;
}

void CopyText(char* buffer, std::size_t capacity, const std::string& text) {
    platform::CopyToFixedBuffer(buffer, capacity, text.c_str(), text.size());
}

}  // namespace

namespace crashfilter {

void BuildDumpPath(platform::SignalSafeText& out, const char* logFilePath, const char* tempDir, int downloaderId,
                   const char* fileVersion, const platform::CivilTime& now) {
    if (logFilePath != nullptr && logFilePath[0] != '\0') {
        out.Append(logFilePath).Append(".dmp");
        return;
    }
    out.Append(tempDir);
    if (out.size() == 0 || out.c_str()[out.size() - 1] != '/') out.AppendChar('/');
    out.AppendSigned(downloaderId).AppendChar('_').Append(fileVersion).AppendChar('_');
    out.AppendStamp17(now).Append(".dmp");
}

void BuildLogLine(platform::SignalSafeText& out, const platform::CivilTime& now, std::uint64_t threadId,
                  const char* message) {
    out.AppendLogDateTime(now).Append("--[Thread](").AppendUnsigned(threadId).Append(") ");
    out.Append(message).AppendChar('\n');
}

const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p)
        if (*p == '/') name = p + 1;
    return name;
}

}  // namespace crashfilter

void UnhandledExceptionHandler(int signalNumber, siginfo_t* info, void* context) {
    if (g_crashClaimed.exchange(true)) WaitForProcessEnd();
    const int downloaderConfig =
        g_state.downloaderConfig != nullptr ? g_state.downloaderConfig->load(std::memory_order_relaxed) : 0;
    {
        const CrashLog log;
        log.Line(" Exception handler entered.");
        ReleaseInstanceLock(log);
        const platform::CrashContext crash{signalNumber, info, context, CurrentThreadId()};
        if (WriteDump(log, crash) && (downloaderConfig == 1 || downloaderConfig == 2)) RelaunchForDiagnostics();
    }
    RestoreDefaultActions();
    if (WasSentBySomeone(signalNumber, info)) syscall(SYS_tgkill, getpid(), CurrentThreadId(), signalNumber);
}

void InstallUnhandledExceptionHandler() {
    if (g_installed.exchange(true)) {
        PrepareThreadForCrashHandling();
        return;
    }
    platform::MinidumpWriter::PrepareProcessFacts();
    const std::string executable = platform::CurrentExecutablePath();
    CopyText(g_state.executablePath, sizeof g_state.executablePath, executable);
    // Without a log the dump goes to a folder of ours, never straight into
    // the shared temporary folder where anyone may plant a link.
    const std::string privateTemp = platform::PrivateTempFolder();
    CopyText(g_state.tempDir, sizeof g_state.tempDir, privateTemp.empty() ? platform::TempDir() : privateTemp);
    CopyText(g_state.fileVersion, sizeof g_state.fileVersion, FuntionImpl::GetFileVersionString(executable));
    g_state.downloaderConfig = &CSingleUserLog::GetInstance().downloaderConfig;
    g_state.instanceLock = &startup::SingleInstanceLock();
    for (int& spare : g_state.spareDescriptors) spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
    RefreshCrashHandlerPaths();

    struct sigaction action{};
    action.sa_sigaction = UnhandledExceptionHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // While the handler runs, a second fault of any kind ends the process
    // at once instead of re-entering it.
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : kFatalSignals) sigaddset(&action.sa_mask, signalNumber);
    for (const int signalNumber : kFatalSignals) sigaction(signalNumber, &action, nullptr);
    PrepareThreadForCrashHandling();
}

void PrepareThreadForCrashHandling() { platform::InstallThreadSignalStack(); }

void RefreshCrashHandlerPaths() {
    const std::string logFilePath = CSingleUserLog::GetInstance().GetLogFilePath();
    g_state.pathsReady.store(false, std::memory_order_release);
    g_state.utcOffsetSeconds = platform::CurrentUtcOffsetSeconds();
    if (logFilePath.empty()) return;
    const auto owner = platform::DesktopOwnerOf(logFilePath.substr(0, logFilePath.find_last_of('/')));
    g_state.dumpOwnerUid = owner ? owner->uid : -1;
    g_state.dumpOwnerGid = owner ? owner->gid : -1;
    CopyText(g_state.logFilePath, sizeof g_state.logFilePath, logFilePath);
    CopyRelaunchArguments(logFilePath);
    g_state.pathsReady.store(true, std::memory_order_release);
}

void SetCrashRelaunchExecutable(const std::string& path) {
    CopyText(g_state.executablePath, sizeof g_state.executablePath, path);
    g_state.relaunchArgv[0] = g_state.executablePath[0] != '\0' ? g_state.executablePath : nullptr;
}
