#include "platform/window_layout.h"

#include <algorithm>
#include <cmath>

namespace platform::window {
namespace {

// Between the report area and the buttons below it.
constexpr int kReportAreaGapTwips = 60;
// The least room between the two buttons, and the least report area above them.
constexpr int kMinimumButtonGapTwips = 240;
constexpr int kMinimumReportLines = 3;

// A button's size and its distances from the client area's edges at the design size.
struct ButtonPixels {
    int left;
    int top;
    int width;
    int height;
    int rightGap;
    int bottomGap;
};

ButtonPixels Scaled(const ButtonDesign& design, int dpi) {
    ButtonPixels b{};
    b.left = TwipsToPixels(design.left, dpi);
    b.top = TwipsToPixels(design.top, dpi);
    b.width = TwipsToPixels(design.width, dpi);
    b.height = TwipsToPixels(design.height, dpi);
    // Taken from the rounded pixel values, so that the design size puts the button exactly
    // at its design position.
    b.rightGap = TwipsToPixels(kDesignClientWidthTwips, dpi) - (b.left + b.width);
    b.bottomGap = TwipsToPixels(kDesignClientHeightTwips, dpi) - (b.top + b.height);
    return b;
}

Rect AtBottomLeft(const ButtonPixels& b, Size client) {
    const int bottom = client.height - b.bottomGap;
    return Rect{b.left, bottom - b.height, b.left + b.width, bottom};
}

Rect AtBottomRight(const ButtonPixels& b, Size client) {
    const int right = client.width - b.rightGap;
    const int bottom = client.height - b.bottomGap;
    return Rect{right - b.width, bottom - b.height, right, bottom};
}

// Moves [start, start + length) into [low, high) as little as needed; starts at `low` when
// it is longer.
int FitSpan(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length));
}

int LineHeight(int dpi) {
    return std::max(1, TwipsToPixels(kScrollLineTwips, dpi));
}

}  // namespace

int TwipsToPixels(double twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

double PixelsToTwips(int pixels, int dpi) {
    return pixels * 1440.0 / dpi;
}

Rect InitialWindowRect(const Rect& workArea, const FrameInsets& frame, int dpi) {
    const int clientLeft = TwipsToPixels(kDesignClientLeftTwips, dpi);
    const int clientTop = TwipsToPixels(kDesignClientTopTwips, dpi);
    const Rect design{clientLeft - frame.left, clientTop - frame.top,
                      clientLeft + TwipsToPixels(kDesignClientWidthTwips, dpi) + frame.right,
                      clientTop + TwipsToPixels(kDesignClientHeightTwips, dpi) + frame.bottom};
    if (workArea.Contains(design)) {
        return design;
    }
    const int width = std::min(design.Width(), workArea.Width());
    const int height = std::min(design.Height(), workArea.Height());
    const int left = FitSpan(design.left, width, workArea.left, workArea.right);
    const int top = FitSpan(design.top, height, workArea.top, workArea.bottom);
    return Rect{left, top, left + width, top + height};
}

Size MinimumClientSize(int dpi) {
    const ButtonPixels copy = Scaled(kCopyTextDesign, dpi);
    const ButtonPixels done = Scaled(kDoneDesign, dpi);
    const int width = copy.left + copy.width + TwipsToPixels(kMinimumButtonGapTwips, dpi) +
                      done.width + done.rightGap;
    const int buttons = std::max(copy.height + copy.bottomGap, done.height + done.bottomGap);
    const int height =
        buttons + TwipsToPixels(kReportAreaGapTwips, dpi) + kMinimumReportLines * LineHeight(dpi);
    return Size{width, height};
}

ClientLayout LayOutClient(Size client, int dpi, int scrollBarWidth, int reportHeight) {
    ClientLayout layout;
    layout.copyText = AtBottomLeft(Scaled(kCopyTextDesign, dpi), client);
    layout.done = AtBottomRight(Scaled(kDoneDesign, dpi), client);
    const int areaBottom = std::max(0, std::min(layout.copyText.top, layout.done.top) -
                                           TwipsToPixels(kReportAreaGapTwips, dpi));
    layout.reportArea = Rect{0, 0, std::max(0, client.width), areaBottom};
    layout.scrollBarShown = reportHeight > layout.reportArea.Height();
    if (layout.scrollBarShown) {
        const int barLeft = std::max(0, client.width - scrollBarWidth);
        layout.scrollBar = Rect{barLeft, 0, client.width, areaBottom};
        layout.reportArea.right = barLeft;
    }
    return layout;
}

int ScrollRange(int reportHeight, int visibleHeight) {
    return std::max(0, reportHeight - visibleHeight);
}

int ScrollPositionAfter(ScrollAction action, int position, int range, int pageHeight, int dpi) {
    const int line = LineHeight(dpi);
    const int page = std::max(line, pageHeight);
    int next = position;
    switch (action) {
        case ScrollAction::kLineUp:
            next = position - line;
            break;
        case ScrollAction::kLineDown:
            next = position + line;
            break;
        case ScrollAction::kPageUp:
            next = position - page;
            break;
        case ScrollAction::kPageDown:
            next = position + page;
            break;
        case ScrollAction::kTop:
            next = 0;
            break;
        case ScrollAction::kBottom:
            next = range;
            break;
    }
    return std::clamp(next, 0, std::max(0, range));
}

int ScrollPositionAfterWheel(int wheelDelta, int position, int range, int dpi) {
    constexpr int kWheelNotch = 120;
    constexpr int kLinesPerNotch = 3;
    const int moved = wheelDelta * kLinesPerNotch * LineHeight(dpi) / kWheelNotch;
    return std::clamp(position - moved, 0, std::max(0, range));
}

}  // namespace platform::window
