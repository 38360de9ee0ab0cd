#pragma once
// Which process of a product may deliver the history file's leftovers.
//
// Every running process of the product holds a shared lock on the claim file.
// A process re-queues the history only when it can take the claim
// exclusively, that is when no other process of the product runs: events
// still queued in a live process are then never sent twice. The resend
// process keeps the exclusive claim while it delivers; a normal process
// turns it into a shared one at once. Every change of the claim happens
// under the history file's own lock (the guard), so no process sees the
// short gap of a conversion and no entry is added between the claim and the
// reading of the history.
#include <functional>
#include <string>

#include "platform/FileLock.h"

class DeliveryClaim {
public:
    DeliveryClaim(const std::string& guardPath, const std::string& claimPath);

    // A normal process at Init. When no other process of the product runs,
    // runs whenFirst under the guard and answers true; registers as running
    // either way when it can.
    bool ClaimForRun(const std::function<void()>& whenFirst);
    // One attempt of the resend process: takes the claim exclusively and keeps
    // it, running whenClaimed under the guard; false while others run.
    bool TryClaimExclusive(const std::function<void()>& whenClaimed);
    // A normal process that found the claim held by a resend process tries to
    // register again.
    void RetryRegistration();

    bool Registered() const { return claim_.Held(); }
    bool Exclusive() const { return exclusive_; }

private:
    platform::FileLock guard_;
    platform::FileLock claim_;
    bool exclusive_ = false;
};
