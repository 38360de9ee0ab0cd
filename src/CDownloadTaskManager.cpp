#include "CDownloadTaskManager.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <easylogging++.h>
#include <sys/stat.h>
#include <tinyxml2.h>
#include <unistd.h>

#include "CLibcurlTool.h"
#include "CTask.h"
#include "CTaskFileSaver.h"
#include "Common/TextNumbers.h"
#include "SingleUserLog.h"
#include "SteadyTicks.h"
#include "platform/AsciiText.h"
#include "platform/FileFacts.h"

namespace {

constexpr int kLengthAttempts = 10;
// Ten years of downloading, in milliseconds.
constexpr std::int64_t kMaxDownloadTimeMs = 10LL * 366 * 24 * 3600 * 1000;

void ReportFlowError(const char* code) {
    CSingleUserLog::GetInstance().AddUserLogEvent("Other", "FlowError", code, false);
}

// Text from `from` up to the next "\r\n" (or the end).
std::string UpToLineEnd(const std::string& text, std::size_t from) {
    if (from >= text.size()) return {};
    const auto end = text.find("\r\n", from);
    return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The CDN facts of a probe's headers, or "" when they name none.
std::string CdnTextOf(const std::string& headers, const std::string& lower) {
    const auto cacheStatus = lower.find("cf-cache-status:");
    const auto ray = lower.find("cf-ray:");
    const auto dash = ray == std::string::npos ? std::string::npos : headers.find('-', ray + 7);
    std::string text;
    if (cacheStatus == std::string::npos || ray == std::string::npos || dash == std::string::npos) {
        const auto cache = lower.find("x-cache: ");
        if (cache == std::string::npos) return {};
        text = UpToLineEnd(headers, cache + 9);
        LOG(INFO) << " Cdn result: " << text;
    } else {
        const std::string status = UpToLineEnd(headers, cacheStatus + 16);
        const std::string dataCentre = UpToLineEnd(headers, dash + 1);
        LOG(INFO) << " Cdn result: " << status << ", " << dataCentre;
        text = dataCentre + "/" + status;
    }
    CSingleUserLog::GetInstance().AddUserLogEvent("Download", "3.CDNStatus", text, false);
    return text;
}

// The package length a probe's headers state, or -1 when they state none.
std::int64_t StatedLength(const std::string& headers, const std::string& lower) {
    const auto range = lower.find("content-range:");
    if (range != std::string::npos) {
        const auto slash = headers.find('/', range);
        return slash == std::string::npos ? -1 : LeadingInt64(std::string_view(headers).substr(slash + 1));
    }
    const auto length = lower.find("content-length:");
    if (length == std::string::npos) return -1;
    return LeadingInt64(std::string_view(headers).substr(length + 15));
}

// A Location value made absolute against the address it came from.
std::string ResolveLocation(const std::string& base, const std::string& location) {
    CURLU* url = curl_url();
    if (url == nullptr) return location;
    std::string resolved = location;
    if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK) {
        char* text = nullptr;
        if (curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK && text != nullptr) {
            resolved = text;
            curl_free(text);
        }
    }
    curl_url_cleanup(url);
    return resolved;
}

// A length no package can have: none, negative, beyond any package, or
// more than the disk holds. A disk whose size cannot be learned is not held
// against the length.
bool ImpossibleLength(std::int64_t length, const std::string& localPath) {
    if (length <= 0 || length > CDownloadTaskManager::kMaxPackageBytes) return true;
    const platform::SysResult<std::int64_t> disk = platform::FileSystemCapacity(localPath);
    if (!disk) {
        LOG(INFO) << " disk size unknown for " << localPath << ", errno " << disk.error();
        return false;
    }
    return length > disk.value();
}

// A stored task whose numbers all lie within the package: only such tasks
// take part in any arithmetic.
bool WithinPackage(const CTask& task, std::int64_t contentLength) {
    const std::int64_t position = task.DownloadedPos;
    return task.StartPos >= 0 && task.StartPos <= task.EndPos && task.EndPos <= contentLength &&
           position >= task.StartPos && position <= task.EndPos && task.TaskId >= 1 &&
           task.TaskId <= CDownloadTaskManager::kMaxTasks;
}

// The end of what a task claims to hold: its whole range once done, else
// its position.
std::int64_t ClaimedEnd(const CTask& task) {
    return task.Status == TaskDone ? RangeWriteEnd(task) : static_cast<std::int64_t>(task.DownloadedPos);
}

std::string JoinAttempts(const std::vector<std::string>& entries) {
    char label[512];
    std::snprintf(label, sizeof label, "%s/%s/%s/%s/%s/%s/%s/%s/%s/%s", entries[0].c_str(), entries[1].c_str(),
                  entries[2].c_str(), entries[3].c_str(), entries[4].c_str(), entries[5].c_str(),
                  entries[6].c_str(), entries[7].c_str(), entries[8].c_str(), entries[9].c_str());
    return label;
}

void AddChild(tinyxml2::XMLDocument& document, tinyxml2::XMLElement* parent, const char* name,
              const std::string& text) {
    tinyxml2::XMLElement* child = document.NewElement(name);
    child->SetText(text.c_str());
    parent->InsertEndChild(child);
}

void AddNumber(tinyxml2::XMLDocument& document, tinyxml2::XMLElement* parent, const char* name,
               std::int64_t value) {
    AddChild(document, parent, name, std::to_string(value));
}

// The resume position a task file may claim. The transfer tool moves an
// unfinished range's position to EndPos before the byte at EndPos has
// arrived; only a finished range may claim it.
std::int64_t ClaimedPosition(const CTask& task, int status) {
    const std::int64_t position = task.DownloadedPos;
    const bool inclusiveEnd = RangeWriteEnd(task) == task.EndPos + 1;
    if (status != TaskDone && inclusiveEnd && position == task.EndPos && task.EndPos > task.StartPos) {
        return task.EndPos - 1;
    }
    return position;
}

// Text with LF line ends as a text-mode file holds it.
std::string WithCrLf(const char* text) {
    std::string result;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n') result += '\r';
        result += *c;
    }
    return result;
}

}  // namespace

