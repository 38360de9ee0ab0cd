// A stand-in for the installed product in the splash tests: it shows one
// window that names its process (_NET_WM_PID), as desktop programs do, and
// lives until its X server goes away.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 50, 50, 200, 100, 0, 0, 0x336699);
    const long pid = getpid();
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    XMapWindow(display, window);
    XFlush(display);
    // Xlib ends the process when the server closes the connection.
    for (XEvent event;;) XNextEvent(display, &event);
}
