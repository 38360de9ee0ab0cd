#pragma once
// The range tasks of one package download: learns the package length from
// the server, cuts the package into ranges, hands them out and keeps them in
// the task file beside the package so that an interrupted download resumes.
#include <cstdint>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "CTaskFileSaver.h"
#include "CTaskManager.h"
#include "EnumErrorCode.h"

class CTask;

// How a package is cut: every range but the last has rangeSize bytes.
struct TaskCut {
    std::int64_t rangeSize = 0;
    int count = 0;
};

class CDownloadTaskManager : public CTaskManager {
public:
    static constexpr std::int64_t kDefaultRangeSize = 4194304;
    // More ranges than this are never made nor loaded.
    static constexpr int kMaxTasks = 65536;
    // No package is longer than this (1 PiB): sums and products of
    // positions then stay far from overflowing.
    static constexpr std::int64_t kMaxPackageBytes = std::int64_t{1} << 50;
    // A task file larger than this is not read.
    static constexpr std::int64_t kMaxTaskFileBytes = 32 << 20;
    // Header probes of one length probe, redirects included.
    static constexpr int kMaxProbeRequests = 10;

    CDownloadTaskManager(std::string remoteUrl, std::string localPath, std::string taskFilePath);
    ~CDownloadTaskManager() override;
    CDownloadTaskManager(const CDownloadTaskManager&) = delete;
    CDownloadTaskManager& operator=(const CDownloadTaskManager&) = delete;

    // Hands out the first free range in package order that is not resting
    // after a failure. Ranges a connection claimed for its request move to
    // the handed-out list on the way, ranges it gave back to the to-do list.
    CTask* takeTodoTask() override;
    int addTodoTask(CTask* task) override;
    int addHandedOutTask(CTask* task) override;

    // Takes ownership; a done task is handed out at once, any other is to do.
    void addTask(CTask* task);
    // A failed task goes back to the to-do list, ready from the driver tick readyAt.
    void retryTask(CTask* task, std::int64_t readyAt);

    EnumErrorCode loadDownloadTask(bool unused, const std::string& tag, int verbose);
    EnumErrorCode generateDownloadTask(bool unused, const std::string& tag, int verbose);
    // The package length by header probes through redirects; 0 on failure.
    std::int64_t getContentLength(CURLcode& code, std::string& cdnText, int verbose);
    // True when every loaded task is done. Tasks with numbers outside the
    // package make the file be rejected.
    bool loadTaskFromFile(int verbose);
    // 1 valid, 2 length changed, 3 ranges broken.
    int checkTaskRanges(int verbose);
    // Replaces the task file (in the background) with the current tasks.
    void saveTaskFile();
    void clearTasks();

    // The package file whose data the task file claims; flushed before every save.
    void setPackageFile(int descriptor) { packageFile_ = descriptor; }
    // Waits until the task file on disk holds the last save.
    void flushTaskFile();
    // True while a save is still on its way to the disk.
    bool taskFileSavePending();

    // The cutting rule for a package length and the two slice settings.
    static TaskCut CutPackage(std::int64_t length, int sliceNum, int sliceSize);

    const std::vector<CTask*>& allTasks() const { return tasks_; }
    const std::vector<CTask*>& handedOutTasks() const { return handedOut_; }
    // Tasks to do that no connection has claimed.
    std::size_t todoCount();
    const std::string& remoteUrl() const { return remoteUrl_; }
    std::int64_t rangeSize() const { return rangeSize_; }

    int TasksCount = 0;
    std::int64_t ContentLength = 0;
    std::int64_t DownloadTime = 0;  // ms of downloading over all runs

private:
    void sortLists();
    void linkNeighbours();
    std::string buildTaskDocument(CTaskFileSaver::Claims& claims) const;
    bool readTaskFile(std::string& text) const;
    bool rangesTileThePackage() const;
    bool statusesFitThePositions() const;
    // Claims of bytes the package file no longer holds (it lost its tail)
    // are given up; those ranges are fetched again from there.
    void giveUpClaimsPastThePackageEnd();
    void discardTaskFileAndPackage();

    std::string remoteUrl_;
    std::string localPath_;
    std::string taskFilePath_;
    std::int64_t rangeSize_ = kDefaultRangeSize;
    std::vector<CTask*> tasks_;
    std::vector<CTask*> handedOut_;
    std::vector<CTask*> todo_;
    bool loadRejected_ = false;
    int packageFile_ = -1;
    std::string lastSavedDocument_;
};