CDownloadTaskManager::CDownloadTaskManager(std::string remoteUrl, std::string localPath, std::string taskFilePath)
    : remoteUrl_(std::move(remoteUrl)), localPath_(std::move(localPath)), taskFilePath_(std::move(taskFilePath)) {}

CDownloadTaskManager::~CDownloadTaskManager() { clearTasks(); }

TaskCut CDownloadTaskManager::CutPackage(std::int64_t length, int sliceNum, int sliceSize) {
    TaskCut cut;
    if (length <= 0) return {kDefaultRangeSize, 1};
    if (sliceNum > 0 && sliceNum <= kMaxTasks && length / sliceNum > 0) {
        cut.rangeSize = length / sliceNum;
        cut.count = sliceNum;
    } else {
        cut.rangeSize = sliceNum <= 0 && sliceSize > 0 ? sliceSize : kDefaultRangeSize;
        // Settings that would cut a huge package into more ranges than can
        // be kept fall back to larger ranges.
        if (length / cut.rangeSize > kMaxTasks) {
            cut.rangeSize = std::max(kDefaultRangeSize, (length + kMaxTasks - 1) / kMaxTasks);
        }
        cut.count = static_cast<int>(length / cut.rangeSize);
    }
    if (cut.count == 0) cut.count = 1;
    return cut;
}

// --- lists -----------------------------------------------------------------

void CDownloadTaskManager::sortLists() {
    // A range a connection claimed is handed out; one it gave back without
    // reaching it is to do again.
    const auto claimed =
        std::stable_partition(todo_.begin(), todo_.end(), [](const CTask* task) { return !task->Claimed; });
    std::vector<CTask*> handedOutNow(claimed, todo_.end());
    todo_.erase(claimed, todo_.end());
    const auto released = std::stable_partition(handedOut_.begin(), handedOut_.end(), [](const CTask* task) {
        return task->Claimed || task->Status == TaskDone;
    });
    todo_.insert(todo_.end(), released, handedOut_.end());
    handedOut_.erase(released, handedOut_.end());
    handedOut_.insert(handedOut_.end(), handedOutNow.begin(), handedOutNow.end());
}

std::size_t CDownloadTaskManager::todoCount() {
    sortLists();
    return todo_.size();
}

