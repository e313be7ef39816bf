// The report window on the simulated machine, driven by the tests. It opens on the machine's
// work area at its DPI and answers paints, resizes, scrolling, keys and clicks the way the
// Win32 window does, with the same layout and view. The notifications that a run sends from
// its worker are delivered when the test asks for them, on the test's thread, which plays
// the window's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sim/machine.h"
#include "platform/window.h"
#include "platform/window_layout.h"
#include "platform/window_view.h"

namespace platform::sim {

class SimulatedWindow final : public window::ReportWindow {
  public:
    // The scroll bar's width at 96 DPI (scaled with the DPI).
    static constexpr int kScrollBarWidth96 = 17;

    explicit SimulatedWindow(window::FormEvents& events);
    ~SimulatedWindow() override;

    // Opens the window (see window::InitialWindowRect) and tells the logic it is shown.
    void Show();

    // Delivers the notifications that have come, after waiting up to `wait` for the first;
    // returns how many were delivered.
    int DeliverNotifications(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // Delivers notifications until `done` holds; false when `timeout` passed first.
    bool DeliverUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30));

    // What one paint draws on the client area: the status line at the top left and any
    // notice on the next line, or the run's drawing shifted up by the scroll offset.
    std::vector<DrawOp> Paint();
    [[nodiscard]] int PaintCount() const { return paints_; }

    void ResizeClient(window::Size client);
    // The monitor's DPI changed: the window takes the suggested rectangle.
    void ChangeDpi(int dpi, const window::Rect& suggested);
    bool Scroll(window::ScrollAction action) { return view_.Scroll(action); }
    bool Wheel(int delta) { return view_.ScrollByWheel(delta); }

    enum class Key { kEscape, kF5 };
    void PressKey(Key key);
    void ClickCopyText() { events_.CopyTextClicked(*this); }
    void ClickDone() { events_.DoneClicked(); }

    [[nodiscard]] const window::Rect& WindowRect() const { return windowRect_; }
    [[nodiscard]] const window::ReportView& View() const { return view_; }

    void ShowStatus(std::string_view text) override;
    void ShowNotice(std::string_view text) override { view_.ShowNotice(std::string(text)); }
    void ShowReport(std::unique_ptr<window::OffscreenSurface> drawing) override;
    [[nodiscard]] window::Canvas RunCanvas() const override;
    [[nodiscard]] std::function<void()> Notifier() override;

  private:
    // Where the notifier counts its calls; it outlives the window if a run holds it.
    struct Mailbox {
        std::mutex mutex;
        std::condition_variable arrived;
        int pending = 0;
        bool open = true;
    };

    void SetWindowRect(const window::Rect& rect);

    window::FormEvents& events_;
    window::Rect windowRect_;
    window::ReportView view_;
    std::shared_ptr<Mailbox> mailbox_ = std::make_shared<Mailbox>();
    int paints_ = 0;
};

}  // namespace platform::sim
