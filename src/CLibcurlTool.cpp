#include "CLibcurlTool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include <easylogging++.h>
#include <unistd.h>

#include "CTask.h"
#include "Common/TextNumbers.h"
#include "IRangeDownloadThread.h"
#include "PackageWriter.h"
#include "platform/CurlOptions.h"

namespace {

constexpr const char* kUserAgentHeader =
    "User-Agent:Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/62.0.3202.75 Safari/537.36";

struct HeaderListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListFree>;

struct EasyHandleFree {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

bool EndsWithExe(const std::string& path) { return path.size() >= 4 && path.compare(path.size() - 4, 4, ".exe") == 0; }

// Text from `from` up to the next "\r\n" (or the end of the line).
std::string TextUpToLineEnd(const std::string& line, std::size_t from) {
    if (from >= line.size()) return {};
    const auto end = line.find("\r\n", from);
    return line.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The first byte of "Content-Range: bytes A-B/T", or -1 when it has none.
std::int64_t ContentRangeFirstByte(const std::string& line) {
    const auto bytes = line.find("bytes");
    if (bytes == std::string::npos) return -1;
    const auto digits = line.find_first_of("0123456789", bytes);
    if (digits == std::string::npos) return -1;
    return LeadingInt64(std::string_view(line).substr(digits));
}

void StoreTrace(CTask& task, const std::string& trace) {
    task.CdnTrace = trace;
    if (task.CdnTrace == task.CdnProbe) task.CdnTrace.clear();
}

// Appends to a collected reply; refuses to grow past the collection limit
// and turns an allocation failure into a refusal (callbacks must not throw).
bool AppendBounded(std::string& text, const char* data, std::size_t length) {
    if (length > CLibcurlTool::kMaxCollectedBytes - std::min(text.size(), CLibcurlTool::kMaxCollectedBytes)) {
        return false;
    }
    try {
        text.append(data, length);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// A range download that stopped after DownloadedPos reached an inclusive
// EndPos without the byte at EndPos would look complete forever; step back
// one byte so the next attempt fetches the missing byte.
void ReopenUnfinishedRangeEnd(const HeaderContext& context, CTask& task) {
    const bool inclusiveEnd = RangeWriteEnd(task) == task.EndPos + 1;
    if (!inclusiveEnd || context.lastByteWritten) return;
    std::lock_guard guard(context.thread->WriteMutex());
    if (task.DownloadedPos == task.EndPos && task.EndPos > std::max(context.rangeStart, task.StartPos)) {
        task.DownloadedPos = task.EndPos - 1;
        LOG(INFO) << " Thread: " << task.TaskId << " range end not received, resume at " << task.DownloadedPos;
    }
}

}  // namespace

std::int64_t RangeWriteEnd(const CTask& task) {
    if (task.ContentLength > 0 && task.EndPos >= task.ContentLength) return task.ContentLength;
    // Never past the largest position, whatever a task file said.
    return task.EndPos < std::numeric_limits<std::int64_t>::max() ? task.EndPos + 1 : task.EndPos;
}

std::string FigureErrorText(CURLcode code) {
    switch (static_cast<int>(code)) {
        case 1: return " ProtoControl Unsupport!";
        case 2: return " Init Failed!";
        case 3: return " Curl RemotePath Error";
        case 4: return " libcurl InitFailed，Please Try again!";
        case 5: return " Cannt resovlve proxy!";
        case 6: return " cannt resovlve server!";
        case 7: return " Curl Connect Server Error";
        case 8: return " FTP服务器非法回复";
        case 9: return " Acess Denied!";
        case 10: return " FTP连接失败";
        case 11: return " FTP服务器未知回复";
        case 12: return " FTP连接超时";
        case 13:
        case 14: return " Curl unknow error!";
        case 15: return " 内部故障";
        case 16: return " HTTP2错误";
        case 17: return " FTP获取传输类型失败";
        case 18: return " 服务器返回文件大小非法";
        case 22: return " HTTP请求错误";
        case 23: return " 接收数据错误";
        case 25: return " 上传数据错误";
        case 26: return " 本地文件读取错误";
        case 27: return " 内存不足";
        case 28: return " Curl Time out";
        case 30: return " FTP端口失败";
        case 33: return " 请求的数据范围错误";
        default: return " Curl Else Error: " + std::to_string(static_cast<int>(code));
    }
}

CLibcurlTool::CLibcurlTool() : curl_(curl_easy_init()) {}

CLibcurlTool::~CLibcurlTool() {
    if (curl_) curl_easy_cleanup(curl_);
}

int CLibcurlTool::figureError(CURLcode code) {
    LOG(INFO) << FigureErrorText(code);
    return 1;
}

void CLibcurlTool::LogTlsFailure(const platform::CurlOptionSetter& options, CURLcode result) {
    if (const std::string text = options.TlsFailureText(result); !text.empty()) LOG(INFO) << " " << text;
}

bool CLibcurlTool::OptionsSet(const platform::CurlOptionSetter& options) {
    if (options.Result() == CURLE_OK) return true;
    LOG(INFO) << options.FailureText();
    figureError(options.Result());
    return false;
}

namespace {

// True once the task's range holds every byte it owns.
bool RangeFilled(const CTask& task, const HeaderContext& context) {
    const std::int64_t writeEnd = RangeWriteEnd(task);
    if (writeEnd == task.EndPos + 1) return context.lastByteWritten;
    return task.DownloadedPos == writeEnd;
}

// Writes what fits of the chunk into the current task, under the write
// mutex; returns how many bytes were written.
std::size_t WriteIntoTask(HeaderContext& context, CTask& task, const char* data, std::size_t length) {
    const std::int64_t position = task.DownloadedPos;
    const std::int64_t writeEnd = RangeWriteEnd(task);
    // Once the byte at an inclusive EndPos is written, the position rests
    // at EndPos and every further byte is surplus.
    const bool rangeFilled = context.lastByteWritten && writeEnd == task.EndPos + 1;
    const std::int64_t room = position < 0 || rangeFilled ? 0 : std::max<std::int64_t>(0, writeEnd - position);
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(room, static_cast<std::int64_t>(length)));
    std::size_t written = 0;
    if (data != nullptr && wanted > 0) {
        written = context.thread->Package().WriteAt(data, wanted, position);
    }
    // Only bytes that reached the file move the position, so a failed
    // write is fetched again instead of being counted as done.
    if (position + static_cast<std::int64_t>(length) > task.EndPos && written == wanted && wanted > 0) {
        task.DownloadedPos = task.EndPos;
        if (writeEnd == task.EndPos + 1) context.lastByteWritten = true;
    } else {
        task.DownloadedPos = position + static_cast<std::int64_t>(written);
    }
    return written;
}

}  // namespace

namespace {

// Bytes the task can still take at its position.
std::int64_t TaskRoom(const HeaderContext& context, const CTask& task) {
    const std::int64_t position = task.DownloadedPos;
    const std::int64_t writeEnd = RangeWriteEnd(task);
    const bool rangeFilled = context.lastByteWritten && writeEnd == task.EndPos + 1;
    return position < 0 || rangeFilled ? 0 : std::max<std::int64_t>(0, writeEnd - position);
}

// Writes the collected bytes into the task; false when not all of them
// reached the file. Called with the write mutex held.
bool FlushPending(HeaderContext& context, CTask& task) {
    if (context.pendingBytes == 0) return true;
    const std::size_t written = WriteIntoTask(context, task, context.pending, context.pendingBytes);
    const bool complete = written == context.pendingBytes;
    context.pendingBytes = 0;
    return complete;
}

void LogWriteError(const CTask& task, std::size_t received, std::size_t written) {
    LOG(INFO) << " Thread: " << task.TaskId << " Write Error. Task id：" << task.TaskId
              << " Download to:" << task.DownloadedPos << " Receive:" << received << " Write:" << written
              << " Task EndPos:" << task.EndPos;
}

// The current task is full and the reply goes on. Past the range asked for
// the bytes are surplus; within it, the thread names the task they belong
// to. Returns that task, or null when the reply ends here (endedAtBoundary
// tells a clean end from surplus). Called with the write mutex held.
CTask* TaskAfter(HeaderContext& context, CTask& task) {
    const std::int64_t nextByte = RangeWriteEnd(task);
    const bool askedFor = context.rangeEnd >= nextByte && (task.ContentLength <= 0 || nextByte < task.ContentLength);
    if (!askedFor) return nullptr;
    CTask* next = context.thread->ContinueWith(task);
    if (next == nullptr || next->DownloadedPos != nextByte) {
        context.endedAtBoundary = true;
        return nullptr;
    }
    context.lastByteWritten = false;
    context.taskStarted = std::chrono::steady_clock::now();
    return next;
}

// Every chunk written at once, as it arrives.
std::size_t WriteThrough(HeaderContext& context, const char* data, std::size_t arrived, std::size_t count) {
    std::size_t consumed = 0;
    CTask* task = context.thread->CurrentTask();
    for (;;) {
        std::unique_lock guard(context.thread->WriteMutex());
        const std::size_t rest = arrived - consumed;
        const std::size_t written = WriteIntoTask(context, *task, data + (data ? consumed : 0), rest);
        consumed += written;
        if (consumed == arrived) return arrived;
        if (written < rest && !RangeFilled(*task, context)) break;  // the write itself failed
        CTask* next = TaskAfter(context, *task);
        if (next == nullptr) {
            if (context.endedAtBoundary) return consumed;
            break;
        }
        task = next;
    }
    LogWriteError(*task, count, consumed);
    return consumed;
}

// How much the buffer collects before it is written: all of it, less what
// brings a write that starts at an unaligned position (a resumed range) to
// an aligned one, so that the writes after it fill whole pages.
std::size_t FillLimit(const HeaderContext& context, const CTask& task) {
    const auto misalignment = static_cast<std::size_t>(task.DownloadedPos % CPackageWriter::kAlignment);
    return context.pendingCapacity - misalignment;
}

// Chunks collected and written in large pieces.
std::size_t WriteCollected(HeaderContext& context, const char* data, std::size_t arrived, std::size_t count) {
    if (data == nullptr) return 0;
    std::size_t consumed = 0;
    CTask* task = context.thread->CurrentTask();
    for (;;) {
        const std::int64_t room = TaskRoom(context, *task) - static_cast<std::int64_t>(context.pendingBytes);
        const std::size_t limit = FillLimit(context, *task);
        const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(
            {room, static_cast<std::int64_t>(arrived - consumed),
             static_cast<std::int64_t>(limit - context.pendingBytes)}));
        std::memcpy(context.pending + context.pendingBytes, data + consumed, take);
        context.pendingBytes += take;
        consumed += take;
        const bool taskFull = static_cast<std::int64_t>(take) == room;
        if (!taskFull && context.pendingBytes < limit) return arrived;  // all collected
        std::unique_lock guard(context.thread->WriteMutex());
        if (!FlushPending(context, *task)) {
            LogWriteError(*task, count, 0);
            return 0;
        }
        if (consumed == arrived) return arrived;
        if (!taskFull) continue;
        CTask* next = TaskAfter(context, *task);
        if (next == nullptr) {
            if (context.endedAtBoundary) return consumed;
            LogWriteError(*task, count, consumed);
            return consumed;
        }
        task = next;
    }
}

}  // namespace

std::size_t CLibcurlTool::downloadFunc(char* data, std::size_t size, std::size_t count, void* userData) {
    auto* context = static_cast<HeaderContext*>(userData);
    const std::size_t arrived = size * count;
    if (context->pending == nullptr) return WriteThrough(*context, data, arrived, count);
    return WriteCollected(*context, data, arrived, count);
}

int CLibcurlTool::TransferProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* context = static_cast<HeaderContext*>(userData);
    if (context->thread->TransferCancelled()) {
        context->cancelled = true;
        return 1;
    }
    const auto elapsed = std::chrono::steady_clock::now() - context->taskStarted;
    if (elapsed > std::chrono::milliseconds(context->thread->TaskTimeLimitMs())) {
        context->timedOut = true;
        return 1;
    }
    return 0;
}

std::size_t CLibcurlTool::HeaderCallback(char* line, std::size_t size, std::size_t count, void* userData) {
    const std::size_t accepted = size * count;
    if (line == nullptr) return accepted;
    auto* context = static_cast<HeaderContext*>(userData);
    CTask& task = *context->thread->CurrentTask();
    long code = 0;
    curl_easy_getinfo(context->handle, CURLINFO_RESPONSE_CODE, &code);

    if (EndsWithExe(task.RemotePath) && code != 206) {
        LOG(INFO) << " HeaderCallback error0: http_code is " << code;
        return 0;
    }
    // An error page, or a whole body for a range that starts later, would be
    // written into the package as if it were the range.
    if (code >= 400 || (code == 200 && context->rangeStart > 0)) {
        LOG(INFO) << " HeaderCallback error3: http_code is " << code << " for range from " << context->rangeStart;
        return 0;
    }
    if (task.ContentLength == 0) return accepted;

    const std::string text(line, accepted);
    if (text.find("CF-RAY:") != std::string::npos) {
        const auto dash = text.find('-', 7);
        if (dash == std::string::npos) return accepted;
        const std::string dataCentre = TextUpToLineEnd(text, dash + 1);
        StoreTrace(task, task.CdnTrace.empty() ? dataCentre : dataCentre + "/" + task.CdnTrace);
    } else if (text.find("CF-Cache-Status:") != std::string::npos) {
        const std::string status = TextUpToLineEnd(text, 17);
        StoreTrace(task, task.CdnTrace.empty() ? status : task.CdnTrace + "/" + status);
    } else if (text.find("Content-Range") != std::string::npos) {
        const auto slash = text.rfind('/');
        if (slash == std::string::npos) {
            LOG(INFO) << " HeaderCallback error2: " << text;
            return 0;
        }
        if (LeadingInt64(std::string_view(text).substr(slash + 1)) != task.ContentLength) {
            LOG(INFO) << " HeaderCallback error1: " << task.ContentLength << " != " << text;
            return 0;
        }
        // Bytes of another range would land at this range's offset.
        if (ContentRangeFirstByte(text) != context->rangeStart) {
            LOG(INFO) << " HeaderCallback error4: " << context->rangeStart << " != " << text;
            return 0;
        }
    }
    return accepted;
}

std::size_t CLibcurlTool::writeToStream(char* data, std::size_t size, std::size_t count, void* stream) {
    auto* text = static_cast<std::string*>(stream);
    if (text == nullptr || data == nullptr) return 0;
    return AppendBounded(*text, data, size * count) ? count : 0;
}

std::size_t CLibcurlTool::appendToString(char* data, std::size_t size, std::size_t count, void* string) {
    auto* text = static_cast<std::string*>(string);
    if (text == nullptr || data == nullptr) return static_cast<std::size_t>(-1);
    return AppendBounded(*text, data, size * count) ? count : 0;
}

CURLcode CLibcurlTool::httpDownloadContent(const std::string& url, std::int64_t start, std::int64_t end,
                                           std::int64_t, IRangeDownloadThread* thread) {
    if (curl_ == nullptr) {
        LOG(INFO) << " curl easy init fail !!!";
        return CURLE_FAILED_INIT;
    }
    if (thread == nullptr || thread->CurrentTask() == nullptr) {
        figureError(CURLE_BAD_FUNCTION_ARGUMENT);
        return CURLE_BAD_FUNCTION_ARGUMENT;
    }
    CTask& task = *thread->CurrentTask();
    const std::string range = std::to_string(start) + "-" + std::to_string(end);
    if (task.Verbose) {
        LOG(INFO) << " Request Range: (" << task.TaskId << ", " << (end - start) << ") " << range;
    }
    curl_easy_reset(curl_);
    HeaderList headers(curl_slist_append(nullptr, kUserAgentHeader));
    HeaderContext context{curl_, thread, start, false};
    context.rangeEnd = end;
    context.taskStarted = std::chrono::steady_clock::now();
    if (!writeBuffer_) {
        writeBuffer_.reset(static_cast<char*>(std::aligned_alloc(CPackageWriter::kAlignment, kWriteBufferBytes)));
    }
    if (writeBuffer_) {
        context.pending = writeBuffer_.get();
        context.pendingCapacity = kWriteBufferBytes;
    }

    platform::CurlOptionSetter options(curl_);
    options.Set(CURLOPT_HTTPHEADER, headers.get()).Set(CURLOPT_URL, url).Set(CURLOPT_RANGE, range);
    platform::SetSharedRequestOptions(options, platform::Redirects::Follow);
    options.Set(CURLOPT_WRITEFUNCTION, &CLibcurlTool::downloadFunc)
        .Set(CURLOPT_WRITEDATA, &context)
        .Set(CURLOPT_HEADERFUNCTION, &CLibcurlTool::HeaderCallback)
        .Set(CURLOPT_HEADERDATA, &context)
        // The time limit applies to each task of the reply, not to the
        // whole reply, so it is kept by the progress callback.
        .Set(CURLOPT_NOPROGRESS, 0L)
        .Set(CURLOPT_XFERINFOFUNCTION, &CLibcurlTool::TransferProgress)
        .Set(CURLOPT_XFERINFODATA, &context)
        .Set(CURLOPT_BUFFERSIZE, kDownloadBufferBytes)
        .Set(CURLOPT_CONNECTTIMEOUT, 3L);
    if (!OptionsSet(options)) return options.Result();
    CURLcode result = curl_easy_perform(curl_);
    LogTlsFailure(options, result);
    bool flushed = true;
    {
        // What arrived before the reply ended is as good as any other byte.
        std::lock_guard guard(thread->WriteMutex());
        flushed = FlushPending(context, *thread->CurrentTask());
    }
    if (!flushed) {
        LogWriteError(*thread->CurrentTask(), 0, 0);
        if (result == CURLE_OK || context.endedAtBoundary) result = CURLE_WRITE_ERROR;
        context.endedAtBoundary = false;
    }
    ReopenUnfinishedRangeEnd(context, *thread->CurrentTask());
    if (result == CURLE_WRITE_ERROR && context.endedAtBoundary) return CURLE_OK;
    if (result == CURLE_ABORTED_BY_CALLBACK && context.timedOut) result = CURLE_OPERATION_TIMEDOUT;
    if (result != CURLE_OK) figureError(result);
    return result;
}

CURLcode CLibcurlTool::httpGet(const std::string& url, std::int64_t, std::int64_t, int, std::string& headerText,
                               long& responseCode) {
    if (curl_ == nullptr) {
        LOG(INFO) << " curl easy init fail !!!";
        return CURLE_FAILED_INIT;
    }
    curl_easy_reset(curl_);
    std::string collected;
    platform::CurlOptionSetter options(curl_);
    options.Set(CURLOPT_URL, url).Set(CURLOPT_NOBODY, 1L).Set(CURLOPT_HEADER, 1L).Set(CURLOPT_TIMEOUT, 30L);
    platform::SetSharedRequestOptions(options, platform::Redirects::Follow);
    options.Set(CURLOPT_WRITEFUNCTION, &CLibcurlTool::writeToStream).Set(CURLOPT_WRITEDATA, &collected);
    if (!OptionsSet(options)) return options.Result();
    const CURLcode result = curl_easy_perform(curl_);
    LogTlsFailure(options, result);
    if (result != CURLE_OK) figureError(result);
    long code = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &code);
    responseCode = code;
    // The copy ends at the first NUL, as a C string copy would.
    headerText.assign(collected.c_str(), ::strnlen(collected.c_str(), std::min(collected.size(), kMaxHeaderText)));
    return result;
}