CTask* CDownloadTaskManager::takeTodoTask() {
    sortLists();
    if (todo_.empty()) return nullptr;
    // The first range in package order that is free and not resting after a failure.
    const std::int64_t now = SteadyTickMs();
    for (CTask* task : tasks_) {
        if (task->Claimed || task->Status == TaskDone || task->RetryAt > now) continue;
        if (task->Claimed.exchange(true)) continue;
        task->Status = TaskRunning;
        std::erase(todo_, task);
        handedOut_.push_back(task);
        return task;
    }
    return nullptr;
}

int CDownloadTaskManager::addTodoTask(CTask* task) {
    if (task == nullptr) return 0;
    todo_.push_back(task);
    return 1;
}

int CDownloadTaskManager::addHandedOutTask(CTask* task) {
    if (task == nullptr) return 0;
    handedOut_.push_back(task);
    return 1;
}

void CDownloadTaskManager::addTask(CTask* task) {
    tasks_.push_back(task);
    if (task->Status == TaskDone) {
        addHandedOutTask(task);
    } else {
        addTodoTask(task);
    }
}

void CDownloadTaskManager::retryTask(CTask* task, std::int64_t readyAt) {
    task->RetryAt = readyAt;
    task->Claimed = false;
    sortLists();
}

void CDownloadTaskManager::linkNeighbours() {
    for (std::size_t i = 0; i < tasks_.size(); ++i) {
        CTask* next = i + 1 < tasks_.size() ? tasks_[i + 1] : nullptr;
        tasks_[i]->Next = next != nullptr && next->StartPos == RangeWriteEnd(*tasks_[i]) ? next : nullptr;
    }
}

void CDownloadTaskManager::clearTasks() {
    for (CTask* task : tasks_) delete task;
    tasks_.clear();
    handedOut_.clear();
    todo_.clear();
    TasksCount = 0;
}

// --- length probe ----------------------------------------------------------

std::int64_t CDownloadTaskManager::getContentLength(CURLcode& code, std::string& cdnText, int verbose) {
    if (const std::int64_t cached = CSingleUserLog::GetInstance().GetUrlLength(remoteUrl_); cached != 0) {
        return cached;
    }
    code = CURLE_OK;
    CLibcurlTool tool;
    // A server that keeps naming another address is followed only so far.
    for (int requests = 1;; ++requests) {
        std::string headers;
        long responseCode = 0;
        LOG(INFO) << " before getContentLength GetHeader";
        code = tool.httpGet(remoteUrl_, 0, 0, 0, headers, responseCode);
        LOG(INFO) << " after getContentLength GetHeader";
        const std::string lower = platform::AsciiLower(headers);
        if (std::string cdn = CdnTextOf(headers, lower); !cdn.empty()) cdnText = std::move(cdn);
        if (responseCode != 200) {
            cdnText.clear();
            return 0;
        }
        const auto location = lower.find("location:");
        if (location == std::string::npos) {
            const std::int64_t length = StatedLength(headers, lower);
            if (length < 0) return 0;
            if (ImpossibleLength(length, localPath_)) {
                LOG(INFO) << " Get Contentlength = " << length << ", not a package length";
                return 0;
            }
            if (verbose) LOG(INFO) << " Get Contentlength = " << length;
            CSingleUserLog::GetInstance().SetUrlLength(remoteUrl_, length);
            return length;
        }
        std::string target = UpToLineEnd(headers, location + 9);
        target.erase(0, target.find_first_not_of(' '));
        remoteUrl_ = ResolveLocation(remoteUrl_, target);
        if (requests >= kMaxProbeRequests) {
            code = CURLE_TOO_MANY_REDIRECTS;
            if (verbose) LOG(INFO) << " Get Contentlength = " << 0 << ", error CURLE_TOO_MANY_REDIRECTS";
            cdnText.clear();
            return 0;
        }
    }
}

// --- generation ------------------------------------------------------------

