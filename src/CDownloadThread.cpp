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

CDownloadThread::CDownloadThread(std::mutex& writeMutex, int packageFile, const Shared& shared,
                                 std::function<void()> onIdle)
    : CThread(writeMutex, std::move(onIdle)), packageFile_(packageFile), shared_(shared) {
    if (!curl_.valid()) LOG(INFO) << "  m_pCurl init error !!!";
}

std::int64_t CDownloadThread::RequestEnd(const CTask& task) {
    const CTask* last = &task;
    while (last->Next != nullptr && Untouched(*last->Next, *last)) last = last->Next;
    return last->EndPos;
}

CTask* CDownloadThread::ContinueWith(CTask& filled) {
    CTask* next = filled.Next;
    if (next == nullptr || shared_.cancelled || !Untouched(*next, filled)) return nullptr;
    if (next->Claimed.exchange(true)) return nullptr;
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

int CDownloadThread::taskBusiness() {
    CTask* task = currentTask();
    if (task == nullptr) return 1;
    if (task->DownloadedPos == task->EndPos) {
        task->Status = TaskDone;
        return 1;
    }
    const CURLcode result =
        curl_.httpDownloadContent(task->RemotePath, task->DownloadedPos, RequestEnd(*task), 0, this);
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
