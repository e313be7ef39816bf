// The simulated windowing run-time: a surface that records what it draws, the window the
// tests drive, a clipboard, the message boxes shown and the end of the program.
#include <algorithm>
#include <array>
#include <functional>
#include <mutex>

#include "platform/message_sink.h"
#include "platform/sim/machine.h"
#include "platform/sim/simulated_window.h"
#include "platform/window.h"

namespace platform::sim {
namespace {

// Advance widths of Arial Bold, in 1/2048 em, for the characters 32 to 126.
constexpr std::array<int, 95> kArialBoldWidths = {
    569,  682,  971,  1139, 1139, 1821, 1479, 487,  682,  682,  797,  1196, 569,  682,  569,  569,
    1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 682,  682,  1196, 1196, 1196, 1251,
    1997, 1479, 1479, 1479, 1479, 1366, 1251, 1593, 1479, 569,  1139, 1479, 1251, 1706, 1479, 1593,
    1366, 1593, 1479, 1366, 1251, 1479, 1366, 1933, 1366, 1366, 1251, 682,  569,  682,  1196, 1139,
    682,  1139, 1251, 1139, 1251, 1139, 682,  1251, 1251, 569,  569,  1139, 569,  1821, 1251, 1251,
    1251, 1251, 797,  1139, 682,  1251, 1139, 1593, 1139, 1139, 1024, 797,  573,  797,  1196};
constexpr double kEmTwips = 160.0;  // 8 pt

DrawOp MakeOp(DrawOp::Kind kind, double x, double y) {
    DrawOp op;
    op.kind = kind;
    op.x = x;
    op.y = y;
    return op;
}

// Message boxes may come from a run's worker and from the window's thread at once.
std::mutex g_messageBoxes;

}  // namespace

RecordingSurface::RecordingSurface(double widthTwips, int dpi)
    : width_(widthTwips), dpi_(dpi > 0 ? dpi : window::kDefaultDpi), font_(1) {
    if (machine().surfacesLeakTheirFont) {
        (void)font_.release();
    }
}

double RecordingSurface::TextWidth(std::string_view text) {
    int units = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 32 && c < 127) {
            units += kArialBoldWidths[c - 32];
        } else if ((c & 0xC0) != 0x80) {  // one advance per UTF-8 lead byte
            units += 1139;
        }
    }
    return units * kEmTwips / 2048.0;
}

void RecordingSurface::Cls() {
    ops_.clear();
    ops_.push_back(MakeOp(DrawOp::Kind::kCls, 0, 0));
    x_ = 0;
    y_ = 0;
}

void RecordingSurface::Print(std::string_view text, bool endLine) {
    const double startX = x_;
    std::size_t runStart = 0;
    const auto flush = [&](std::size_t end) {
        if (end > runStart) {
            DrawOp op = MakeOp(DrawOp::Kind::kText, x_, y_);
            op.text = std::string(text.substr(runStart, end - runStart));
            op.font = "Arial 8 bold";
            x_ += TextWidth(op.text);
            ops_.push_back(std::move(op));
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            flush(i);
            x_ = startX;
            y_ += kLineHeight;
            runStart = i + 1;
        } else if (text[i] == '\t') {
            flush(i);
            const double column = x_ - startX;
            x_ = startX +
                 (static_cast<int>(column / window::kTabStopTwips) + 1) * window::kTabStopTwips;
            runStart = i + 1;
        }
    }
    flush(text.size());
    if (endLine) {
        x_ = 0;
        y_ += kLineHeight;
    }
}

void RecordingSurface::Line(double x1, double y1, double dx, double dy, window::Color color) {
    DrawOp op = MakeOp(DrawOp::Kind::kLine, x1, y1);
    op.dx = dx;
    op.dy = dy;
    op.color = color;
    ops_.push_back(std::move(op));
    x_ = x1 + dx;
    y_ = y1 + dy;
}

double RecordingSurface::DrawnHeightTwips() const {
    double bottom = 0;
    for (const DrawOp& op : ops_) {
        if (op.kind == DrawOp::Kind::kText) {
            bottom = std::max(bottom, op.y + kLineHeight);
        } else if (op.kind == DrawOp::Kind::kLine) {
            bottom = std::max(bottom, std::max(op.y, op.y + op.dy) + TwipsPerPixelY());
        }
    }
    return bottom;
}

std::unique_ptr<window::OffscreenSurface> RecordingSurface::RedrawnAt(int dpi) const {
    auto redrawn = std::make_unique<RecordingSurface>(width_, dpi);
    redrawn->ops_ = ops_;
    return redrawn;
}

std::vector<std::string> RecordingSurface::Texts() const {
    std::vector<std::string> texts;
    for (const DrawOp& op : ops_) {
        if (op.kind == DrawOp::Kind::kText) {
            texts.push_back(op.text);
        }
    }
    return texts;
}

SimulatedWindow::SimulatedWindow(window::FormEvents& events)
    : events_(events), view_(machine().dpi) {
    view_.SetScrollBarWidth(kScrollBarWidth96 * view_.Dpi() / window::kDefaultDpi);
}

