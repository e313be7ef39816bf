// The report window on Win32: a window with the two buttons whose every paint runs the report
// into an off-screen bitmap, then copies it to the screen.
#include "platform/window.h"

#include "platform/win32/windows_api.h"

#include <cmath>
#include <optional>

#include "platform/gui_objects.h"
#include "platform/win32/gdi.h"
#include "platform/win32/wide.h"

namespace platform::window {
namespace {

using win32::SelectGuard;
using win32::UniqueGdiObject;
using win32::UniqueMemoryDc;
using win32::Widen;
using win32::WindowDc;

constexpr wchar_t kWindowClass[] = L"KelvraReportWindow";
constexpr wchar_t kProgramTitle[] = L"Kelvra_System_Files_Test";
constexpr int kCopyTextId = 1;
constexpr int kDoneId = 2;

// Design values, twips.
constexpr int kClientWidthTwips = 16570;
constexpr int kClientHeightTwips = 13290;
constexpr int kClientLeftTwips = 320;
constexpr int kClientTopTwips = 740;

struct ButtonDesign {
    int id;
    const wchar_t* caption;
    int left, top, width, height;
};
constexpr ButtonDesign kButtons[] = {{kCopyTextId, L"Copy Text", 180, 12750, 1550, 315},
                                     {kDoneId, L"Done", 15150, 12840, 1220, 315}};

// The one report window of the process.
HWND g_mainWindow = nullptr;

struct Dpi {
    int x = 96;
    int y = 96;
};

Dpi ScreenDpi() {
    WindowDc screen(nullptr);
    return Dpi{::GetDeviceCaps(screen.get(), LOGPIXELSX),
               ::GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

int TwipsToPixels(double twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

COLORREF ToColorRef(Color color) {
    if ((color & 0x80000000u) != 0) {
        return ::GetSysColor(static_cast<int>(color & 0xFFu));
    }
    return static_cast<COLORREF>(color);
}

// Arial, bold, at tenths of a point.
UniqueGdiObject ArialBold(int tenthsOfPoint, int dpiY) {
    return UniqueGdiObject{::CreateFontW(-::MulDiv(tenthsOfPoint, dpiY, 720), 0, 0, 0, FW_BOLD,
                                         FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                         DEFAULT_PITCH | FF_SWISS, L"Arial")};
}

// Draws into a memory DC that holds a bitmap of the surface's size.
class GdiSurface final : public Surface {
  public:
    GdiSurface(HWND window, int widthPixels, int heightPixels, double widthTwips)
        : window_(window),
          widthTwips_(widthTwips),
          widthPixels_(widthPixels),
          heightPixels_(heightPixels) {
        dpi_ = ScreenDpi();
        WindowDc screen(nullptr);
        dc_.reset(::CreateCompatibleDC(screen.get()));
        bitmap_.reset(::CreateCompatibleBitmap(screen.get(), widthPixels, heightPixels));
        font_ = ArialBold(80, dpi_.y);
        bitmapSelection_.emplace(dc_.get(), bitmap_.get());
        fontSelection_.emplace(dc_.get(), font_.get());
        ::SetBkMode(dc_.get(), TRANSPARENT);
        ::SetTextColor(dc_.get(), ::GetSysColor(COLOR_BTNTEXT));
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc_.get(), &metrics);
        lineHeightTwips_ = metrics.tmHeight * 1440.0 / dpi_.y;
    }

    void Cls() override {
        const RECT all{0, 0, widthPixels_, heightPixels_};
        ::FillRect(dc_.get(), &all, ::GetSysColorBrush(COLOR_BTNFACE));
        x_ = 0;
        y_ = 0;
    }

    void Print(std::string_view text, bool endLine) override {
        const double startX = x_;
        std::size_t runStart = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            const bool atEnd = i == text.size();
            if (!atEnd && text[i] != '\r' && text[i] != '\t') {
                continue;
            }
            DrawRun(text.substr(runStart, i - runStart));
            if (!atEnd && text[i] == '\r') {
                x_ = startX;
                y_ += lineHeightTwips_;
            } else if (!atEnd) {
                const double column = x_ - startX;
                x_ = startX + (std::floor(column / kTabStopTwips) + 1) * kTabStopTwips;
            }
            runStart = i + 1;
        }
        if (endLine) {
            x_ = 0;
            y_ += lineHeightTwips_;
        }
    }

    double CurrentX() const override { return x_; }
    void SetCurrentX(double x) override { x_ = x; }
    double CurrentY() const override { return y_; }
    void SetCurrentY(double y) override { y_ = y; }

    double Width() const override {
        RECT outer{};
        if (window_ != nullptr && ::GetWindowRect(window_, &outer)) {
            return (outer.right - outer.left) * 1440.0 / dpi_.x;
        }
        return widthTwips_;
    }

    void Line(double x1, double y1, double dx, double dy, Color color) override {
        UniqueGdiObject pen{::CreatePen(PS_SOLID, 1, ToColorRef(color))};
        SelectGuard selected(dc_.get(), pen.get());
        ::MoveToEx(dc_.get(), TwipsToPixels(x1, dpi_.x), TwipsToPixels(y1, dpi_.y), nullptr);
        ::LineTo(dc_.get(), TwipsToPixels(x1 + dx, dpi_.x), TwipsToPixels(y1 + dy, dpi_.y));
        x_ = x1 + dx;
        y_ = y1 + dy;
    }

    double TwipsPerPixelY() const override { return 1440.0 / dpi_.y; }

    void CopyTo(HDC target) const {
        ::BitBlt(target, 0, 0, widthPixels_, heightPixels_, dc_.get(), 0, 0, SRCCOPY);
    }

  private:
    void DrawRun(std::string_view run) {
        if (run.empty()) {
            return;
        }
        const std::wstring wide = Widen(run);
        const int length = static_cast<int>(wide.size());
        ::TextOutW(dc_.get(), TwipsToPixels(x_, dpi_.x), TwipsToPixels(y_, dpi_.y), wide.c_str(),
                   length);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc_.get(), wide.c_str(), length, &extent);
        x_ += extent.cx * 1440.0 / dpi_.x;
    }

    HWND window_;
    double widthTwips_;
    int widthPixels_;
    int heightPixels_;
    Dpi dpi_;
    UniqueMemoryDc dc_;
    UniqueGdiObject bitmap_;
    UniqueGdiObject font_;
    // Declared after what they select, so that they put the old objects back first.
    std::optional<SelectGuard> bitmapSelection_;
    std::optional<SelectGuard> fontSelection_;
    double lineHeightTwips_ = 195;
    double x_ = 0;
    double y_ = 0;
};

// The window's state: what it calls back, and whether a run is in progress.
struct ReportWindow {
    FormEvents* events = nullptr;
    UniqueGdiObject buttonFont;
    bool running = false;
    bool repaintPending = false;
};

void RunPaint(HWND window, ReportWindow& state) {
    if (state.running) {
        // A run is showing a message box; paint again once it is over.
        state.repaintPending = true;
        ::ValidateRect(window, nullptr);
        return;
    }
    state.running = true;
    RECT client{};
    ::GetClientRect(window, &client);
    const int width = std::max<int>(1, client.right);
    const int height = std::max<int>(1, client.bottom);
    {
        GdiSurface surface(window, width, height, 0);
        state.events->Paint(surface);
        WindowDc target(window);
        surface.CopyTo(target.get());
    }
    ::ValidateRect(window, nullptr);
    state.running = false;
    if (state.repaintPending) {
        state.repaintPending = false;
        ::InvalidateRect(window, nullptr, FALSE);
    }
}

void CreateButtons(HWND window, ReportWindow& state) {
    const Dpi dpi = ScreenDpi();
    state.buttonFont = ArialBold(85, dpi.y);
    for (const ButtonDesign& design : kButtons) {
        HWND button = ::CreateWindowExW(
            0, L"BUTTON", design.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
            TwipsToPixels(design.left, dpi.x), TwipsToPixels(design.top, dpi.y),
            TwipsToPixels(design.width, dpi.x), TwipsToPixels(design.height, dpi.y), window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), ::GetModuleHandleW(nullptr),
            nullptr);
        if (button != nullptr) {
            gui::CountUserObject(+1);
            ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(state.buttonFont.get()),
                           TRUE);
        }
    }
}

