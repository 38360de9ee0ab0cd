#include "reportsdk/CNetworkCommunicate.h"

#include <curl/curl.h>

#include "reportsdk/CManagement.h"
#include "reportsdk/DeliveryClaim.h"
#include "platform/AlternateSignalStack.h"

namespace {

constexpr int kGa4Accepted = 204;
constexpr int kCollectorAccepted = 200;

}  // namespace

CNetworkCommunicate::CNetworkCommunicate(CManagement& management, Timings timings, Poster poster)
    : management_(management), timings_(timings), poster_(std::move(poster)) {
    curl_global_init(CURL_GLOBAL_ALL);
    sender_ = std::thread([this] {
        platform::InstallThreadSignalStack();
        SenderLoop();
    });
}

CNetworkCommunicate::~CNetworkCommunicate() {
    Stop();
    curl_global_cleanup();
}

void CNetworkCommunicate::Stop() {
    {
        std::lock_guard hold(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (sender_.joinable() && sender_.get_id() != std::this_thread::get_id()) sender_.join();
}

void CNetworkCommunicate::Log(const std::string& message) { management_.Log(message); }

int CNetworkCommunicate::Submit(const std::string& key, const std::string& payload, bool restored, bool persist,
                                bool wait) {
    const DeliveryTask task{restored, key, DeliveryTask::KindOf(payload), payload};
    {
        std::lock_guard hold(mutex_);
        const int count = repeats_.CountAndRecord(key);
        if (RepeatDetector::IsFlood(count)) {
            Log("Detect repeat " + std::to_string(count) + ", more than " +
                std::to_string(RepeatDetector::kAllowedRepeats) + " within " +
                std::to_string(RepeatDetector::kWindowSeconds) + " seconds");
            return -1;
        }
        if (persist) UpdateHistoryLocked(key, payload, HistoryFile::kPending);
        if (!wait) {
            queue_.push_back(task);
            wake_.notify_all();
            return 0;
        }
        ++inFlight_;
    }
    Settle(task, Deliver(task), persist);
    return 0;
}

bool CNetworkCommunicate::SendTask(const DeliveryTask& task, bool markDone) {
    {
        std::lock_guard hold(mutex_);
        ++inFlight_;
    }
    const bool delivered = Deliver(task);
    Settle(task, delivered, markDone);
    return delivered;
}

bool CNetworkCommunicate::Deliver(const DeliveryTask& task) {
    for (int attempt = 0; attempt < kAttempts && !stopping_; ++attempt) {
        bool accepted = false;
        if (task.kind == DeliveryTask::kGa4)
            accepted = PostData(task.payload, "") == kGa4Accepted;
        else if (task.kind == DeliveryTask::kCollector)
            accepted = PostData(management_.CollectorUrl(), task.payload) == kCollectorAccepted;
        if (accepted) return true;
        PauseAfterFailure();
    }
    return false;
}

void CNetworkCommunicate::Settle(const DeliveryTask& task, bool delivered, bool markDone) {
    std::lock_guard hold(mutex_);
    --inFlight_;
    if (!delivered) {
        queue_.push_back(task);
        wake_.notify_all();
    } else if (markDone) {
        UpdateHistoryLocked(task.key, task.payload, HistoryFile::kDelivered);
    }
}

void CNetworkCommunicate::PauseAfterFailure() {
    std::unique_lock hold(mutex_);
    wake_.wait_for(hold, timings_.retryPause, [this] { return stopping_.load(); });
}

int CNetworkCommunicate::PostData(const std::string& url, const std::string& body) {
    const PostOutcome outcome =
        poster_ ? poster_(url, body)
                : CurlPost(url, body, management_.ProxyLine(), timings_.limits, [this] { return stopping_.load(); });
    if (outcome.curlCode != 0 || (outcome.status != 200 && outcome.status != 204))
        Log("PostDataError: " + std::to_string(outcome.curlCode) + ", " + outcome.errorText + ", " +
            std::to_string(outcome.status));
    return static_cast<int>(outcome.status);
}

void CNetworkCommunicate::SenderLoop() {
    for (;;) {
        DeliveryTask task;
        {
            std::unique_lock hold(mutex_);
            if (queue_.empty())
                wake_.wait_for(hold, timings_.idlePoll, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            if (queue_.empty()) {
                if (claim_) claim_->RetryRegistration();
                continue;
            }
            task = std::move(queue_.front());
            queue_.pop_front();
            ++inFlight_;
        }
        Settle(task, Deliver(task), true);
    }
}

HistoryFile& CNetworkCommunicate::HistoryLocked() {
    const std::string path = management_.HistoryPath();
    if (!history_ || history_->Path() != path) history_ = std::make_unique<HistoryFile>(path);
    return *history_;
}

DeliveryClaim& CNetworkCommunicate::ClaimLocked() {
    const HistoryFile& history = HistoryLocked();
    if (!claim_) claim_ = std::make_unique<DeliveryClaim>(history.LockPath(), history.Path() + ".claim");
    return *claim_;
}

void CNetworkCommunicate::UpdateHistory(const std::string& key, const std::string& payload, int status) {
    std::lock_guard hold(mutex_);
    UpdateHistoryLocked(key, payload, status);
}

void CNetworkCommunicate::UpdateHistoryLocked(const std::string& key, const std::string& payload, int status) {
    HistoryFile& history = HistoryLocked();
    if (!history.Update(key, payload, status)) Log("History write failed: " + history.Path());
}

int CNetworkCommunicate::RequeueHistory() {
    HistoryFile::Snapshot snapshot;
    bool claimed = false;
    {
        std::lock_guard hold(mutex_);
        HistoryFile& history = HistoryLocked();
        claimed = ClaimLocked().ClaimForRun([&] { snapshot = history.ReadWhileLocked(); });
    }
    if (!claimed) {
        Log("Read history: left to another running process of this product");
        return 0;
    }
    RequeueSnapshot(snapshot);
    return snapshot.sendCount;
}

bool CNetworkCommunicate::RequeueHistoryForResend(std::chrono::milliseconds limit, std::chrono::milliseconds poll) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        HistoryFile::Snapshot snapshot;
        bool claimed = false;
        {
            std::lock_guard hold(mutex_);
            HistoryFile& history = HistoryLocked();
            claimed = ClaimLocked().TryClaimExclusive([&] { snapshot = history.ReadWhileLocked(); });
        }
        if (claimed) {
            RequeueSnapshot(snapshot);
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || stopping_) break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(poll, deadline - now));
    }
    Log("Send rest logs, another process of this product still runs; history left for later");
    return false;
}

int CNetworkCommunicate::RequeueSnapshot(const HistoryFile::Snapshot& snapshot) {
    int requeued = 0;
    for (const auto& entry : snapshot.entries) {
        if (entry.status == HistoryFile::kDelivered) continue;
        Submit(entry.key, entry.content, true, false, false);
        ++requeued;
    }
    Log("Read history: " + std::to_string(requeued) + "/" + std::to_string(snapshot.sendCount));
    return requeued;
}

std::size_t CNetworkCommunicate::QueuedCount() const {
    std::lock_guard hold(mutex_);
    return queue_.size();
}

bool CNetworkCommunicate::Idle() const {
    std::lock_guard hold(mutex_);
    return queue_.empty() && inFlight_ == 0;
}
