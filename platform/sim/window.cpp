// The simulated windowing run-time: a surface that records what it draws, a clipboard, the
// message boxes shown and the end of the program.
#include <array>

#include "platform/sim/machine.h"
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

}  // namespace

RecordingSurface::RecordingSurface(double widthTwips) : width_(widthTwips), font_(1) {
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

std::vector<std::string> RecordingSurface::Texts() const {
    std::vector<std::string> texts;
    for (const DrawOp& op : ops_) {
        if (op.kind == DrawOp::Kind::kText) {
            texts.push_back(op.text);
        }
    }
    return texts;
}

}  // namespace platform::sim

namespace platform::window {

std::unique_ptr<Surface> CreateOffscreenSurface(double widthTwips, double heightTwips) {
    (void)heightTwips;
    return std::make_unique<sim::RecordingSurface>(widthTwips);
}

int RunReportWindow(FormEvents& events) {
    auto& m = sim::machine();
    sim::RecordingSurface surface(m.windowWidthTwips);
    events.Paint(surface);
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

namespace {
// Where message boxes go instead of the screen, when set.
std::function<void(std::string_view)>& MessageSink() {
    static std::function<void(std::string_view)> sink;
    return sink;
}
}  // namespace

void RedirectMessageBoxes(std::function<void(std::string_view)> sink) {
    MessageSink() = std::move(sink);
}

void MessageBox(std::string_view text) {
    if (MessageSink()) {
        MessageSink()(text);
        return;
    }
    sim::machine().messageBoxes.emplace_back(text);
}

}  // namespace platform::window
