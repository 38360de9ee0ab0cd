#pragma once
// The process-wide crash filter: on a fatal signal it drops the single-instance
// lock, writes a minidump next to the run's log and, when the service asked
// for diagnostics, relaunches the installer with " -dmp ".

// Installs the filter for the whole process and the calling thread's
// alternate signal stack. Called first thing in start-up.
void InstallUnhandledExceptionHandler();

// Every thread the installer starts calls this first, so a crash on its
// stack (even an overflow) still reaches the filter.
void PrepareThreadForCrashHandling();
