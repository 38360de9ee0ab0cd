#include "platform/X11Desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

// Requests about windows that may be gone (a stale window-manager check
// window, a window just destroyed) must not end the process through Xlib's
// default error handler: errors are counted while this is alive.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display) {
        XSync(display_, False);
        errors_ = 0;
        previous_ = XSetErrorHandler(&ErrorTrap::Count);
    }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server to answer everything sent so far.
    bool Failed() {
        XSync(display_, False);
        return errors_ != 0;
    }

private:
    static int Count(Display*, XErrorEvent*) {
        ++errors_;
        return 0;
    }

    static inline int errors_ = 0;
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

std::optional<Window> WindowProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format, &count,
                                          &remaining, &data);
    std::optional<Window> value;
    if (status == Success && type == XA_WINDOW && format == 32 && count == 1 && data != nullptr) {
        value = *reinterpret_cast<Window*>(data);
    }
    if (data != nullptr) XFree(data);
    return value;
}

// Consecutive rows with equal spans become one rectangle per span.
std::vector<ShapeRect> MergeRows(const std::vector<std::vector<RowSpan>>& rows) {
    std::vector<ShapeRect> rects;
    std::size_t bandStart = 0;
    for (std::size_t y = 1; y <= rows.size(); ++y) {
        if (y < rows.size() && rows[y] == rows[bandStart]) continue;
        for (const RowSpan& span : rows[bandStart]) {
            rects.push_back({span.left, int(bandStart), span.right - span.left, int(y - bandStart)});
        }
        bandStart = y;
    }
    return rects;
}

void (*g_reportProtocolError)(const std::string& text) = nullptr;

int ReportProtocolError(Display* display, XErrorEvent* error) {
    char name[128] = {};
    XGetErrorText(display, error->error_code, name, sizeof name);
    if (g_reportProtocolError != nullptr) {
        g_reportProtocolError(std::string(name) + " (request " + std::to_string(int(error->request_code)) +
                              ", resource " + std::to_string(error->resourceid) + ")");
    }
    return 0;
}

}  // namespace

void X11Desktop::ReportProtocolErrors(void (*report)(const std::string& text)) {
    g_reportProtocolError = report;
    XSetErrorHandler(&ReportProtocolError);
}

X11Desktop::~X11Desktop() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

bool X11Desktop::Open() {
    if (display_ == nullptr) display_ = XOpenDisplay(nullptr);
    return display_ != nullptr;
}

bool X11Desktop::WindowManagerRunning() const {
    if (display_ == nullptr) return false;
    const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    const auto child = WindowProperty(display_, DefaultRootWindow(display_), check);
    if (!child) return false;
    // A window manager that died leaves the root property behind; its check
    // window is then gone or no longer names itself.
    ErrorTrap trap(display_);
    const auto self = WindowProperty(display_, *child, check);
    return !trap.Failed() && self == child;
}

bool X11Desktop::CompositorRunning() const {
    if (display_ == nullptr) return false;
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display_));
    const Atom selection = XInternAtom(display_, name.c_str(), True);
    return selection != None && XGetSelectionOwner(display_, selection) != None;
}

std::optional<unsigned long> X11Desktop::ArgbVisualId() const {
    if (display_ == nullptr) return std::nullopt;
    XVisualInfo info{};
    if (XMatchVisualInfo(display_, DefaultScreen(display_), 32, TrueColor, &info) == 0) return std::nullopt;
    return info.visualid;
}

std::string X11Desktop::ResourceText() const {
    const char* text = display_ != nullptr ? XResourceManagerString(display_) : nullptr;
    return text != nullptr ? text : "";
}