SimulatedWindow::~SimulatedWindow() {
    const std::lock_guard lock(mailbox_->mutex);
    mailbox_->open = false;
}

void SimulatedWindow::Show() {
    const Machine& m = machine();
    SetWindowRect(window::InitialWindowRect(m.workArea, m.windowFrame, view_.Dpi()));
    events_.Shown(*this);
}

void SimulatedWindow::SetWindowRect(const window::Rect& rect) {
    windowRect_ = rect;
    const window::FrameInsets& frame = machine().windowFrame;
    view_.Resize({std::max(0, rect.Width() - frame.left - frame.right),
                  std::max(0, rect.Height() - frame.top - frame.bottom)});
}

void SimulatedWindow::ResizeClient(window::Size client) {
    const window::FrameInsets& frame = machine().windowFrame;
    windowRect_.right = windowRect_.left + frame.left + client.width + frame.right;
    windowRect_.bottom = windowRect_.top + frame.top + client.height + frame.bottom;
    view_.Resize(client);
}

void SimulatedWindow::ChangeDpi(int dpi, const window::Rect& suggested) {
    view_.SetDpi(dpi);
    view_.SetScrollBarWidth(kScrollBarWidth96 * dpi / window::kDefaultDpi);
    if (const window::OffscreenSurface* drawing = view_.Drawing()) {
        view_.ReplaceDrawing(drawing->RedrawnAt(dpi));
    }
    SetWindowRect(suggested);
}

int SimulatedWindow::DeliverNotifications(std::chrono::milliseconds wait) {
    int count = 0;
    {
        std::unique_lock lock(mailbox_->mutex);
        mailbox_->arrived.wait_for(lock, wait, [&] { return mailbox_->pending > 0; });
        count = std::exchange(mailbox_->pending, 0);
    }
    for (int i = 0; i < count; ++i) {
        events_.RunNotified(*this);
    }
    return count;
}

bool SimulatedWindow::DeliverUntil(const std::function<bool()>& done,
                                   std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        DeliverNotifications(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<DrawOp> SimulatedWindow::Paint() {
    ++paints_;
    std::vector<DrawOp> drawn;
    if (const auto* drawing = dynamic_cast<const RecordingSurface*>(view_.Drawing())) {
        const double offset = view_.ScrollOffsetTwips();
        for (DrawOp op : drawing->ops()) {
            op.y -= offset;
            drawn.push_back(std::move(op));
        }
    } else {
        double y = 0;
        for (const std::string& line : {view_.Status(), view_.Notice()}) {
            if (!line.empty()) {
                DrawOp text;
                text.kind = DrawOp::Kind::kText;
                text.y = y;
                text.text = line;
                drawn.push_back(std::move(text));
            }
            y += RecordingSurface::kLineHeight;
        }
    }
    return drawn;
}

void SimulatedWindow::PressKey(Key key) {
    switch (key) {
        case Key::kEscape:
            events_.DoneClicked();
            break;
        case Key::kF5:
            events_.RunAgainRequested(*this);
            break;
    }
}

void SimulatedWindow::ShowStatus(std::string_view text) {
    view_.ShowStatus(std::string(text));
}

void SimulatedWindow::ShowReport(std::unique_ptr<window::OffscreenSurface> drawing) {
    view_.ShowDrawing(std::move(drawing));
}

window::Canvas SimulatedWindow::RunCanvas() const {
    const int dpi = view_.Dpi();
    return window::Canvas{window::PixelsToTwips(windowRect_.Width(), dpi),
                          window::PixelsToTwips(view_.Layout().reportArea.Height(), dpi), dpi};
}

std::function<void()> SimulatedWindow::Notifier() {
    return [mailbox = mailbox_] {
        const std::lock_guard lock(mailbox->mutex);
        if (mailbox->open) {
            ++mailbox->pending;
            mailbox->arrived.notify_all();
        }
    };
}

}  // namespace platform::sim

namespace platform::window {

std::unique_ptr<OffscreenSurface> CreateOffscreenSurface(double widthTwips, double heightTwips,
                                                         int dpi) {
    (void)heightTwips;  // a recording has no size of its own
    return std::make_unique<sim::RecordingSurface>(widthTwips, dpi);
}

int RunReportWindow(FormEvents& events) {
    sim::SimulatedWindow window(events);
    window.Show();
    window.DeliverUntil([&] { return window.View().Drawing() != nullptr; });
    window.Paint();
    return 0;
}

void EndProgram() {
    sim::machine().programEnded = true;
}

bool SetClipboardText(std::string_view text) {
    auto& m = sim::machine();
    if (m.clipboardFails) {
        return false;
    }
    m.clipboard = std::string(text);
    return true;
}

std::optional<std::string> GetClipboardText() {
    return sim::machine().clipboard;
}

void MessageBox(std::string_view text) {
    if (detail::SendToMessageSink(text)) {
        return;
    }
    const std::lock_guard lock(sim::g_messageBoxes);
    sim::machine().messageBoxes.emplace_back(text);
}

}  // namespace platform::window
