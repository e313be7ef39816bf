// The report window on Win32: a window with the two buttons and a scroll bar for its report
// area. A run draws off screen on a worker; painting only copies that drawing (or shows the
// status line while the run goes on), from the scroll position down.
#include "platform/window.h"

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/gui_objects.h"
#include "platform/message_sink.h"
#include "platform/win32/gdi.h"
#include "platform/win32/wide.h"
#include "platform/window_layout.h"
#include "platform/window_view.h"

namespace platform::window {
namespace {

using win32::PaintDc;
using win32::SelectGuard;
using win32::UniqueGdiObject;
using win32::UniqueMemoryDc;
using win32::Widen;
using win32::WindowDc;

constexpr wchar_t kWindowClass[] = L"KelvraReportWindow";
constexpr wchar_t kProgramTitle[] = L"Kelvra_System_Files_Test";
// Not IDOK (1) or IDCANCEL (2): Enter and Esc reach the buttons only as the window decides.
constexpr int kCopyTextId = 101;
constexpr int kDoneId = 102;
constexpr int kScrollBarId = 103;
constexpr UINT kRunNotifiedMessage = WM_APP + 1;
constexpr UINT kDpiChangedMessage = 0x02E0;  // WM_DPICHANGED, Windows 8.1 and later
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// A drawing grows no taller than this.
constexpr int kMaxDrawingHeightPixels = 32000;

// The one report window of the process, and the thread it belongs to.
std::atomic<HWND> g_mainWindow{nullptr};

// The DPI functions of newer Windows versions, looked up once.
struct DpiApi {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    GetDpiForWindowFn getDpiForWindow = nullptr;
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi = nullptr;
    GetDpiForMonitorFn getDpiForMonitor = nullptr;
};

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    // Through void (*)(), which converts to and from every function pointer type.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

const DpiApi& Dpis() {
    static const DpiApi api = [] {
        DpiApi found;
        const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        found.getDpiForWindow = Lookup<DpiApi::GetDpiForWindowFn>(user32, "GetDpiForWindow");
        found.adjustWindowRectExForDpi =
            Lookup<DpiApi::AdjustWindowRectExForDpiFn>(user32, "AdjustWindowRectExForDpi");
        // Kept loaded for the life of the process.
        const HMODULE shcore = ::LoadLibraryW(L"shcore.dll");
        found.getDpiForMonitor = Lookup<DpiApi::GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
        return found;
    }();
    return api;
}

int SystemDpi() {
    WindowDc screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int MonitorDpi(HMONITOR monitor) {
    UINT dpiX = 0;
    UINT dpiY = 0;
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    if (Dpis().getDpiForMonitor != nullptr &&
        SUCCEEDED(Dpis().getDpiForMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY)) && dpiY > 0) {
        return static_cast<int>(dpiY);
    }
    return SystemDpi();
}

int WindowDpi(HWND window) {
    if (Dpis().getDpiForWindow != nullptr) {
        const UINT dpi = Dpis().getDpiForWindow(window);
        if (dpi > 0) {
            return static_cast<int>(dpi);
        }
    }
    return SystemDpi();
}

FrameInsets FrameAt(int dpi) {
    RECT frame{0, 0, 0, 0};
    if (Dpis().adjustWindowRectExForDpi != nullptr) {
        Dpis().adjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, 0, static_cast<UINT>(dpi));
    } else {
        ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    }
    return FrameInsets{-frame.left, -frame.top, frame.right, frame.bottom};
}

int ScrollBarWidth(int dpi) {
    return ::MulDiv(::GetSystemMetrics(SM_CXVSCROLL), dpi, SystemDpi());
}

COLORREF ToColorRef(Color color) {
    if ((color & 0x80000000u) != 0) {
        return ::GetSysColor(static_cast<int>(color & 0xFFu));
    }
    return static_cast<COLORREF>(color);
}

void FillBackground(HDC dc, const RECT& area) {
    if (area.right > area.left && area.bottom > area.top) {
        ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_BTNFACE));
    }
}

// Arial, bold, at tenths of a point.
UniqueGdiObject ArialBold(int tenthsOfPoint, int dpi) {
    return UniqueGdiObject{::CreateFontW(-::MulDiv(tenthsOfPoint, dpi, 720), 0, 0, 0, FW_BOLD,
                                         FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                         DEFAULT_PITCH | FF_SWISS, L"Arial")};
}