BOOL CALLBACK UncountChildWindow(HWND, LPARAM) {
    gui::CountUserObject(-1);
    return TRUE;
}

// The buttons are destroyed with the window, right after its WM_DESTROY.
void UncountChildWindows(HWND window) {
    ::EnumChildWindows(window, UncountChildWindow, 0);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<ReportWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            gui::CountUserObject(+1);
            break;
        }
        case WM_NCDESTROY:
            gui::CountUserObject(-1);
            break;
        case WM_CREATE:
            CreateButtons(window, *state);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the run clears the surface itself
        case WM_PAINT:
            RunPaint(window, *state);
            return 0;
        case WM_SIZE:
            ::InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kCopyTextId && HIWORD(wParam) == BN_CLICKED) {
                state->events->CopyTextClicked();
            } else if (LOWORD(wParam) == kDoneId && HIWORD(wParam) == BN_CLICKED) {
                state->events->DoneClicked();
            }
            return 0;
        case WM_DESTROY:
            UncountChildWindows(window);
            g_mainWindow = nullptr;
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Frees global memory unless the clipboard took it over.
struct GlobalMemoryTraits {
    using pointer = HGLOBAL;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer memory) noexcept { ::GlobalFree(memory); }
};

class ClipboardSession {
  public:
    ClipboardSession() {
        for (int attempt = 0; attempt < 5 && !open_; ++attempt) {
            open_ = ::OpenClipboard(g_mainWindow) != 0;
            if (!open_) {
                ::Sleep(20);
            }
        }
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    ~ClipboardSession() {
        if (open_) {
            ::CloseClipboard();
        }
    }
    [[nodiscard]] bool is_open() const { return open_; }

  private:
    bool open_ = false;
};

}  // namespace

