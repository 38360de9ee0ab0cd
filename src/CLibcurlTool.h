#pragma once
// The one place where the installer talks HTTP: a libcurl easy handle with
// four operations (range download into the shared package file, header
// probe, GET into a string, POST) and the callbacks that carry them. Every
// operation returns libcurl's CURLcode; none throws.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <curl/curl.h>

class CTask;
class IRangeDownloadThread;
namespace platform {
class CurlOptionSetter;
}

// Handed to the callbacks of one range download; lives on the stack for the
// duration of the transfer.
struct HeaderContext {
    CURL* handle = nullptr;
    IRangeDownloadThread* thread = nullptr;
    std::int64_t rangeStart = 0;        // first byte asked for
    bool lastByteWritten = false;       // the byte at the current task's inclusive EndPos arrived
    // Last byte asked for; bytes up to it may run on into the following
    // tasks. -1: no more than the current task.
    std::int64_t rangeEnd = -1;
    bool endedAtBoundary = false;       // the thread ended the reply after a full task
    bool cancelled = false;             // the thread asked to stop
    bool timedOut = false;              // one task took longer than its limit
    std::chrono::steady_clock::time_point taskStarted{};
    // Bytes received for the current task and not yet written: a range
    // download collects them so that the package gets few, large writes
    // (libcurl hands over at most 16 KiB at a time). Null: every chunk is
    // written at once.
    char* pending = nullptr;
    std::size_t pendingCapacity = 0;
    std::size_t pendingBytes = 0;
};

class CLibcurlTool {
public:
    // Replies collected into memory (probe headers, GET and POST bodies) stop
    // at this size: the transfer is aborted with a write error rather than
    // letting a hostile server exhaust memory.
    static constexpr std::size_t kMaxCollectedBytes = 16u << 20;
    // The header probe hands back at most this much header text.
    static constexpr std::size_t kMaxHeaderText = 2000;

    CLibcurlTool();
    ~CLibcurlTool();
    CLibcurlTool(const CLibcurlTool&) = delete;
    CLibcurlTool& operator=(const CLibcurlTool&) = delete;

    // Downloads bytes start..end (inclusive) of url into the thread's package
    // file at its task's DownloadedPos, advancing it. When end lies past the
    // current task, the reply runs on into the tasks the thread hands over
    // (IRangeDownloadThread::ContinueWith); the thread ending it at a task
    // boundary is a success. Each task may take TaskTimeLimitMs before the
    // transfer fails with CURLE_OPERATION_TIMEDOUT. The fourth argument is
    // not used.
    CURLcode httpDownloadContent(const std::string& url, std::int64_t start, std::int64_t end,
                                 std::int64_t unused, IRangeDownloadThread* thread);
    // Header probe: the headers of every response of the redirect chain, at
    // most kMaxHeaderText bytes (up to the first NUL), and the last response code.
    CURLcode httpGet(const std::string& url, std::int64_t unused1, std::int64_t unused2, int unused3,
                     std::string& headerText, long& responseCode);
    // GET into body; body receives whatever arrived, also on failure.
    CURLcode httpGet(const std::string& url, std::string& body, bool unused);
    // POST body with a handle of its own; a null reply aborts the transfer
    // as soon as the server sends a reply body.
    CURLcode HttpPost(const std::string& url, const std::string& body, std::string* reply,
                      const std::string& unused);

    // False when libcurl gave no handle; every request then fails.
    bool valid() const { return curl_ != nullptr; }

    // Logs the text of a failed CURLcode; returns 1.
    int figureError(CURLcode code);

    // libcurl callbacks.
    static std::size_t downloadFunc(char* data, std::size_t size, std::size_t count, void* context);
    static std::size_t HeaderCallback(char* line, std::size_t size, std::size_t count, void* context);
    static std::size_t writeToStream(char* data, std::size_t size, std::size_t count, void* stream);
    static std::size_t appendToString(char* data, std::size_t size, std::size_t count, void* string);
    static int TransferProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    // Receive buffer of a range download, and how much of it is collected
    // before each write into the package. Measured: system calls are what
    // costs here, so the receive buffer stays large (a 128 KiB one took 10
    // percent more processor time); a 256 KiB collection is as fast as a
    // 512 KiB one with half its memory, while writing each chunk as it
    // arrives took nearly twice the time.
    static constexpr long kDownloadBufferBytes = 512L << 10;
    static constexpr std::size_t kWriteBufferBytes = 256u << 10;

private:
    // True when every option was taken; otherwise logs the refusal.
    bool OptionsSet(const platform::CurlOptionSetter& options);
    // Logs the host and reason of a refused TLS connection.
    static void LogTlsFailure(const platform::CurlOptionSetter& options, CURLcode result);

    CURL* curl_ = nullptr;
    struct AlignedFree {
        void operator()(char* buffer) const { std::free(buffer); }
    };
    // Page-aligned, as the writes it feeds.
    std::unique_ptr<char, AlignedFree> writeBuffer_;
};

// The log text of a failed CURLcode (with its leading blank).
std::string FigureErrorText(CURLcode code);

// One past the last byte a task may write: EndPos + 1, or ContentLength for
// the package's last range, whose EndPos is already one past its end.
std::int64_t RangeWriteEnd(const CTask& task);
