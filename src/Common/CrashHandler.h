#pragma once
// The process-wide crash filter: on a fatal signal it drops the single-instance
// lock, writes a minidump next to the run's log and, when the service asked
// for diagnostics, relaunches the installer with " -dmp ".
#include <csignal>
#include <cstdint>
#include <string>

#include "platform/SignalSafeText.h"

// Installs the filter for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT and
// the calling thread's alternate signal stack. Called first thing in start-up.
void InstallUnhandledExceptionHandler();

// Every thread the installer starts calls this first, so a crash on its
// stack (even an overflow) still reaches the filter. The stack is freed when
// the thread ends.
void PrepareThreadForCrashHandling();

// Start-up calls this once the run's log paths are fixed (after
// InitLogPaths): the filter copies the log file path, because at crash time
// it may not ask the logger (which takes locks and allocates).
void RefreshCrashHandlerPaths();

// The fatal-signal handler. Handles the first crash only; any other thread
// that crashes meanwhile waits for the process to end.
void UnhandledExceptionHandler(int signalNumber, siginfo_t* info, void* context);

// The program the filter relaunches in diagnostics mode: the own executable.
// Test programs that crash on purpose point it at the installer instead.
void SetCrashRelaunchExecutable(const std::string& path);

// The filter's texts, built into fixed buffers without allocation.
namespace crashfilter {

// The log file path + ".dmp"; without a log file, tempDir + "<id>_<version>_
// <yyyyMMddHHmmssmmm>.dmp".
void BuildDumpPath(platform::SignalSafeText& out, const char* logFilePath, const char* tempDir,
                   int downloaderId, const char* fileVersion, const platform::CivilTime& now);

// One line as the installer's logger writes it:
// "yyyy-MM-dd HH:mm:ss,mmm--[Thread](<id>) <message>\n".
void BuildLogLine(platform::SignalSafeText& out, const platform::CivilTime& now, std::uint64_t threadId,
                  const char* message);

// The log file's name and extension: the text after the last "/".
const char* FileNameOf(const char* path);

}  // namespace crashfilter