// Draws into a bitmap held by a memory DC, which grows downwards as far as the drawing goes.
// What it draws is also recorded, in twips, so that the same drawing can be made again for
// another DPI without running anything.
class GdiSurface final : public OffscreenSurface {
  public:
    GdiSurface(double widthTwips, double heightTwips, int dpi)
        : widthTwips_(widthTwips),
          dpi_(dpi),
          widthPixels_(std::max(1, TwipsToPixels(widthTwips, dpi))),
          heightPixels_(std::clamp(TwipsToPixels(heightTwips, dpi), 1, kMaxDrawingHeightPixels)) {
        WindowDc screen(nullptr);
        dc_.reset(::CreateCompatibleDC(screen.get()));
        bitmap_.reset(::CreateCompatibleBitmap(screen.get(), widthPixels_, heightPixels_));
        font_ = ArialBold(80, dpi_);
        bitmapSelection_.emplace(dc_.get(), bitmap_.get());
        fontSelection_.emplace(dc_.get(), font_.get());
        ::SetBkMode(dc_.get(), TRANSPARENT);
        ::SetTextColor(dc_.get(), ::GetSysColor(COLOR_BTNTEXT));
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc_.get(), &metrics);
        lineHeightTwips_ = PixelsToTwips(metrics.tmHeight, dpi_);
        FillBackground(dc_.get(), RECT{0, 0, widthPixels_, heightPixels_});
    }

    void Cls() override {
        FillBackground(dc_.get(), RECT{0, 0, widthPixels_, heightPixels_});
        recorded_.clear();
        drawnBottomTwips_ = 0;
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

    [[nodiscard]] double CurrentX() const override { return x_; }
    void SetCurrentX(double x) override { x_ = x; }
    [[nodiscard]] double CurrentY() const override { return y_; }
    void SetCurrentY(double y) override { y_ = y; }
    [[nodiscard]] double Width() const override { return widthTwips_; }

    void Line(double x1, double y1, double dx, double dy, Color color) override {
        DrawLineItem(Recorded{Recorded::Kind::kLine, x1, y1, dx, dy, color, {}});
        x_ = x1 + dx;
        y_ = y1 + dy;
    }

    [[nodiscard]] double TwipsPerPixelY() const override { return 1440.0 / dpi_; }
    [[nodiscard]] double DrawnHeightTwips() const override { return drawnBottomTwips_; }

    // The same drawing made for another DPI from what was recorded.
    [[nodiscard]] std::unique_ptr<OffscreenSurface> RedrawnAt(int dpi) const override {
        auto redrawn =
            std::make_unique<GdiSurface>(widthTwips_, PixelsToTwips(heightPixels_, dpi_), dpi);
        for (const Recorded& item : recorded_) {
            if (item.kind == Recorded::Kind::kText) {
                redrawn->DrawTextItem(item);
            } else {
                redrawn->DrawLineItem(item);
            }
        }
        return redrawn;
    }

    // Copies the drawing from `sourceTop` down onto `area` of `target`; fills what of the
    // area it does not cover.
    void CopyTo(HDC target, const Rect& area, int sourceTop) const {
        const int columns = std::clamp(widthPixels_, 0, area.Width());
        const int rows = std::clamp(heightPixels_ - sourceTop, 0, area.Height());
        ::BitBlt(target, area.left, area.top, columns, rows, dc_.get(), 0, sourceTop, SRCCOPY);
        FillBackground(target, RECT{area.left + columns, area.top, area.right, area.bottom});
        FillBackground(target, RECT{area.left, area.top + rows, area.left + columns, area.bottom});
    }

  private:
    struct Recorded {
        enum class Kind { kText, kLine };
        Kind kind;
        double x;
        double y;
        double dx;
        double dy;
        Color color;
        std::wstring text;
    };

    int PixelX(double twips) const { return TwipsToPixels(twips, dpi_); }
    int PixelY(double twips) const { return TwipsToPixels(twips, dpi_); }

    void DrawRun(std::string_view run) {
        if (run.empty()) {
            return;
        }
        Recorded item{Recorded::Kind::kText, x_, y_, 0, 0, 0, Widen(run)};
        SIZE extent{};
        ::GetTextExtentPoint32W(dc_.get(), item.text.c_str(), static_cast<int>(item.text.size()),
                                &extent);
        DrawTextItem(std::move(item));
        x_ += PixelsToTwips(extent.cx, dpi_);
    }

    void DrawTextItem(Recorded item) {
        drawnBottomTwips_ = std::max(drawnBottomTwips_, item.y + lineHeightTwips_);
        GrowTo(PixelY(drawnBottomTwips_));
        ::TextOutW(dc_.get(), PixelX(item.x), PixelY(item.y), item.text.c_str(),
                   static_cast<int>(item.text.size()));
        recorded_.push_back(std::move(item));
    }

    void DrawLineItem(Recorded item) {
        const double lowest = std::max(item.y, item.y + item.dy);
        drawnBottomTwips_ = std::max(drawnBottomTwips_, lowest + TwipsPerPixelY());
        GrowTo(PixelY(drawnBottomTwips_));
        UniqueGdiObject pen{::CreatePen(PS_SOLID, 1, ToColorRef(item.color))};
        SelectGuard selected(dc_.get(), pen.get());
        ::MoveToEx(dc_.get(), PixelX(item.x), PixelY(item.y), nullptr);
        ::LineTo(dc_.get(), PixelX(item.x + item.dx), PixelY(item.y + item.dy));
        recorded_.push_back(std::move(item));
    }

    // Makes the bitmap at least `bottom` pixels tall (up to the limit), keeping its content.
    void GrowTo(int bottom) {
        if (bottom <= heightPixels_ || heightPixels_ >= kMaxDrawingHeightPixels) {
            return;
        }
        const int height = std::min(kMaxDrawingHeightPixels, std::max(bottom, 2 * heightPixels_));
        WindowDc screen(nullptr);
        UniqueGdiObject grown{::CreateCompatibleBitmap(screen.get(), widthPixels_, height)};
        if (!grown) {
            return;
        }
        {
            UniqueMemoryDc copy{::CreateCompatibleDC(dc_.get())};
            SelectGuard into(copy.get(), grown.get());
            FillBackground(copy.get(), RECT{0, heightPixels_, widthPixels_, height});
            ::BitBlt(copy.get(), 0, 0, widthPixels_, heightPixels_, dc_.get(), 0, 0, SRCCOPY);
        }
        bitmapSelection_.reset();  // the DC lets go of the old bitmap
        bitmap_ = std::move(grown);
        bitmapSelection_.emplace(dc_.get(), bitmap_.get());
        heightPixels_ = height;
    }

    double widthTwips_;
    int dpi_;
    int widthPixels_;
    int heightPixels_;
    UniqueMemoryDc dc_;
    UniqueGdiObject bitmap_;
    UniqueGdiObject font_;
    // Declared after what they select, so that they put the old objects back first.
    std::optional<SelectGuard> bitmapSelection_;
    std::optional<SelectGuard> fontSelection_;
    double lineHeightTwips_ = 195;
    double drawnBottomTwips_ = 0;
    std::vector<Recorded> recorded_;
    double x_ = 0;
    double y_ = 0;
};

