#include "CDownloadThread.h"

#include <easylogging++.h>

#include "CTask.h"

namespace {

// A range another connection may take up from its first byte.
bool Untouched(const CTask& task, const CTask& previous) {
    return !task.Claimed && task.Status != TaskDone && task.DownloadedPos == task.StartPos &&
           task.RemotePath == previous.RemotePath;
}

}  // namespace

CDownloadThread::CDownloadThread(std::mutex& writeMutex, CPackageWriter& package, const Shared& shared,
                                 std::function<void()> onIdle)
    : CThread(writeMutex, std::move(onIdle)), package_(package), shared_(shared) {
    if (!curl_.valid()) LOG(INFO) << "  m_pCurl init error !!!";
}

std::vector<CTask*> CDownloadThread::ClaimWindow(const CTask& task, std::int64_t windowBytes) {
    std::vector<CTask*> window;
    const CTask* last = &task;
    for (CTask* next = task.Next; next != nullptr; next = next->Next) {
        if (!Untouched(*next, *last) || RangeWriteEnd(*next) - task.DownloadedPos > windowBytes) break;
        if (next->Claimed.exchange(true)) break;
        window.push_back(next);
        last = next;
    }
    return window;
}

CTask* CDownloadThread::ContinueWith(CTask& filled) {
    if (window_.empty() || filled.Next != window_.front() || shared_.cancelled) return nullptr;
    CTask* next = window_.front();
    window_.erase(window_.begin());
    filled.Status = TaskDone;
    if (filled.Verbose) {
        LOG(INFO) << " Tasks info, download success(0), id = " << filled.TaskId
                  << ", reqTime = " << filled.RequestTimes;
    }
    next->Status = TaskRunning;
    setCurrentTask(next);
    if (next->Verbose) {
        LOG(INFO) << " Tasks info, download begin, id = " << next->TaskId << ", task status = " << next->Status
                  << ", thread status = " << status;
    }
    return next;
}

void CDownloadThread::releaseUnreached() {
    for (CTask* task : window_) task->Claimed = false;
    window_.clear();
}

int CDownloadThread::taskBusiness() {
    CTask* task = currentTask();
    if (task == nullptr) return 1;
    if (task->DownloadedPos == task->EndPos) {
        task->Status = TaskDone;
        return 1;
    }
    window_ = ClaimWindow(*task, shared_.windowBytes);
    const std::int64_t end = window_.empty() ? task->EndPos : window_.back()->EndPos;
    const CURLcode result = curl_.httpDownloadContent(task->RemotePath, task->DownloadedPos, end, 0, this);
    releaseUnreached();
    task = currentTask();
    if (result == CURLE_OK && task->DownloadedPos == task->EndPos) {
        task->Status = TaskDone;
        if (task->Verbose) {
            LOG(INFO) << " Tasks info, download success(" << result << "), id = " << task->TaskId
                      << ", reqTime = " << task->RequestTimes;
        }
    } else {
        ++task->RequestTimes;
        task->Status = TaskFailed;
        if (task->Verbose) {
            LOG(INFO) << " Tasks info, download fail(" << result << "), id = " << task->TaskId
                      << ", reqTime = " << task->RequestTimes;
        }
    }
    return 1;
}