bool X11Desktop::SetWindowShape(unsigned long window, const std::vector<ShapeRect>& rects) {
    int eventBase = 0;
    int errorBase = 0;
    if (display_ == nullptr || !XShapeQueryExtension(display_, &eventBase, &errorBase)) return false;
    std::vector<XRectangle> xrects;
    xrects.reserve(rects.size());
    for (const ShapeRect& rect : rects) {
        xrects.push_back({short(rect.x), short(rect.y), (unsigned short)(rect.width), (unsigned short)(rect.height)});
    }
    ErrorTrap trap(display_);
    XShapeCombineRectangles(display_, window, ShapeBounding, 0, 0, xrects.data(), int(xrects.size()), ShapeSet,
                            Unsorted);
    return !trap.Failed();
}

bool X11Desktop::ClearWindowShape(unsigned long window) {
    int eventBase = 0;
    int errorBase = 0;
    if (display_ == nullptr || !XShapeQueryExtension(display_, &eventBase, &errorBase)) return false;
    ErrorTrap trap(display_);
    XShapeCombineMask(display_, window, ShapeBounding, 0, 0, None, ShapeSet);
    return !trap.Failed();
}

std::vector<RowSpan> RoundRectRows(int width, int height, int roundWidth, int roundHeight) {
    std::vector<RowSpan> rows(std::size_t(std::max(height, 0)), RowSpan{0, std::max(width, 0)});
    const double rx = std::min(roundWidth, width) / 2.0;
    const double ry = std::min(roundHeight, height) / 2.0;
    if (rx <= 0 || ry <= 0) return rows;
    for (int y = 0; y < height; ++y) {
        const double centre = y + 0.5;
        double dy = 0;
        if (centre < ry) dy = ry - centre;
        if (centre > height - ry) dy = centre - (height - ry);
        if (dy <= 0) continue;
        // A pixel is inside when its centre lies inside the corner ellipse.
        const double inset = rx - rx * std::sqrt(std::max(0.0, 1.0 - (dy / ry) * (dy / ry)));
        const int left = std::clamp(int(std::ceil(inset - 0.5)), 0, width / 2);
        rows[std::size_t(y)] = {left, width - left};
    }
    return rows;
}

std::vector<ShapeRect> AlphaShape(const std::uint32_t* pixels, int width, int height, int stride,
                                  const std::vector<RowSpan>& limits) {
    std::vector<std::vector<RowSpan>> rows(std::size_t(std::max(height, 0)));
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + std::ptrdiff_t(y) * stride;
        const RowSpan limit = std::size_t(y) < limits.size() ? limits[std::size_t(y)] : RowSpan{0, width};
        int x = std::max(limit.left, 0);
        const int end = std::min(limit.right, width);
        while (x < end) {
            while (x < end && (row[x] >> 24) == 0) ++x;
            const int start = x;
            while (x < end && (row[x] >> 24) != 0) ++x;
            if (x > start) rows[std::size_t(y)].push_back({start, x});
        }
    }
    return MergeRows(rows);
}

std::vector<ShapeRect> ShapeOfRows(const std::vector<RowSpan>& rows) {
    std::vector<std::vector<RowSpan>> spans;
    spans.reserve(rows.size());
    for (const RowSpan& row : rows) {
        spans.push_back(row.right > row.left ? std::vector<RowSpan>{row} : std::vector<RowSpan>{});
    }
    return MergeRows(spans);
}

double DesktopScale(const char* gdkScale, std::string_view resourceText) {
    if (gdkScale != nullptr && *gdkScale != '\0') {
        const int scale = std::atoi(gdkScale);
        if (scale >= 1) return std::min(scale, 4);
    }
    constexpr std::string_view kKey = "Xft.dpi:";
    for (std::size_t start = 0; start < resourceText.size();) {
        std::size_t end = resourceText.find('\n', start);
        if (end == std::string_view::npos) end = resourceText.size();
        std::string_view line = resourceText.substr(start, end - start);
        start = end + 1;
        if (line.substr(0, kKey.size()) != kKey) continue;
        line.remove_prefix(kKey.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        double dpi = 0;
        const auto parsed = std::from_chars(line.data(), line.data() + line.size(), dpi);
        if (parsed.ec == std::errc() && dpi > 0) return std::clamp(dpi / 96.0, 1.0, 4.0);
    }
    return 1.0;
}

}  // namespace platform
