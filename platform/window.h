// The windowing run-time: the report window's drawing surface, its host window with the two
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

// What the host window calls back.
class FormEvents {
  public:
    virtual ~FormEvents() = default;
    virtual void Paint(Surface& surface) = 0;
    virtual void CopyTextClicked() = 0;
    virtual void DoneClicked() = 0;
};

// Shows the report window, runs it until it is closed and returns the process exit code.
int RunReportWindow(FormEvents& events);

// Asks the window to close and the program to end with exit code 0 (Unload, then End).
void EndProgram();

// Puts the text on the clipboard as Unicode text; false when the clipboard refused.
bool SetClipboardText(std::string_view text);

// The Unicode text on the clipboard; nullopt when it holds none or cannot be read.
std::optional<std::string> GetClipboardText();

// A modal message box with the text and a single OK button.
void MessageBox(std::string_view text);

// While a sink is set, message boxes are not shown: their texts go to the sink instead (runs
// without a window, which must never wait for a click). An empty function shows them again.
void RedirectMessageBoxes(std::function<void(std::string_view)> sink);

}  // namespace platform::window

namespace platform::window {

// A surface of the given size that draws off screen (tests, and the window's back buffer).
std::unique_ptr<Surface> CreateOffscreenSurface(double widthTwips, double heightTwips);

}  // namespace platform::window
