#include "Common/CrashHandler.h"

// FIXME: the fatal-signal handler and the minidump writer are not built yet;
// until they are, a crash ends the process with the default action.
void InstallUnhandledExceptionHandler() {}

void PrepareThreadForCrashHandling() {}
