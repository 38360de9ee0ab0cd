#include "gui/GuiDisplay.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/Process.h"
#include "platform/X11Desktop.h"

namespace testsupport {
namespace {

constexpr int kStartTimeoutMs = 30000;

// Helpers run without a terminal and keep their output to themselves.
platform::SpawnOptions Quiet() {
    platform::SpawnOptions options;
    options.hidden = true;
    return options;
}

// Starts a server process that ends with the test process, even when the
// test is killed (a time-out), so no X server outlives its test.
pid_t SpawnTiedToUs(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    execv(args[0], args.data());
    _exit(127);
}

// Xvfb writes its display number to the descriptor given with -displayfd
// once it accepts connections.
std::optional<std::string> ReadDisplayNumber(int fd) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, int(left.count())) <= 0) return std::nullopt;
        char buffer[32];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return std::nullopt;
        text.append(buffer, std::size_t(got));
    }
    return ":" + text.substr(0, text.find('\n'));
}

// Waits for another process to come up and announce itself on the display:
// nothing to wait on but time.
bool WaitForDesktop(bool (platform::X11Desktop::*announced)() const) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        platform::X11Desktop desktop;
        if (desktop.Open() && (desktop.*announced)()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// openbox announces itself before it handles map requests, and one that
// arrives in between is lost: a probe window is mapped until one shows.
bool WindowManagerMapsWindows(const std::string& name) {
    Display* display = XOpenDisplay(name.c_str());
    if (display == nullptr) return false;
    bool mapped = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!mapped && std::chrono::steady_clock::now() < deadline) {
        const Window probe = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
        XSelectInput(display, probe, StructureNotifyMask);
        XMapWindow(display, probe);
        XFlush(display);
        const auto retry = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (!mapped && std::chrono::steady_clock::now() < retry) {
            while (!mapped && XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                mapped = event.type == MapNotify && event.xmap.window == probe;
            }
            if (!mapped) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        XDestroyWindow(display, probe);
    }
    XCloseDisplay(display);
    return mapped;
}

void EndProcess(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (!platform::WaitForProcess(pid, 5000).exited) {
        kill(pid, SIGKILL);
        platform::WaitForProcess(pid, -1);
    }
    pid = -1;
}

}  // namespace

GuiDisplay::~GuiDisplay() { Stop(); }

bool GuiDisplay::Start(bool windowManager, bool compositor) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    // Only the write end goes to Xvfb.
    fcntl(pipeFds[1], F_SETFD, 0);
    server_ = SpawnTiedToUs({"/usr/bin/Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-noreset", "-br", "-nolisten",
                             "tcp", "-screen", "0", "1024x768x24"});
    close(pipeFds[1]);
    const auto name = server_ > 0 ? ReadDisplayNumber(pipeFds[0]) : std::nullopt;
    close(pipeFds[0]);
    if (!name) return false;
    name_ = *name;

    const char* previous = std::getenv("DISPLAY");
    hadDisplay_ = previous != nullptr;
    if (hadDisplay_) previousDisplay_ = previous;
    setenv("DISPLAY", name_.c_str(), 1);
    if (compositor) {
        compositor_ = SpawnTiedToUs({"/usr/bin/xcompmgr"});
        if (compositor_ <= 0 || !WaitForDesktop(&platform::X11Desktop::CompositorRunning)) return false;
    }
    if (!windowManager) return true;
    windowManager_ = SpawnTiedToUs({"/usr/bin/openbox", "--sm-disable"});
    return windowManager_ > 0 && WaitForDesktop(&platform::X11Desktop::WindowManagerRunning) && WindowManagerMapsWindows(name_);
}

void GuiDisplay::Stop() {
    FinishBackground();
    EndProcess(windowManager_);
    EndProcess(compositor_);
    EndProcess(server_);
    if (hadDisplay_) {
        setenv("DISPLAY", previousDisplay_.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
}

bool GuiDisplay::Xdotool(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = platform::SpawnProcess(argv, Quiet());
    return pid > 0 && platform::WaitForProcess(pid, kStartTimeoutMs).exitCode == 0;
}

bool GuiDisplay::XdotoolInBackground(const std::vector<std::string>& args) {
    FinishBackground();
    std::vector<std::string> argv{"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    background_ = platform::SpawnProcess(argv, Quiet());
    return background_ > 0;
}

bool GuiDisplay::FinishBackground() {
    if (background_ <= 0) return true;
    const bool succeeded = platform::WaitForProcess(background_, kStartTimeoutMs).exitCode == 0;
    background_ = -1;
    return succeeded;
}

std::optional<ZembraUI::LoadedImage> GuiDisplay::Screenshot() const {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("gui-shot-" + std::to_string(getpid()) + ".png")).string();
    const pid_t pid = platform::SpawnProcess({"/usr/bin/import", "-window", "root", "PNG24:" + path}, Quiet());
    if (pid <= 0 || platform::WaitForProcess(pid, kStartTimeoutMs).exitCode != 0) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return ZembraUI::CDrawEngine::DecodeImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0);
}

bool GuiDisplay::PointerGrabbedElsewhere() const {
    Display* display = XOpenDisplay(name_.c_str());
    if (display == nullptr) return false;
    const int status = XGrabPointer(display, DefaultRootWindow(display), False, 0, GrabModeAsync, GrabModeAsync,
                                    None, None, CurrentTime);
    if (status == GrabSuccess) XUngrabPointer(display, CurrentTime);
    XCloseDisplay(display);
    return status == AlreadyGrabbed;
}

std::uint32_t PixelOf(const ZembraUI::LoadedImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return 0;
    return image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)];
}

}  // namespace testsupport
