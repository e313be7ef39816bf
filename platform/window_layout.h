// The report window's geometry, as pure functions of values: where the window opens on a
// work area, where the buttons, the report area and its scroll bar lie in a client area of
// any size, and how far the report area scrolls. Every backend's window uses them.
//
// All rectangles and sizes are in pixels at the window's dots per inch; the design values
// are twips (1/1440 inch) and are scaled by the DPI.
#pragma once

#include <string_view>

namespace platform::window {

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    [[nodiscard]] int Width() const { return right - left; }
    [[nodiscard]] int Height() const { return bottom - top; }
    [[nodiscard]] bool Contains(const Rect& inner) const {
        return inner.left >= left && inner.top >= top && inner.right <= right &&
               inner.bottom <= bottom;
    }
    [[nodiscard]] bool Intersects(const Rect& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

inline constexpr int kDefaultDpi = 96;

// Twips to whole pixels at `dpi`, halves away from zero.
int TwipsToPixels(double twips, int dpi);
double PixelsToTwips(int pixels, int dpi);

// The design of the window, twips: its outer width (frame included), across which the
// report is drawn and its columns are laid out, its client area and where that lies on the
// screen.
inline constexpr int kDesignWindowWidthTwips = 16800;
inline constexpr int kDesignClientWidthTwips = 16570;
inline constexpr int kDesignClientHeightTwips = 13290;
inline constexpr int kDesignClientLeftTwips = 320;
inline constexpr int kDesignClientTopTwips = 740;

struct ButtonDesign {
    std::string_view caption;
    int left, top, width, height;  // twips, in the design client area
};
inline constexpr ButtonDesign kCopyTextDesign{"Copy Text", 180, 12750, 1550, 315};
inline constexpr ButtonDesign kDoneDesign{"Done", 15150, 12840, 1220, 315};

// One text line of the report's font (Arial 8 pt): the step of a line scroll.
inline constexpr int kScrollLineTwips = 195;

// What the window's frame (border and caption) adds on each side of its client area.
struct FrameInsets {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The window's rectangle, frame included, when it first opens on a monitor with this work
// area: the design client size at its design position when the whole window fits the work
// area; otherwise made no larger than the work area and moved as little as needed to lie
// inside it.
Rect InitialWindowRect(const Rect& workArea, const FrameInsets& frame, int dpi);

// The smallest client area the window can be made: both buttons side by side and a few
// lines of report above them.
Size MinimumClientSize(int dpi);

// Where everything lies in a client area, in client coordinates.
struct ClientLayout {
    // Above the buttons: where the report is shown, left of its scroll bar when that shows.
    Rect reportArea;
    Rect scrollBar;  // empty when the report fits the report area
    bool scrollBarShown = false;
    Rect copyText;
    Rect done;
};

// The design positions at the design size. At any other size "Copy Text" keeps its
// distances from the bottom-left corner and "Done" from the bottom-right corner; the report
// area ends a little above the higher of the two. `reportHeight` is the height of the
// drawing shown there (0 when none): taller than the report area, it brings the scroll bar
// of `scrollBarWidth` in.
ClientLayout LayOutClient(Size client, int dpi, int scrollBarWidth, int reportHeight);

// How far the report area scrolls: the drawing's height beyond the visible height.
int ScrollRange(int reportHeight, int visibleHeight);

enum class ScrollAction { kLineUp, kLineDown, kPageUp, kPageDown, kTop, kBottom };

// The scroll position after an action, within 0 to `range`.
int ScrollPositionAfter(ScrollAction action, int position, int range, int pageHeight, int dpi);

// The scroll position after a mouse wheel turn: three lines a notch (120), up for a positive
// delta.
int ScrollPositionAfterWheel(int wheelDelta, int position, int range, int dpi);

}  // namespace platform::window
