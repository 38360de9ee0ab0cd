// The wizard window during a real install, watched from outside the
// installer: the time from the install click to the first package byte the
// devserver sent, and how the window's UI thread keeps up while a large
// package (1 GiB by default) downloads with progress updates.
//   - Stall: every 5 ms the bench sends the window the desktop's ping
//     (_NET_WM_PING); the window answers when its UI thread next takes its
//     events, so the answer's delay is how long that thread was busy. The
//     bench waits on its X connection between samples and times each
//     answer as it arrives, so a delay is measured to the millisecond
//     rather than to the sampling step.
//   - Repaint: every 5 ms the bench reads the progress bar's row off the
//     screen; the gaps between visible changes once the first package byte
//     has arrived, against how often the download moved the bar by one
//     percent.
// Targets: the window repaints at least every 50 ms while the bar moves,
// no stall over 100 ms. Printed, never asserted. A repaint gap the download
// caused (no new percent came) is told from one the window caused by the
// delay from each percent the window took to its change on screen.
// Needs an X display and a built tree:
//   xvfb-run -a -s "-screen 0 1024x768x24" build/bin/install_window [MiB]
// With ZEMBRA_BENCH_LOG=FILE it keeps the installer's log of the run there.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <json/json.h>

#include "platform/Process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kPackagePath = "/downloads/extra/zembramorvanta_zembram.exe";
constexpr int kSampleMs = 5;
// Where the compact wizard lays out its controls (skinshot --rect).
constexpr int kInstallX = 150, kInstallY = 200;
constexpr int kBarLeft = 25, kBarRight = 625, kBarY = 348;

std::int64_t EpochMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Sandbox {
    fs::path root;
    std::string bin;
    std::vector<std::string> environment;

    std::string LogPath() const {
        std::vector<std::string> logs;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(root / "appdata", error);
             it != fs::recursive_directory_iterator(); it.increment(error))
            if (it->path().extension() == ".log" && it->path().string().find("/QKDownloader/logs/") != std::string::npos &&
                it->path().string().find("_Setup_") == std::string::npos)
                logs.push_back(it->path().string());
        std::sort(logs.begin(), logs.end());
        return logs.empty() ? "" : logs.front();
    }
    std::string RunLog() const {
        const std::string path = LogPath();
        return path.empty() ? "" : ReadText(path);
    }
    bool Logged(const std::string& text) const { return RunLog().find(text) != std::string::npos; }
};

// Watches the run's log for a text, reading only what was added since the
// last look, so the bench's own reading stays small beside the installer.
class LogFollower {
public:
    explicit LogFollower(const Sandbox& box, std::string text) : box_(box), text_(std::move(text)) {}
    bool Seen() {
        if (seen_) return true;
        if (path_.empty()) path_ = box_.LogPath();
        std::ifstream in(path_);
        in.seekg(offset_);
        const std::string added{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        offset_ += std::streamoff(added.size());
        tail_ += added;
        seen_ = tail_.find(text_) != std::string::npos;
        if (tail_.size() > text_.size()) tail_.erase(0, tail_.size() - text_.size());
        return seen_;
    }

private:
    const Sandbox& box_;
    std::string text_;
    std::string path_;
    std::streamoff offset_ = 0;
    std::string tail_;
    bool seen_ = false;
};

bool WaitFor(const std::function<bool()>& done, int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::optional<std::string> Run(const std::vector<std::string>& argv, int timeoutMs = 600000) {
    const auto run = platform::RunForOutput(argv, timeoutMs);
    if (!run.exited || run.exitCode != 0) return std::nullopt;
    return run.output;
}

// The package: the demo setup and product padded to size bytes and signed.
bool MakePackage(const Sandbox& box, const fs::path& source, long long size) {
    const std::string demo = box.bin + "/../demo";
    return Run({source / "tools/demopackage/make_demo_package.sh", (box.root / "site/downloads/extra").string(),
                demo + "/bin/demo_setup", demo + "/bin/ZembraMorvanta.exe", "--size", std::to_string(size)})
        .has_value();
}

// The ping answers the window sent back through the root window.
class PingProbe {
public:
    PingProbe(Display* display, Window window) : display_(display), window_(window) {
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        protocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
        ping_ = XInternAtom(display_, "_NET_WM_PING", False);
    }
    void Send() {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window_;
        event.xclient.message_type = protocols_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(ping_);
        event.xclient.data.l[1] = long(sent_.size());
        event.xclient.data.l[2] = long(window_);
        XSendEvent(display_, window_, False, NoEventMask, &event);
        XFlush(display_);
        sent_.push_back(Clock::now());
        answered_.push_back(-1);
    }
    // Takes the answers as they arrive until deadline.
    void CollectUntil(Clock::time_point deadline) {
        pollfd connection{ConnectionNumber(display_), POLLIN, 0};
        Collect();
        for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            if (poll(&connection, 1, int(left)) > 0) Collect();
        }
    }
    bool AllAnswered() const { return std::find(answered_.begin(), answered_.end(), -1.0) == answered_.end(); }
    void Collect() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != ClientMessage || long(event.xclient.data.l[0]) != long(ping_)) continue;
            const auto index = std::size_t(event.xclient.data.l[1]);
            if (index < sent_.size()) answered_[index] = MsSince(sent_[index]);
        }
    }
    // When ping index was sent, in ms after start.
    double SentAt(std::size_t index, Clock::time_point start) const {
        return std::chrono::duration<double, std::milli>(sent_[index] - start).count();
    }
    // The delay of every ping; one never answered counts from its sending until now.
    std::vector<double> Delays() const {
        std::vector<double> delays;
        for (std::size_t i = 0; i < sent_.size(); ++i)
            delays.push_back(answered_[i] >= 0 ? answered_[i] : MsSince(sent_[i]));
        return delays;
    }

