#pragma once
// The delivery part of the report library: repeat detection, the history
// file, the queue and its sender thread, and the POST to the services.
//
// An accepted event is written to the history file before it is queued, and
// leaves the file only when the service has accepted it; what a process
// leaves behind is re-queued by the next process of the same product.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "reportsdk/CurlPost.h"
#include "reportsdk/DeliveryTask.h"
#include "reportsdk/HistoryFile.h"
#include "reportsdk/RepeatDetector.h"

class CManagement;
class DeliveryClaim;

struct DeliveryTimings {
    std::chrono::milliseconds retryPause{2000};  // after each failed attempt
    std::chrono::milliseconds idlePoll{500};     // the sender thread's look at an empty queue
    PostLimits limits;
};

class CNetworkCommunicate {
public:
    using Timings = DeliveryTimings;
    // Sends one request; the default is libcurl.
    using Poster = std::function<PostOutcome(const std::string& url, const std::string& body)>;

    static constexpr int kAttempts = 3;

    // The process-wide instance, made on first use with CManagement's.
    static CNetworkCommunicate& GetInstance();

    // Initialises libcurl for the process and starts the sender thread.
    explicit CNetworkCommunicate(CManagement& management, Timings timings = {}, Poster poster = {});
    virtual ~CNetworkCommunicate();
    CNetworkCommunicate(const CNetworkCommunicate&) = delete;
    CNetworkCommunicate& operator=(const CNetworkCommunicate&) = delete;

    // 0, or -1 when repeat detection dropped the event.
    int Submit(const std::string& key, const std::string& payload, bool restored, bool persist, bool wait);
    // Up to three attempts on the calling thread, then either the history
    // entry goes (markDone) or the task goes to the back of the queue.
    bool SendTask(const DeliveryTask& task, bool markDone);
    // One POST; the HTTP status, 0 without a response.
    int PostData(const std::string& url, const std::string& body);
    void UpdateHistory(const std::string& key, const std::string& payload, int status);

    // A normal process at Init: re-queues the history when no other process
    // of the product runs. Returns the file's "send_count".
    int RequeueHistory();
    // The resend process: waits up to limit for the other processes of the
    // product to end, then re-queues the history. False when it gave up.
    bool RequeueHistoryForResend(std::chrono::milliseconds limit, std::chrono::milliseconds poll);

    std::size_t QueuedCount() const;
    // Nothing queued and no request under way.
    bool Idle() const;
    // Ends the sender thread; a request under way is cut short and its task
    // stays in the history file.
    void Stop();

private:
    void SenderLoop();
    bool Deliver(const DeliveryTask& task);
    void Settle(const DeliveryTask& task, bool delivered, bool markDone);
    void PauseAfterFailure();
    HistoryFile& HistoryLocked();
    DeliveryClaim& ClaimLocked();
    void UpdateHistoryLocked(const std::string& key, const std::string& payload, int status);
    int RequeueSnapshot(const HistoryFile::Snapshot& snapshot);
    void Log(const std::string& message);

    CManagement& management_;
    const Timings timings_;
    const Poster poster_;
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;  // queue, in-flight count, history file, earlier keys, claim
    std::condition_variable wake_;
    std::deque<DeliveryTask> queue_;
    int inFlight_ = 0;
    RepeatDetector repeats_;
    std::unique_ptr<HistoryFile> history_;
    std::unique_ptr<DeliveryClaim> claim_;

    std::thread sender_;
};
