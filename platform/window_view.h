// What the report window shows and how far its report area is scrolled, with the layout of
// its client area: the state that the window of every backend keeps and paints from.
#pragma once

#include <memory>
#include <string>

#include "platform/window.h"
#include "platform/window_layout.h"

namespace platform::window {

class ReportView {
  public:
    explicit ReportView(int dpi) : dpi_(dpi) {}

    // A new DPI keeps the scroll position at the same place of the drawing.
    void SetDpi(int dpi);
    void Resize(Size client);
    void SetScrollBarWidth(int width);

    // Shows a status line in place of the report; any drawing shown before is dropped.
    void ShowStatus(std::string text);
    // Shows a notice below the status line, until a drawing is shown.
    void ShowNotice(std::string text) { notice_ = std::move(text); }
    // Shows a finished drawing from its top.
    void ShowDrawing(std::unique_ptr<OffscreenSurface> drawing);
    // The same drawing made again for a new DPI: the scroll position stays.
    void ReplaceDrawing(std::unique_ptr<OffscreenSurface> drawing);

    // Each returns whether the position changed.
    bool Scroll(ScrollAction action);
    bool ScrollByWheel(int wheelDelta);
    bool ScrollTo(int position);

    [[nodiscard]] int Dpi() const { return dpi_; }
    [[nodiscard]] Size Client() const { return client_; }
    [[nodiscard]] const ClientLayout& Layout() const { return layout_; }
    [[nodiscard]] const OffscreenSurface* Drawing() const { return drawing_.get(); }
    [[nodiscard]] const std::string& Status() const { return status_; }
    [[nodiscard]] const std::string& Notice() const { return notice_; }
    // The drawing's height in pixels, 0 when none is shown.
    [[nodiscard]] int ReportHeight() const;
    [[nodiscard]] int ScrollPosition() const { return position_; }
    [[nodiscard]] int ScrollRange() const;
    // How far up the drawing is shifted, in twips.
    [[nodiscard]] double ScrollOffsetTwips() const { return PixelsToTwips(position_, dpi_); }

  private:
    void Update();

    int dpi_;
    Size client_;
    int scrollBarWidth_ = 0;
    ClientLayout layout_;
    std::unique_ptr<OffscreenSurface> drawing_;
    std::string status_;
    std::string notice_;
    int position_ = 0;
};

}  // namespace platform::window