CURLcode CLibcurlTool::httpGet(const std::string& url, std::string& body, bool) {
    if (curl_ == nullptr) {
        LOG(INFO) << " curl easy init fail !!!";
        return CURLE_FAILED_INIT;
    }
    curl_easy_reset(curl_);
    std::string collected;
    platform::CurlOptionSetter options(curl_);
    options.Set(CURLOPT_URL, url).Set(CURLOPT_NOBODY, 0L).Set(CURLOPT_HEADER, 0L);
    platform::SetSharedRequestOptions(options, platform::Redirects::Follow);
    options.Set(CURLOPT_WRITEFUNCTION, &CLibcurlTool::writeToStream)
        .Set(CURLOPT_WRITEDATA, &collected)
        .Set(CURLOPT_TIMEOUT, 5L);
    if (options.Result() != CURLE_OK) {
        LOG(INFO) << options.FailureText();
        return options.Result();
    }
    const CURLcode result = curl_easy_perform(curl_);
    LogTlsFailure(options, result);
    body = std::move(collected);
    return result;
}

CURLcode CLibcurlTool::HttpPost(const std::string& url, const std::string& body, std::string* reply,
                                const std::string&) {
    std::unique_ptr<CURL, EasyHandleFree> handle(curl_easy_init());
    if (!handle) {
        LOG(INFO) << " curl easy init fail !!!";
        return CURLE_FAILED_INIT;
    }
    platform::CurlOptionSetter options(handle.get());
    options.Set(CURLOPT_URL, url)
        .Set(CURLOPT_POST, 1L)
        .Set(CURLOPT_POSTFIELDS, body.c_str())
        // The size is given so a body is never measured past its end.
        .Set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()))
        .Set(CURLOPT_READFUNCTION, nullptr)
        .Set(CURLOPT_WRITEFUNCTION, &CLibcurlTool::appendToString)
        .Set(CURLOPT_WRITEDATA, reply);
    platform::SetSharedRequestOptions(options, platform::Redirects::Refuse);
    options.Set(CURLOPT_CONNECTTIMEOUT, 8L).Set(CURLOPT_TIMEOUT, 10L);
    if (options.Result() != CURLE_OK) {
        LOG(INFO) << options.FailureText();
        return options.Result();
    }
    const CURLcode result = curl_easy_perform(handle.get());
    LogTlsFailure(options, result);
    return result;
}
