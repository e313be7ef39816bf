// The windowing run-time: the report window's drawing surfaces, its host window with the two
// buttons, the clipboard, the modal message box and ending the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::window {

// A colour value: an RGB value, or a system colour index with the highest bit set.
using Color = std::uint32_t;
inline constexpr Color SystemColor(std::uint32_t index) {
    return 0x80000000u | index;
}
inline constexpr Color kButtonShadow = SystemColor(16);
inline constexpr Color k3DHighlight = SystemColor(20);

// Draws text and lines in twips (1/1440 inch) with a text position, as the report window's
// surface does. Print draws a CR inside the text as a new line starting at the x where the
// text began, and a TAB as a move to the next tab stop.
class Surface {
  public:
    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    virtual ~Surface() = default;

    // Clears the surface to the background colour; the text position becomes (0, 0).
    virtual void Cls() = 0;
    // Draws `text` at the text position. Line ended: x becomes 0 and y moves one text line
    // down. Line left open: x moves to the end of the drawn text.
    virtual void Print(std::string_view text, bool endLine) = 0;
    virtual double CurrentX() const = 0;
    virtual void SetCurrentX(double x) = 0;
    virtual double CurrentY() const = 0;
    virtual void SetCurrentY(double y) = 0;
    // The window's outer width, in twips.
    virtual double Width() const = 0;
    // A one-pixel line from (x1, y1) to (x1 + dx, y1 + dy); the text position ends there.
    virtual void Line(double x1, double y1, double dx, double dy, Color color) = 0;
    virtual double TwipsPerPixelY() const = 0;
};

// Tab stops of Print, in twips from where the printed text began.
inline constexpr double kTabStopTwips = 720.0;

// A surface that draws off screen. A report run draws on one; the window then shows what it
// drew without drawing anything again.
class OffscreenSurface : public Surface {
  public:
    // The bottom of the lowest text line or line drawn since the last Cls, in twips.
    [[nodiscard]] virtual double DrawnHeightTwips() const = 0;
    // The same drawing made again for another DPI from what was drawn, in twips: the same
    // texts and lines at the same positions, nothing run again.
    [[nodiscard]] virtual std::unique_ptr<OffscreenSurface> RedrawnAt(int dpi) const = 0;
};

// An off-screen surface of the given size at `dpi` dots per inch (0: the screen's). Its
// Width is `widthTwips`; it grows downwards as far as a run draws.
std::unique_ptr<OffscreenSurface> CreateOffscreenSurface(double widthTwips, double heightTwips,
                                                         int dpi = 0);

// What a run draws for: the window's outer width (the run's Width), the height of its report
// area and its dots per inch.
struct Canvas {
    double widthTwips = 0;
    double heightTwips = 0;
    int dpi = 0;
};

// The report window as the report's logic sees it. Every call comes on the window's own
// thread, except a call of the notifier.
class ReportWindow {
  public:
    ReportWindow() = default;
    ReportWindow(const ReportWindow&) = delete;
    ReportWindow& operator=(const ReportWindow&) = delete;
    virtual ~ReportWindow() = default;

    // Shows `text` in place of the report.
    virtual void ShowStatus(std::string_view text) = 0;
    // Shows `text` on the line below the status until the report is shown.
    virtual void ShowNotice(std::string_view text) = 0;
    // Shows a run's finished drawing, from its top; painting only copies it.
    virtual void ShowReport(std::unique_ptr<OffscreenSurface> drawing) = 0;
    [[nodiscard]] virtual Canvas RunCanvas() const = 0;
    // A function that any thread may call, at any time, also after the window has gone: it
    // has FormEvents::RunNotified called soon on the window's thread while the window lives.
    [[nodiscard]] virtual std::function<void()> Notifier() = 0;
};

// What the window tells the report's logic, on the window's thread.
class FormEvents {
  public:
    virtual ~FormEvents() = default;
    // The window has been shown for the first time.
    virtual void Shown(ReportWindow& window) = 0;
    // The user asked for the report again (F5).
    virtual void RunAgainRequested(ReportWindow& window) = 0;
    // Something called the window's notifier.
    virtual void RunNotified(ReportWindow& window) = 0;
    virtual void CopyTextClicked(ReportWindow& window) = 0;
    // "Done", Esc and the window's close command.
    virtual void DoneClicked() = 0;
};

// Shows the report window, runs it until it is closed and returns the process exit code, 0.
int RunReportWindow(FormEvents& events);

// The window disappears at once and the program ends with exit code 0 (Unload, then End).
void EndProgram();

// Puts the text on the clipboard as Unicode text; false when the clipboard refused.
bool SetClipboardText(std::string_view text);

// The Unicode text on the clipboard; nullopt when it holds none or cannot be read.
std::optional<std::string> GetClipboardText();

// A modal message box with the text and a single OK button. Shown from another thread than
// the window's, it has no owner, so that the window stays usable.
void MessageBox(std::string_view text);

// While a sink is set, message boxes are not shown: their texts go to the sink instead (runs
// without a window, which must never wait for a click). An empty function shows them again.
void RedirectMessageBoxes(std::function<void(std::string_view)> sink);

}  // namespace platform::window