EnumErrorCode CDownloadTaskManager::generateDownloadTask(bool, const std::string& tag, int verbose) {
    std::vector<std::string> attempts;
    CURLcode code = CURLE_OK;
    std::string cdnText;
    std::int64_t length = 0;
    while (static_cast<int>(attempts.size()) < kLengthAttempts) {
        length = getContentLength(code, cdnText, verbose);
        if (length > 0) {
            attempts.push_back("Success");
            break;
        }
        attempts.push_back("error:" + std::to_string(static_cast<int>(code)));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    while (attempts.size() < kLengthAttempts) attempts.push_back("Null");
    if (!tag.empty()) {
        const std::string label = JoinAttempts(attempts);
        CSingleUserLog::GetInstance().AddUserLogEvent("Other", "Download", label, false);
        LOG(INFO) << " GetSize: " << tag << ", " << label;
    }
    if (length <= 0) {
        LOG(INFO) << " [Error]: " << "Get ContentLength Fail, tried 5 times";
        return code == CURLE_TOO_MANY_REDIRECTS ? EnumErrorCode::TooManyRedirects
                                                : EnumErrorCode::GetContentLengthFailed;
    }

    ContentLength = length;
    const CSingleUserLog& settings = CSingleUserLog::GetInstance();
    const TaskCut cut = CutPackage(length, settings.sliceNum, settings.sliceSize);
    rangeSize_ = cut.rangeSize;
    TasksCount = cut.count;
    for (int i = 1; i <= TasksCount; ++i) {
        auto* task = new CTask();
        task->StartPos = (i - 1) * rangeSize_;
        task->EndPos = i == TasksCount ? ContentLength : i * rangeSize_ - 1;
        task->DownloadedPos = task->StartPos;
        task->Status = TaskNew;
        task->TaskId = i;
        task->RemotePath = remoteUrl_;
        task->LocalPath = localPath_;
        task->ContentLength = ContentLength;
        task->CdnProbe = cdnText;
        task->Verbose = verbose;
        addTask(task);
    }
    linkNeighbours();
    if (verbose) {
        LOG(INFO) << " Tasks info, generate ok, total " << tasks_.size() << ", todo " << todo_.size()
                  << ", complete " << handedOut_.size();
    }
    return EnumErrorCode::Success;
}

// --- task file ---------------------------------------------------------------

bool CDownloadTaskManager::readTaskFile(std::string& text) const {
    std::ifstream in(taskFilePath_, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxTaskFileBytes) return false;
    in.seekg(0);
    text.resize(static_cast<std::size_t>(size));
    in.read(text.data(), size);
    return static_cast<bool>(in);
}

bool CDownloadTaskManager::loadTaskFromFile(int verbose) {
    loadRejected_ = false;
    std::string text;
    tinyxml2::XMLDocument document;
    if (!readTaskFile(text)) {
        loadRejected_ = true;
        return false;
    }
    // A document that does not parse yields no tasks, and the checks reject it.
    if (document.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) return false;
    bool allDone = true;
    const tinyxml2::XMLElement* root = document.FirstChildElement();
    for (const tinyxml2::XMLElement* child = root ? root->FirstChildElement() : nullptr; child != nullptr;
         child = child->NextSiblingElement()) {
        const std::string name = child->Name();
        if (name == "TasksCount") {
            child->QueryIntText(&TasksCount);
        } else if (name == "ContentLength") {
            child->QueryInt64Text(&ContentLength);
        } else if (name == "DownloadTime") {
            child->QueryInt64Text(&DownloadTime);
        } else if (name == "Task") {
            if (tasks_.size() >= static_cast<std::size_t>(kMaxTasks)) {
                loadRejected_ = true;
                break;
            }
            auto task = std::make_unique<CTask>();
            int status = TaskNew;
            for (const tinyxml2::XMLElement* field = child->FirstChildElement(); field != nullptr;
                 field = field->NextSiblingElement()) {
                const std::string fieldName = field->Name();
                std::int64_t number = 0;
                int integer = 0;
                if (fieldName == "StartPos") {
                    field->QueryInt64Text(&task->StartPos);
                } else if (fieldName == "EndPos") {
                    field->QueryInt64Text(&task->EndPos);
                } else if (fieldName == "DownloadedPos") {
                    if (field->QueryInt64Text(&number) == tinyxml2::XML_SUCCESS) task->DownloadedPos = number;
                } else if (fieldName == "RemotePath") {
                    task->RemotePath = field->GetText() ? field->GetText() : "";
                } else if (fieldName == "LocalPath") {
                    task->LocalPath = field->GetText() ? field->GetText() : "";
                } else if (fieldName == "TaskStatus") {
                    if (field->QueryIntText(&integer) == tinyxml2::XML_SUCCESS) status = integer;
                } else if (fieldName == "TaskId") {
                    if (field->QueryIntText(&integer) == tinyxml2::XML_SUCCESS) task->TaskId = integer;
                } else if (fieldName == "RequestTimes") {
                    task->RequestTimes = 0;
                }
            }
            task->Status = status;
            if (status != TaskDone) allDone = false;
            if (task->ContentLength == 0) task->ContentLength = ContentLength;
            task->Verbose = verbose;
            addTask(task.release());
        }
    }
    // The time is only a figure: one no download can have taken starts again at 0.
    if (DownloadTime < 0 || DownloadTime > kMaxDownloadTimeMs) DownloadTime = 0;
    // Numbers outside the package are refused before anything adds them up.
    const auto outside = [this](const CTask* task) { return !WithinPackage(*task, ContentLength); };
    if (std::any_of(tasks_.begin(), tasks_.end(), outside)) {
        loadRejected_ = true;
    } else {
        linkNeighbours();
    }
    if (verbose) {
        LOG(INFO) << " Tasks info, load ok, total " << tasks_.size() << ", todo " << todo_.size() << ", complete "
                  << handedOut_.size();
    }
    return allDone;
}

bool CDownloadTaskManager::rangesTileThePackage() const {
    const CSingleUserLog& settings = CSingleUserLog::GetInstance();
    const std::int64_t rangeSize = CutPackage(ContentLength, settings.sliceNum, settings.sliceSize).rangeSize;
    std::int64_t expectedStart = 0;
    for (const CTask* task : tasks_) {
        // StartPos == (TaskId - 1) * rangeSize, without a product that could overflow.
        if (task->StartPos % rangeSize != 0 || task->StartPos / rangeSize != task->TaskId - 1) return false;
        if (task->StartPos != expectedStart) return false;
        expectedStart = task->EndPos + 1;
    }
    return expectedStart == ContentLength + 1;
}

bool CDownloadTaskManager::statusesFitThePositions() const {
    return std::all_of(tasks_.begin(), tasks_.end(), [](const CTask* task) {
        const int status = task->Status;
        if (status < TaskNew || status > TaskRunning) return false;
        return status != TaskDone || task->DownloadedPos == task->EndPos;
    });
}

void CDownloadTaskManager::giveUpClaimsPastThePackageEnd() {
    const platform::SysResult<std::int64_t> size = platform::FileSize(localPath_);
    if (!size && size.error() != ENOENT) {
        // The package cannot be looked at; opening it for the download will say why.
        LOG(INFO) << " package size unknown, errno " << size.error();
        return;
    }
    const std::int64_t packageSize = size ? size.value() : 0;
    int givenUp = 0;
    for (CTask* task : tasks_) {
        if (ClaimedEnd(*task) <= std::max(packageSize, task->StartPos)) continue;
        // Fetched again from the first byte the package no longer holds; an
        // unfinished range never rests at its inclusive EndPos.
        std::int64_t position = std::max(packageSize, task->StartPos);
        if (RangeWriteEnd(*task) == task->EndPos + 1 && position == task->EndPos && position > task->StartPos) {
            --position;
        }
        task->DownloadedPos = position;
        task->Status = TaskNew;
        ++givenUp;
    }
    if (givenUp == 0) return;
    LOG(INFO) << " taskinfo claims past the package end (" << packageSize << " bytes): " << givenUp
              << " ranges fetched again from there";
    sortLists();
}

int CDownloadTaskManager::checkTaskRanges(int verbose) {
    if (loadRejected_ || (!tasks_.empty() && ImpossibleLength(ContentLength, localPath_))) {
        ReportFlowError("DL026");
        return 3;
    }
    // The stored length stands for its own address; only another address
    // (the one before a redirect) is asked. It is remembered for later
    // probes only once the file is accepted, so a broken file cannot leave a
    // false length behind.
    CURLcode code = CURLE_OK;
    std::string cdnText;
    const bool storedAddress = std::any_of(tasks_.begin(), tasks_.end(),
                                           [&](const CTask* task) { return task->RemotePath == remoteUrl_; });
    const std::int64_t remoteLength = storedAddress ? ContentLength : getContentLength(code, cdnText, verbose);
    // A probe that fails says nothing about the package; the stored ranges
    // are kept rather than thrown away over a passing network error.
    if (remoteLength == 0 && ContentLength > 0) {
        LOG(INFO) << " taskinfo length not confirmed, code " << static_cast<int>(code);
    } else if (remoteLength != ContentLength) {
        ReportFlowError("DL025");
        return 2;
    }
    if (!rangesTileThePackage() || !statusesFitThePositions()) {
        ReportFlowError("DL026");
        return 3;
    }
    giveUpClaimsPastThePackageEnd();
    for (const CTask* task : tasks_) CSingleUserLog::GetInstance().SetUrlLength(task->RemotePath, ContentLength);
    TasksCount = static_cast<int>(tasks_.size());
    return 1;
}

void CDownloadTaskManager::discardTaskFileAndPackage() {
    clearTasks();
    std::remove(localPath_.c_str());
    std::remove(taskFilePath_.c_str());
    ContentLength = 0;
    DownloadTime = 0;
}

EnumErrorCode CDownloadTaskManager::loadDownloadTask(bool, const std::string& tag, int verbose) {
    // The last save of an earlier download of this package may still be on its way.
    flushTaskFile();
    CTaskFileSaver::GetInstance().Forget(taskFilePath_);
    lastSavedDocument_.clear();
    if (access(taskFilePath_.c_str(), R_OK) == 0) {
        loadTaskFromFile(verbose);
        if (checkTaskRanges(verbose) == 1) {
            LOG(INFO) << " Load tasks from file success!";
            // Judged after the check, which may have given up claims the package lost.
            const auto done = [](const CTask* task) { return task->Status == TaskDone; };
            if (!std::all_of(tasks_.begin(), tasks_.end(), done)) {
                CSingleUserLog::GetInstance().AddUserLog_funnelParam(false, false, "Download", "ResumUpload", "", "");
            }
            return EnumErrorCode::Success;
        }
        LOG(INFO) << " taskinfo file error";
        discardTaskFileAndPackage();
    }
    return generateDownloadTask(false, tag, verbose);
}

std::string CDownloadTaskManager::buildTaskDocument(CTaskFileSaver::Claims& claims) const {
    tinyxml2::XMLDocument document;
    tinyxml2::XMLElement* root = document.NewElement("TaskInfo");
    document.InsertEndChild(root);
    AddNumber(document, root, "TasksCount", TasksCount);
    AddNumber(document, root, "ContentLength", ContentLength);
    AddNumber(document, root, "DownloadTime", DownloadTime);
    for (const CTask* task : tasks_) {
        // One reading of the moving fields serves the document and its claims.
        const int status = task->Status;
        const std::int64_t position = ClaimedPosition(*task, status);
        tinyxml2::XMLElement* element = document.NewElement("Task");
        root->InsertEndChild(element);
        AddNumber(document, element, "StartPos", task->StartPos);
        AddNumber(document, element, "EndPos", task->EndPos);
        AddNumber(document, element, "DownloadedPos", position);
        AddChild(document, element, "RemotePath", task->RemotePath);
        AddChild(document, element, "LocalPath", task->LocalPath);
        AddNumber(document, element, "TaskStatus", status);
        AddNumber(document, element, "TaskId", task->TaskId);
        AddNumber(document, element, "RequestTimes", task->RequestTimes);

        const std::int64_t claimedEnd = status == TaskDone ? RangeWriteEnd(*task) : position;
        if (claimedEnd <= task->StartPos) continue;
        if (!claims.empty() && claims.back().second == task->StartPos) {
            claims.back().second = claimedEnd;
        } else {
            claims.emplace_back(task->StartPos, claimedEnd);
        }
    }
    tinyxml2::XMLPrinter printer;
    document.Print(&printer);
    return WithCrLf(printer.CStr());
}

void CDownloadTaskManager::saveTaskFile() {
    // The claims are read before the package is written out, so a save
    // never claims bytes that arrived after its flush began.
    CTaskFileSaver::Claims claims;
    std::string document = buildTaskDocument(claims);
    if (document == lastSavedDocument_) return;
    lastSavedDocument_ = document;
    CTaskFileSaver::GetInstance().Save(taskFilePath_, packageFile_, localPath_, std::move(document),
                                       std::move(claims));
}

void CDownloadTaskManager::flushTaskFile() { CTaskFileSaver::GetInstance().Wait(taskFilePath_); }

bool CDownloadTaskManager::taskFileSavePending() { return CTaskFileSaver::GetInstance().Pending(taskFilePath_); }
