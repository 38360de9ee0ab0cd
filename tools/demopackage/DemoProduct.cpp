// The demo product: it shows that it runs by saying so, by leaving a note
// beside itself with the time and its arguments and, on a display, by
// showing a small window for the seconds ZEMBRA_DEMO_PRODUCT_WINDOW names
// (the demo asks for it; tests leave it out, so no product lingers).
#include <X11/Xlib.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 140;

void Draw(Display* display, Window window, GC gc) {
    static const char* const lines[] = {"Zembra Morvanta", "is installed and running.", "(demo product)"};
    int y = 50;
    for (const char* line : lines) {
        XDrawString(display, window, gc, 40, y, line, int(std::char_traits<char>::length(line)));
        y += 28;
    }
}

// Nothing happens without a display or without the request.
void ShowRunningWindow() {
    const char* seconds = std::getenv("ZEMBRA_DEMO_PRODUCT_WINDOW");
    const int shownFor = seconds != nullptr ? std::atoi(seconds) : 0;
    if (shownFor <= 0) return;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    const int screen = DefaultScreen(display);
    const int x = (DisplayWidth(display, screen) - kWidth) / 2;
    const int y = (DisplayHeight(display, screen) - kHeight) / 2;
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, kWidth, kHeight, 1,
                                              BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, "Zembra Morvanta (demo product)");
    XSelectInput(display, window, ExposureMask);
    const GC gc = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, gc, BlackPixel(display, screen));
    XMapWindow(display, window);
    XFlush(display);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::min(shownFor, 60));
    while (std::chrono::steady_clock::now() < end) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == Expose) Draw(display, window, gc);
        }
        usleep(20000);
    }
    XFreeGC(display, gc);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}

}  // namespace

int main(int argc, char** argv) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : argv[0];
    const std::string notePath = path.substr(0, path.find_last_of('/') + 1) + "ZembraMorvanta.started";
    std::ofstream note(notePath, std::ios::app);
    note << "started " << std::time(nullptr) << " pid " << getpid();
    for (int i = 1; i < argc; ++i) note << ' ' << argv[i];
    note << '\n';
    note.close();
    std::printf("Zembra Morvanta is running.\n");
    ShowRunningWindow();
    return 0;
}