private:
    Display* display_;
    Window window_;
    Atom protocols_ = 0;
    Atom ping_ = 0;
    std::vector<Clock::time_point> sent_;
    std::vector<double> answered_;
};

// Filled pixels of the progress bar's row in the window.
int BarPixels(Display* display, Window window) {
    XImage* row = XGetImage(display, window, kBarLeft, kBarY, kBarRight - kBarLeft, 1, AllPlanes, ZPixmap);
    if (row == nullptr) return -1;
    int filled = 0;
    for (int x = 0; x < kBarRight - kBarLeft; ++x) {
        const unsigned long pixel = XGetPixel(row, x, 0);
        // The fill is the accent blue; the track is light grey.
        filled += ((pixel & 0xFF) > 0xC0 && ((pixel >> 16) & 0xFF) < 0x80) ? 1 : 0;
    }
    XDestroyImage(row);
    return filled;
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

struct Watch {
    std::vector<double> changeTimes;  // ms after the click, at each visible change of the bar
    std::vector<double> pingDelays;
    double longestStallAt = 0;  // ms after the click the longest-answered ping was sent
    double endMs = 0;           // ms after the click the bar was seen at 85
};

Watch WatchDownload(Display* display, Window window, const Sandbox& box, Clock::time_point click) {
    Watch watch;
    PingProbe probe(display, window);
    int shown = -1;
    auto next = Clock::now();
    // The download ends where the bar reaches 85 (verification follows).
    LogFollower downloaded(box, " Progress shown: 85");
    bool downloading = true;
    for (int turn = 0; downloading && MsSince(click) < 600000; ++turn) {
        if (turn % 20 == 0) downloading = !downloaded.Seen();
        probe.Send();
        const int now = BarPixels(display, window);
        if (now != shown && now >= 0) {
            watch.changeTimes.push_back(MsSince(click));
            shown = now;
        }
        next += std::chrono::milliseconds(kSampleMs);
        probe.CollectUntil(next);
    }
    watch.endMs = MsSince(click);
    // The last answers; one still missing after a second counts as a stall that long.
    const auto lastWait = Clock::now() + std::chrono::seconds(1);
    while (!probe.AllAnswered() && Clock::now() < lastWait)
        probe.CollectUntil(std::min(lastWait, Clock::now() + std::chrono::milliseconds(kSampleMs)));
    watch.pingDelays = probe.Delays();
    if (!watch.pingDelays.empty()) {
        const auto longest = std::max_element(watch.pingDelays.begin(), watch.pingDelays.end());
        watch.longestStallAt = probe.SentAt(std::size_t(longest - watch.pingDelays.begin()), click);
    }
    return watch;
}

// Milliseconds after clickEpochMs of the first package request, and of the
// first byte-range request (the devserver records a request as its answer leaves).
std::pair<double, double> FirstPackageRequests(const fs::path& records, std::int64_t clickEpochMs) {
    double first = -1, firstRange = -1;
    std::ifstream in(records);
    for (std::string line; std::getline(in, line);) {
        Json::Value record;
        std::istringstream text(line);
        if (!Json::parseFromStream(Json::CharReaderBuilder(), text, &record, nullptr)) continue;
        if (record["path"].asString() != kPackagePath) continue;
        const double at = double(record["time"].asInt64() - clickEpochMs);
        if (first < 0) first = at;
        if (firstRange < 0 && record["headers"].isMember("Range")) firstRange = at;
    }
    return {first, firstRange};
}

// The UI thread's log lines with their times (ms since the epoch). Its
// thread is the one that logged the install click.
std::vector<std::pair<std::int64_t, std::string>> UiThreadLines(const std::string& log) {
    std::vector<std::pair<std::int64_t, std::string>> result;
    const std::size_t click = log.find(" Click install button");
    const std::size_t threadAt = click == std::string::npos ? click : log.rfind("[Thread](", click);
    if (threadAt == std::string::npos) return result;
    const std::string uiThread = log.substr(threadAt, log.find(')', threadAt) + 1 - threadAt);
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(uiThread) == std::string::npos) continue;
        std::tm parts{};
        int milliseconds = 0;
        if (std::sscanf(line.c_str(), "%d-%d-%d %d:%d:%d,%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                        &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &milliseconds) != 7)
            continue;
        parts.tm_year -= 1900;
        parts.tm_mon -= 1;
        parts.tm_isdst = -1;
        result.emplace_back(std::int64_t(std::mktime(&parts)) * 1000 + milliseconds, line);
    }
    return result;
}

// The bar moves from the first package byte on; the changes before it (the
// page switch) are no repaints of a moving bar. A long gap is partly the
// window's (a new percent waited to be painted) and partly the download's
// (no new percent came): the delay from each percent the window took
// ("Progress shown") to its change on screen is the window's part.
void PrintRepaints(const Watch& watch, double firstByteMs, const std::vector<double>& valuesAt) {
    std::vector<double> moving;
    for (double at : watch.changeTimes)
        if (at >= firstByteMs) moving.push_back(at);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < moving.size(); ++i) gaps.push_back(moving[i] - moving[i - 1]);
    const auto longestGapAt = std::max_element(gaps.begin(), gaps.end());
    const double longestGap = gaps.empty() ? 0 : *longestGapAt;
    const double downloadMs = watch.endMs - firstByteMs;
    std::printf("bar changes on screen      %zu during %.0f ms of download (one percent every %.1f ms)\n",
                moving.size(), downloadMs, downloadMs / 85.0);
    std::printf("gap between bar repaints   median %.1f ms, p99 %.1f ms, longest %.1f ms (from %.0f ms)\n",
                Percentile(gaps, 0.5), Percentile(gaps, 0.99), longestGap,
                gaps.empty() ? 0.0 : moving[std::size_t(longestGapAt - gaps.begin())]);
    std::vector<double> lags;
    for (double value : valuesAt) {
        // The log has whole milliseconds; the value is set before it is painted.
        const auto shown = std::lower_bound(moving.begin(), moving.end(), value - 1);
        if (value >= firstByteMs && shown != moving.end()) lags.push_back(std::max(0.0, *shown - value));
    }
    const double longestLag = lags.empty() ? 0 : *std::max_element(lags.begin(), lags.end());
    std::printf("new percent -> on screen   %zu percents: median %.1f ms, longest %.1f ms\n", lags.size(),
                Percentile(lags, 0.5), longestLag);
    if (longestGap <= 50) {
        std::printf("  target: a repaint at least every 50 ms while the bar moves: met\n");
    } else {
        // Past the window's delay, a gap is the download's: no new percent came.
        std::printf("  target: a repaint at least every 50 ms while the bar moves: missed by %.1f ms, of which the "
                    "window's delay is at most %.1f ms\n",
                    longestGap - 50, std::min(longestLag, longestGap - 50));
    }
}

