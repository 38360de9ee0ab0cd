#pragma once
// The window's timers as the progress display starts and stops them. A
// timer fires every period until it is stopped; starting a running timer
// again restarts it with the new period.
class IWindowTimers {
public:
    virtual ~IWindowTimers() = default;
    virtual void SetTimer(int id, unsigned periodMs) = 0;
    virtual void KillTimer(int id) = 0;
};
