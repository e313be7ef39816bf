#include "platform/window_view.h"

#include <algorithm>
#include <cmath>

namespace platform::window {

void ReportView::SetDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_) {
        return;
    }
    position_ = static_cast<int>(std::lround(static_cast<double>(position_) * dpi / dpi_));
    dpi_ = dpi;
    Update();
}

void ReportView::Resize(Size client) {
    client_ = client;
    Update();
}

void ReportView::SetScrollBarWidth(int width) {
    scrollBarWidth_ = width;
    Update();
}

void ReportView::ShowStatus(std::string text) {
    status_ = std::move(text);
    drawing_.reset();
    position_ = 0;
    Update();
}

void ReportView::ShowDrawing(std::unique_ptr<OffscreenSurface> drawing) {
    drawing_ = std::move(drawing);
    status_.clear();
    notice_.clear();
    position_ = 0;
    Update();
}

void ReportView::ReplaceDrawing(std::unique_ptr<OffscreenSurface> drawing) {
    drawing_ = std::move(drawing);
    Update();
}

bool ReportView::Scroll(ScrollAction action) {
    return ScrollTo(
        ScrollPositionAfter(action, position_, ScrollRange(), layout_.reportArea.Height(), dpi_));
}

bool ReportView::ScrollByWheel(int wheelDelta) {
    return ScrollTo(ScrollPositionAfterWheel(wheelDelta, position_, ScrollRange(), dpi_));
}

bool ReportView::ScrollTo(int position) {
    const int clamped = std::clamp(position, 0, ScrollRange());
    if (clamped == position_) {
        return false;
    }
    position_ = clamped;
    return true;
}

int ReportView::ReportHeight() const {
    return drawing_ ? TwipsToPixels(drawing_->DrawnHeightTwips(), dpi_) : 0;
}

int ReportView::ScrollRange() const {
    return window::ScrollRange(ReportHeight(), layout_.reportArea.Height());
}

void ReportView::Update() {
    layout_ = LayOutClient(client_, dpi_, scrollBarWidth_, ReportHeight());
    position_ = std::clamp(position_, 0, ScrollRange());
}

}  // namespace platform::window