void PrintStalls(const Watch& watch) {
    const auto& delays = watch.pingDelays;
    const double longest = delays.empty() ? 0 : *std::max_element(delays.begin(), delays.end());
    std::printf("UI thread answer delay     %zu pings: median %.2f ms, p99 %.2f ms, longest %.1f ms (at %.0f ms)\n",
                delays.size(), Percentile(delays, 0.5), Percentile(delays, 0.99), longest, watch.longestStallAt);
    std::printf("  target: no stall over 100 ms: %s\n", longest <= 100 ? "met" : "missed");
}

// The UI thread's log lines written while the longest stall lasted: what it was doing.
void PrintLinesAround(const std::vector<std::pair<std::int64_t, std::string>>& lines, std::int64_t fromEpochMs,
                      double lengthMs) {
    std::printf("UI-thread log lines during the longest stall:\n");
    for (const auto& [at, line] : lines)
        if (at >= fromEpochMs - 20 && at <= fromEpochMs + std::int64_t(lengthMs) + 20)
            std::printf("  %s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const long long mebibytes = argc > 1 ? std::atoll(argv[1]) : 1024;
    const fs::path self = fs::canonical("/proc/self/exe").parent_path();
    const fs::path source = ZEMBRA_SOURCE_DIR;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "install_window: no X display (run it under xvfb-run -a)\n");
        return 1;
    }
    char pattern[] = "/tmp/zembra-install-bench.XXXXXX";
    Sandbox box{mkdtemp(pattern), self.string(), {}};
    for (const char* folder : {"appdata", "work", "registry", "run", "programs", "site/downloads/extra"})
        fs::create_directories(box.root / folder);
    chmod((box.root / "run").c_str(), 0700);
    std::printf("package: %lld MiB, sandbox %s\n", mebibytes, box.root.c_str());
    if (!MakePackage(box, source, mebibytes << 20)) {
        std::fprintf(stderr, "install_window: could not make the package\n");
        fs::remove_all(box.root);
        return 1;
    }

    const std::string ports = (box.root / "ports.json").string();
    platform::SpawnOptions quiet;
    quiet.hidden = true;
    const pid_t server = platform::SpawnProcess({box.bin + "/devserver", "--no-https", "--files", (box.root / "site").string(),
                                                 "--record", (box.root / "records.jsonl").string(), "--ports-file",
                                                 ports, "--exit-with-parent"},
                                                quiet);
    Json::Value portInfo;
    WaitFor([&] {
        std::istringstream text(ReadText(ports));
        return Json::parseFromStream(Json::CharReaderBuilder(), text, &portInfo, nullptr);
    }, 30);
    const std::string base = "http://127.0.0.1:" + std::to_string(portInfo["http"].asInt());
    std::ofstream settings(box.root / "qk_downloader.cfg");
    settings << "[Settings]\n\n[Hosts]\n";
    for (const char* key : {"QueryGlobal", "QueryRegional", "QueryTest", "Content", "ContentTest", "ErrorReport",
                            "ErrorReportTest", "LogUpload", "Collector", "CollectorTest", "GA4"})
        settings << key << "=" << base << "\n";
    settings << "CaFile=" << self.string() << "/../demo/ca/root.pem\n";
    settings.close();

    platform::SpawnOptions installerOptions = quiet;
    installerOptions.extraEnvironment = {
        "APPDATA=" + (box.root / "appdata").string(),          "ZEMBRA_WORK_ROOT=" + (box.root / "work").string(),
        "ZEMBRA_REGISTRY_DIR=" + (box.root / "registry").string(), "XDG_RUNTIME_DIR=" + (box.root / "run").string(),
        "ZEMBRA_PROGRAM_FILES=" + (box.root / "programs").string(),
        "ZEMBRA_SETTINGS_FILE=" + (box.root / "qk_downloader.cfg").string()};
    const pid_t installer = platform::SpawnProcess({box.bin + "/ZembraMorvantaSetup"}, installerOptions);

    std::string windowId;
    WaitFor([&] {
        windowId = Run({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Zembra Morvanta$"}, 5000).value_or("");
        return !windowId.empty();
    }, 60);
    windowId = windowId.substr(0, windowId.find('\n'));
    if (windowId.empty() || !WaitFor([&] { return box.Logged(" [Downloader config]: "); }, 60)) {
        std::fprintf(stderr, "install_window: the wizard did not come up\n");
        kill(installer, SIGKILL);
        fs::remove_all(box.root);
        return 1;
    }
    const Window window = Window(std::stoul(windowId));

    const std::int64_t clickEpochMs = EpochMs();
    const auto click = Clock::now();
    Run({"/usr/bin/xdotool", "mousemove", "--window", windowId, std::to_string(kInstallX), std::to_string(kInstallY),
         "click", "1"});
    const Watch watch = WatchDownload(display, window, box, click);

    const auto [firstRequest, firstRange] = FirstPackageRequests(box.root / "records.jsonl", clickEpochMs);
    std::printf("install click -> first package request   %.0f ms\n", firstRequest);
    std::printf("install click -> first downloaded byte   %.0f ms (first range answer)\n", firstRange);
    const auto uiLines = UiThreadLines(box.RunLog());
    std::vector<double> valuesAt;  // ms after the click the window took each new percent
    for (const auto& [at, line] : uiLines)
        if (line.find(" Progress shown: ") != std::string::npos) valuesAt.push_back(double(at - clickEpochMs));
    PrintRepaints(watch, firstRange, valuesAt);
    PrintStalls(watch);
    PrintLinesAround(uiLines, clickEpochMs + std::int64_t(watch.longestStallAt),
                     *std::max_element(watch.pingDelays.begin(), watch.pingDelays.end()));

    if (const char* keep = std::getenv("ZEMBRA_BENCH_LOG")) std::ofstream(keep) << box.RunLog();
    kill(installer, SIGKILL);
    platform::WaitForProcess(installer, -1);
    kill(server, SIGTERM);
    platform::WaitForProcess(server, 10000);
    XCloseDisplay(display);
    fs::remove_all(box.root);
    return 0;
}