// Where a run's notifications go: the window while it lives.
struct NotifyTarget {
    std::mutex mutex;
    HWND window = nullptr;
};

// The report window: its child controls, fonts and view, and what it tells the report's
// logic.
class Win32ReportWindow final : public ReportWindow {
  public:
    explicit Win32ReportWindow(FormEvents& events) : events_(events) {}

    int Run();

    void ShowStatus(std::string_view text) override {
        view_.ShowStatus(std::string(text));
        ApplyLayout();
    }

    void ShowNotice(std::string_view text) override {
        view_.ShowNotice(std::string(text));
        ::InvalidateRect(window_, nullptr, FALSE);
    }

    void ShowReport(std::unique_ptr<OffscreenSurface> drawing) override {
        view_.ShowDrawing(std::move(drawing));
        ApplyLayout();
    }

    [[nodiscard]] Canvas RunCanvas() const override {
        RECT outer{};
        ::GetWindowRect(window_, &outer);
        const int dpi = view_.Dpi();
        return Canvas{PixelsToTwips(outer.right - outer.left, dpi),
                      PixelsToTwips(view_.Layout().reportArea.Height(), dpi), dpi};
    }

    [[nodiscard]] std::function<void()> Notifier() override {
        return [target = notifyTarget_] {
            const std::lock_guard lock(target->mutex);
            if (target->window != nullptr) {
                ::PostMessageW(target->window, kRunNotifiedMessage, 0, 0);
            }
        };
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleKey(const MSG& message);
    void Dispatch(MSG& message);
    void CreateChildren();
    void CreateFonts();
    void ApplyLayout();
    void ShowScrollPosition();
    void Paint();
    void OnCommand(WPARAM wParam);
    void OnVerticalScroll(WPARAM wParam);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void Scrolled(bool moved);
    void MakeDefault(int id);

    FormEvents& events_;
    HWND window_ = nullptr;
    bool ending_ = false;  // the message loop has ended
    HWND copyText_ = nullptr;
    HWND done_ = nullptr;
    HWND scrollBar_ = nullptr;
    HWND lastFocus_ = nullptr;
    int defaultId_ = kCopyTextId;
    ReportView view_{kDefaultDpi};
    UniqueGdiObject buttonFont_;
    UniqueGdiObject statusFont_;
    std::shared_ptr<NotifyTarget> notifyTarget_ = std::make_shared<NotifyTarget>();
};

HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* caption, DWORD style,
                 int id) {
    HWND child = ::CreateWindowExW(0, className, caption, WS_CHILD | style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
    if (child != nullptr) {
        gui::CountUserObject(+1);
    }
    return child;
}

BOOL CALLBACK UncountChild(HWND, LPARAM) {
    gui::CountUserObject(-1);
    return TRUE;
}

// The children are destroyed with the window, right after its WM_DESTROY.
void UncountChildWindows(HWND window) {
    ::EnumChildWindows(window, UncountChild, 0);
}

void Win32ReportWindow::CreateChildren() {
    constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY;
    copyText_ =
        CreateChild(window_, L"BUTTON", L"Copy Text", kButton | BS_DEFPUSHBUTTON, kCopyTextId);
    done_ = CreateChild(window_, L"BUTTON", L"Done", kButton, kDoneId);
    scrollBar_ = CreateChild(window_, L"SCROLLBAR", L"", SBS_VERT, kScrollBarId);
    CreateFonts();
}

void Win32ReportWindow::CreateFonts() {
    buttonFont_ = ArialBold(85, view_.Dpi());
    statusFont_ = ArialBold(80, view_.Dpi());
    for (HWND button : {copyText_, done_}) {
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), TRUE);
    }
}

