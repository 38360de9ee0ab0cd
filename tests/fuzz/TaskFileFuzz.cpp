// libFuzzer target for the task-file loader: any bytes as a task file must
// load and be checked without a crash or undefined behaviour (run it in a
// sanitizer build), and whatever is kept must lie within the package.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <easylogging++.h>
#include <unistd.h>

#include "CDownloadTaskManager.h"
#include "CLibcurlTool.h"
#include "CTask.h"
#include "SingleUserLog.h"

namespace {

// Nothing listens here; the length is taken from the cache instead.
constexpr const char* kUrl = "http://127.0.0.1:1/package.exe";
constexpr std::int64_t kPackageBytes = 10485760;

std::string folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
    char pattern[] = "/tmp/task_file_fuzz.XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    folder = pattern;
    // Analytics stay silent: the unattended switch turns every hit away.
    std::ofstream(folder + "/qk_downloader.cfg") << "[Settings]\nAutoRun=1\n";
    setenv("ZEMBRA_SETTINGS_FILE", (folder + "/qk_downloader.cfg").c_str(), 1);
    // A package of the right length, all holes, so no claim is given up for its size alone.
    std::ofstream(folder + "/package.exe");
    if (truncate((folder + "/package.exe").c_str(), kPackageBytes) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string taskFile = folder + "/package.exe.xml";
    std::ofstream(taskFile, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                      static_cast<std::streamsize>(size));
    CSingleUserLog::GetInstance().SetUrlLength(kUrl, kPackageBytes);
    CDownloadTaskManager manager(kUrl, folder + "/package.exe", taskFile);
    manager.loadTaskFromFile(0);
    if (manager.checkTaskRanges(0) != 1) return 0;
    // What the download then does with the kept ranges.
    for (const CTask* task : manager.allTasks()) {
        const std::int64_t end = RangeWriteEnd(*task);
        if (task->StartPos < 0 || end > manager.ContentLength || task->DownloadedPos > end) __builtin_trap();
    }
    return 0;
}
