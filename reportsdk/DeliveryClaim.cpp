#include "reportsdk/DeliveryClaim.h"

DeliveryClaim::DeliveryClaim(const std::string& guardPath, const std::string& claimPath)
    : guard_(guardPath), claim_(claimPath) {}

bool DeliveryClaim::ClaimForRun(const std::function<void()>& whenFirst) {
    platform::ScopedFileLock hold(guard_);
    if (claim_.Lock(true, false)) {
        if (whenFirst) whenFirst();
        claim_.Lock(false, false);
        return true;
    }
    claim_.Lock(false, false);
    return false;
}

bool DeliveryClaim::TryClaimExclusive(const std::function<void()>& whenClaimed) {
    if (exclusive_) return true;
    platform::ScopedFileLock hold(guard_);
    if (!claim_.Lock(true, false)) return false;
    exclusive_ = true;
    if (whenClaimed) whenClaimed();
    return true;
}

void DeliveryClaim::RetryRegistration() {
    if (exclusive_ || claim_.Held()) return;
    platform::ScopedFileLock hold(guard_);
    claim_.Lock(false, false);
}