void Win32ReportWindow::ApplyLayout() {
    RECT client{};
    ::GetClientRect(window_, &client);
    view_.Resize(Size{client.right, client.bottom});
    const ClientLayout& layout = view_.Layout();
    const auto place = [](HWND child, const Rect& r) {
        ::MoveWindow(child, r.left, r.top, r.Width(), r.Height(), TRUE);
    };
    place(copyText_, layout.copyText);
    place(done_, layout.done);
    if (layout.scrollBarShown) {
        place(scrollBar_, layout.scrollBar);
        ShowScrollPosition();
    }
    ::ShowWindow(scrollBar_, layout.scrollBarShown ? SW_SHOWNA : SW_HIDE);
    ::InvalidateRect(window_, nullptr, FALSE);
}

void Win32ReportWindow::ShowScrollPosition() {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(0, view_.ReportHeight() - 1);
    info.nPage = static_cast<UINT>(view_.Layout().reportArea.Height());
    info.nPos = view_.ScrollPosition();
    ::SetScrollInfo(scrollBar_, SB_CTL, &info, TRUE);
}

void Win32ReportWindow::Scrolled(bool moved) {
    if (moved) {
        ShowScrollPosition();
        const Rect& area = view_.Layout().reportArea;
        const RECT dirty{area.left, area.top, area.right, area.bottom};
        ::InvalidateRect(window_, &dirty, FALSE);
    }
}

