#pragma once
// Writes a Minidump-format file of the running process from inside a
// fatal-signal handler: the crashing thread (context, stack, the code around
// the faulting instruction), the exception, system facts, the loaded modules
// with their build ids and the process's maps, status, command line, auxv
// and cpuinfo. The environment is never written.
#include <signal.h>
#include <sys/types.h>

namespace platform {

// What the signal handler knows about the crash.
struct CrashContext {
    int signalNumber = 0;
    const siginfo_t* signalInfo = nullptr;
    const void* userContext = nullptr;  // the handler's ucontext_t
    pid_t threadId = 0;                 // the crashing thread
};

class MinidumpWriter {
public:
    // Gathers the facts that cannot be read safely at crash time (processor
    // count, kernel version, where the environment lies). Call once outside
    // any signal handler, before the first Write.
    static void PrepareProcessFacts();

    // Writes the dump to fd (open for writing, empty). Async-signal-safe: no
    // allocation, no locks, no stdio; runs at most once at a time. Returns
    // true when every stream was written. The header and stream directory
    // come first, so a dump cut short still names the streams that made it.
    static bool Write(int fd, const CrashContext& crash);
};

}  // namespace platform
