#pragma once
// The window side of the progress display: the flow's custom messages and
// the window's timers move the bar through verification (85 to 90) and
// installation (90 to 99) by estimate, because the setup reports no
// progress of its own, and signal the progress-finished event once the bar
// has reached its end after the setup ended. Everything here runs on the
// window's thread.
#include <cstdint>

class IFlowAnalytics;
class IInstallWindowPort;
class IRunEndReactions;
class IWindowTimers;

class InstallProgressController {
public:
    InstallProgressController(IInstallWindowPort& window, IWindowTimers& timers, IRunEndReactions& reactions,
                              IFlowAnalytics& analytics);

    // Dispatches one custom message; never handles it for the window
    // (handled is set to false) and returns 0.
    long HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    // One tick of a window timer; returns 0.
    long OnTimer(int timerId);

private:
    void VerificationStarted();
    void SetupStarted();
    void VerifyCreepTick();
    void InstallCreepTick();
    void FinalCreepTick();
    void AutoClick(int timerId, const char* controlName);

    IInstallWindowPort& window_;
    IWindowTimers& timers_;
    IRunEndReactions& reactions_;
    IFlowAnalytics& analytics_;
};