void Win32ReportWindow::Paint() {
    PaintDc dc(window_);
    RECT client{};
    ::GetClientRect(window_, &client);
    const Rect& area = view_.Layout().reportArea;
    // Below the report area: the buttons' strip (the children clip themselves out).
    FillBackground(dc.get(), RECT{0, area.bottom, client.right, client.bottom});
    FillBackground(dc.get(), RECT{area.right, 0, client.right, area.bottom});
    if (const auto* drawing = static_cast<const GdiSurface*>(view_.Drawing())) {
        drawing->CopyTo(dc.get(), area, view_.ScrollPosition());
        return;
    }
    RECT text{area.left, area.top, area.right, area.bottom};
    FillBackground(dc.get(), text);
    SelectGuard font(dc.get(), statusFont_.get());
    ::SetBkMode(dc.get(), TRANSPARENT);
    ::SetTextColor(dc.get(), ::GetSysColor(COLOR_BTNTEXT));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    for (const std::string& line : {view_.Status(), view_.Notice()}) {
        const std::wstring wide = Widen(line);
        ::DrawTextW(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &text,
                    DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        text.top += metrics.tmHeight;
    }
}

void Win32ReportWindow::MakeDefault(int id) {
    defaultId_ = id;
    ::SendMessageW(copyText_, BM_SETSTYLE, id == kCopyTextId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                   TRUE);
    ::SendMessageW(done_, BM_SETSTYLE, id == kDoneId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void Win32ReportWindow::OnCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if ((id == kCopyTextId || id == kDoneId) && code == BN_SETFOCUS) {
        lastFocus_ = id == kCopyTextId ? copyText_ : done_;
        MakeDefault(id);
    } else if (id == kCopyTextId && code == BN_CLICKED) {
        events_.CopyTextClicked(*this);
    } else if (id == kDoneId && code == BN_CLICKED) {
        events_.DoneClicked();
    } else if (id == IDCANCEL) {  // Esc, from the dialog keys
        events_.DoneClicked();
    }
}

void Win32ReportWindow::OnVerticalScroll(WPARAM wParam) {
    std::optional<ScrollAction> action;
    switch (LOWORD(wParam)) {
        case SB_LINEUP:
            action = ScrollAction::kLineUp;
            break;
        case SB_LINEDOWN:
            action = ScrollAction::kLineDown;
            break;
        case SB_PAGEUP:
            action = ScrollAction::kPageUp;
            break;
        case SB_PAGEDOWN:
            action = ScrollAction::kPageDown;
            break;
        case SB_TOP:
            action = ScrollAction::kTop;
            break;
        case SB_BOTTOM:
            action = ScrollAction::kBottom;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_TRACKPOS;
            ::GetScrollInfo(scrollBar_, SB_CTL, &info);
            Scrolled(view_.ScrollTo(info.nTrackPos));
            return;
        }
        default:
            return;
    }
    Scrolled(view_.Scroll(*action));
}

void Win32ReportWindow::OnDpiChanged(int dpi, const RECT& suggested) {
    view_.SetDpi(dpi);
    view_.SetScrollBarWidth(ScrollBarWidth(dpi));
    CreateFonts();
    if (const OffscreenSurface* drawing = view_.Drawing()) {
        view_.ReplaceDrawing(drawing->RedrawnAt(dpi));
    }
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                   suggested.right - suggested.left, suggested.bottom - suggested.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyLayout();
}

LRESULT Win32ReportWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            CreateChildren();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // painting fills what it does not copy
        case WM_PAINT:
            Paint();
            return 0;
        case WM_SIZE:
            ApplyLayout();
            return 0;
        case WM_GETMINMAXINFO: {
            const Size minimum = MinimumClientSize(view_.Dpi());
            const FrameInsets frame = FrameAt(view_.Dpi());
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = minimum.width + frame.left + frame.right;
            info->ptMinTrackSize.y = minimum.height + frame.top + frame.bottom;
            return 0;
        }
        case WM_SETFOCUS:
            ::SetFocus(lastFocus_ != nullptr ? lastFocus_ : copyText_);
            return 0;
        case WM_COMMAND:
            OnCommand(wParam);
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(defaultId_, DC_HASDEFID);
        case WM_VSCROLL:
            OnVerticalScroll(wParam);
            return 0;
        case WM_MOUSEWHEEL:
            Scrolled(view_.ScrollByWheel(GET_WHEEL_DELTA_WPARAM(wParam)));
            return 0;
        case kDpiChangedMessage:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case kRunNotifiedMessage:
            events_.RunNotified(*this);
            return 0;
        case WM_CLOSE:
            events_.DoneClicked();
            return 0;
        case WM_DESTROY: {
            const std::lock_guard lock(notifyTarget_->mutex);
            notifyTarget_->window = nullptr;
            UncountChildWindows(window_);
            g_mainWindow = nullptr;
            if (!ending_) {
                ::PostQuitMessage(0);  // destroyed by someone else: the program ends too
            }
            return 0;
        }
        default:
            return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT CALLBACK Win32ReportWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Win32ReportWindow*>(create->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        gui::CountUserObject(+1);
    } else if (message == WM_NCDESTROY) {
        gui::CountUserObject(-1);
    }
    auto* self = reinterpret_cast<Win32ReportWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || message == WM_NCCREATE || message == WM_NCDESTROY) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

