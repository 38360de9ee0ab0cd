#pragma once
// The X11 facts and requests the window host needs beyond its windowing
// library: is a window manager or a compositor running, a 32-bit visual for
// per-pixel alpha, the desktop's scale, and window shapes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _XDisplay;

namespace platform {

// A rectangle of a window shape.
struct ShapeRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ShapeRect&) const = default;
};

// The part [left, right) of one row that lies inside a shape.
struct RowSpan {
    int left = 0;
    int right = 0;
    bool operator==(const RowSpan&) const = default;
};

// A connection of its own to the X server named by DISPLAY.
class X11Desktop {
public:
    X11Desktop() = default;
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // False when there is no X server to talk to.
    bool Open();
    bool IsOpen() const { return display_ != nullptr; }

    // A window manager announces itself with _NET_SUPPORTING_WM_CHECK on the
    // root window, naming a child window that carries the same property.
    bool WindowManagerRunning() const;
    // A compositor owns the selection _NET_WM_CM_S<screen>.
    bool CompositorRunning() const;
    // A 32-bit TrueColor visual of the default screen (alpha channel).
    std::optional<unsigned long> ArgbVisualId() const;
    // The server's resource database text (what xrdb loaded), or "".
    std::string ResourceText() const;

    // Replaces the bounding shape of a window (no rectangles: nothing shows).
    bool SetWindowShape(unsigned long window, const std::vector<ShapeRect>& rects);
    // Makes the whole window show again.
    bool ClearWindowShape(unsigned long window);

    // From now on a protocol error on any X connection of the process (a
    // request about a window another client has just destroyed) is handed
    // to report and ignored, instead of ending the process as Xlib's default
    // handler does. A lost connection still ends it.
    static void ReportProtocolErrors(void (*report)(const std::string& text));

private:
    _XDisplay* display_ = nullptr;
};

// Rows of a width x height rectangle whose corners are quarters of an ellipse
// roundWidth x roundHeight wide; one span per row. Without rounding every row
// is whole.
std::vector<RowSpan> RoundRectRows(int width, int height, int roundWidth, int roundHeight);

// Shape rectangles of the pixels whose alpha is not 0, each row limited to
// its span in limits when given (a rounded window). pixels are 32-bit with
// alpha in the top byte, stride counted in pixels.
std::vector<ShapeRect> AlphaShape(const std::uint32_t* pixels, int width, int height, int stride,
                                  const std::vector<RowSpan>& limits = {});

// Rows merged into rectangles wherever consecutive rows have the same span.
std::vector<ShapeRect> ShapeOfRows(const std::vector<RowSpan>& rows);

// The desktop scale: GDK_SCALE (a whole number) when set, else Xft.dpi / 96
// from the resource text; 1 without either. Kept within 1..4.
double DesktopScale(const char* gdkScale, std::string_view resourceText);

}  // namespace platform