std::unique_ptr<Surface> CreateOffscreenSurface(double widthTwips, double heightTwips) {
    const Dpi dpi = ScreenDpi();
    return std::make_unique<GdiSurface>(nullptr, std::max(1, TwipsToPixels(widthTwips, dpi.x)),
                                        std::max(1, TwipsToPixels(heightTwips, dpi.y)), widthTwips);
}

int RunReportWindow(FormEvents& events) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    if (::RegisterClassExW(&windowClass) == 0) {
        return 1;
    }

    const Dpi dpi = ScreenDpi();
    constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi.x),
               TwipsToPixels(kClientHeightTwips, dpi.y)};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    const int left = TwipsToPixels(kClientLeftTwips, dpi.x) + frame.left;
    const int top = TwipsToPixels(kClientTopTwips, dpi.y) + frame.top;

    ReportWindow state;
    state.events = &events;
    g_mainWindow = ::CreateWindowExW(0, kWindowClass, L"Form1", kStyle, std::max(0, left),
                                     std::max(0, top), frame.right - frame.left,
                                     frame.bottom - frame.top, nullptr, nullptr, instance, &state);
    if (g_mainWindow == nullptr) {
        return 1;
    }
    ::ShowWindow(g_mainWindow, SW_SHOWNORMAL);
    ::UpdateWindow(g_mainWindow);

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (g_mainWindow != nullptr && ::IsDialogMessageW(g_mainWindow, &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void EndProgram() {
    if (g_mainWindow != nullptr) {
        ::DestroyWindow(g_mainWindow);
    }
}

bool SetClipboardText(std::string_view text) {
    const std::wstring wide = Widen(text);
    ClipboardSession clipboard;
    if (!clipboard.is_open() || !::EmptyClipboard()) {
        return false;
    }
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    UniqueHandle<GlobalMemoryTraits> memory{::GlobalAlloc(GMEM_MOVEABLE, bytes)};
    if (!memory) {
        return false;
    }
    void* target = ::GlobalLock(memory.get());
    if (target == nullptr) {
        return false;
    }
    ::CopyMemory(target, wide.c_str(), bytes);
    ::GlobalUnlock(memory.get());
    if (::SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) {
        return false;
    }
    (void)memory.release();  // the clipboard owns it now
    return true;
}

std::optional<std::string> GetClipboardText() {
    ClipboardSession clipboard;
    if (!clipboard.is_open()) {
        return std::nullopt;
    }
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) {
        return std::nullopt;
    }
    const auto* wide = static_cast<const wchar_t*>(::GlobalLock(data));
    if (wide == nullptr) {
        return std::nullopt;
    }
    std::string text = win32::Narrow(wide);
    ::GlobalUnlock(data);
    return text;
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
    ::MessageBoxW(g_mainWindow, Widen(text).c_str(), kProgramTitle, MB_OK);
}

}  // namespace platform::window