// The keys the window handles itself, before the dialog keys (Tab, Enter, Space, Esc).
bool Win32ReportWindow::HandleKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || window_ == nullptr ||
        (message.hwnd != window_ && !::IsChild(window_, message.hwnd))) {
        return false;
    }
    switch (message.wParam) {
        case VK_F5:
            events_.RunAgainRequested(*this);
            return true;
        case VK_PRIOR:
            Scrolled(view_.Scroll(ScrollAction::kPageUp));
            return true;
        case VK_NEXT:
            Scrolled(view_.Scroll(ScrollAction::kPageDown));
            return true;
        case VK_HOME:
            Scrolled(view_.Scroll(ScrollAction::kTop));
            return true;
        case VK_END:
            Scrolled(view_.Scroll(ScrollAction::kBottom));
            return true;
        default:
            return false;
    }
}

void Win32ReportWindow::Dispatch(MSG& message) {
    if (HandleKey(message)) {
        return;
    }
    const HWND main = g_mainWindow;
    if (main != nullptr && ::IsDialogMessageW(main, &message)) {
        return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

int Win32ReportWindow::Run() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    (void)Dpis();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    if (::RegisterClassExW(&windowClass) == 0) {
        return 1;
    }

    // The monitor that holds the design position of the client area.
    const int systemDpi = SystemDpi();
    const POINT designCorner{TwipsToPixels(kDesignClientLeftTwips, systemDpi),
                             TwipsToPixels(kDesignClientTopTwips, systemDpi)};
    const HMONITOR monitor = ::MonitorFromPoint(designCorner, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO monitorInfo{};
    monitorInfo.cbSize = sizeof(monitorInfo);
    ::GetMonitorInfoW(monitor, &monitorInfo);
    const RECT& work = monitorInfo.rcWork;
    const Rect workArea{work.left, work.top, work.right, work.bottom};
    const int dpi = MonitorDpi(monitor);
    view_.SetDpi(dpi);
    view_.SetScrollBarWidth(ScrollBarWidth(dpi));
    const Rect opening = InitialWindowRect(workArea, FrameAt(dpi), dpi);

    ::CreateWindowExW(0, kWindowClass, L"Form1", kWindowStyle, opening.left, opening.top,
                      opening.Width(), opening.Height(), nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return 1;
    }
    g_mainWindow = window_;
    {
        const std::lock_guard lock(notifyTarget_->mutex);
        notifyTarget_->window = window_;
    }
    // Created on a monitor of another DPI than expected: lay it out for its own.
    if (const int actual = WindowDpi(window_); actual != dpi) {
        const Rect again = InitialWindowRect(workArea, FrameAt(actual), actual);
        OnDpiChanged(actual, RECT{again.left, again.top, again.right, again.bottom});
    }
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
    events_.Shown(*this);

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        Dispatch(message);
    }
    ending_ = true;
    if (window_ != nullptr && ::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
    window_ = nullptr;
    return 0;
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

std::unique_ptr<OffscreenSurface> CreateOffscreenSurface(double widthTwips, double heightTwips,
                                                         int dpi) {
    return std::make_unique<GdiSurface>(widthTwips, heightTwips, dpi > 0 ? dpi : SystemDpi());
}

int RunReportWindow(FormEvents& events) {
    Win32ReportWindow window(events);
    return window.Run();
}

void EndProgram() {
    if (const HWND main = g_mainWindow; main != nullptr) {
        ::ShowWindow(main, SW_HIDE);
        ::PostQuitMessage(0);
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

void MessageBox(std::string_view text) {
    if (detail::SendToMessageSink(text)) {
        return;
    }
    // Owned by the window only on the window's thread: a box from a run's worker leaves the
    // window enabled, so that it can still be closed.
    HWND owner = g_mainWindow;
    if (owner != nullptr && ::GetWindowThreadProcessId(owner, nullptr) != ::GetCurrentThreadId()) {
        owner = nullptr;
    }
    ::MessageBoxW(owner, Widen(text).c_str(), kProgramTitle,
                  MB_OK | (owner == nullptr ? MB_SETFOREGROUND : 0u));
}

}  // namespace platform::window
