// Owners for GDI objects and device contexts, and a guard that puts back what a
// SelectObject replaced. Every object they hold is counted (platform/gui_objects.h).
#pragma once

#include "platform/win32/windows_api.h"

#include "platform/gui_objects.h"
#include "platform/handle.h"

namespace platform::win32 {

struct GdiObjectTraits : gui::CountedGdi {
    using pointer = HGDIOBJ;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer object) noexcept {
        ::DeleteObject(object);
        gui::CountGdiObject(-1);
    }
};
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;

struct MemoryDcTraits : gui::CountedGdi {
    using pointer = HDC;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer dc) noexcept {
        ::DeleteDC(dc);
        gui::CountGdiObject(-1);
    }
};
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;

// Selects an object into a DC for the guard's lifetime.
class SelectGuard {
  public:
    SelectGuard(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (old_ != nullptr && old_ != HGDI_ERROR) {
            ::SelectObject(dc_, old_);
        }
    }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// A window DC from GetDC, released by ReleaseDC.
class WindowDc {
  public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {
        if (dc_ != nullptr) {
            gui::CountGdiObject(+1);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(window_, dc_);
            gui::CountGdiObject(-1);
        }
    }
    [[nodiscard]] HDC get() const noexcept { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// The DC of a WM_PAINT, from BeginPaint, ended by EndPaint.
class PaintDc {
  public:
    explicit PaintDc(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {
        if (dc_ != nullptr) {
            gui::CountGdiObject(+1);
        }
    }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() {
        if (dc_ != nullptr) {
            ::EndPaint(window_, &paint_);
            gui::CountGdiObject(-1);
        }
    }
    [[nodiscard]] HDC get() const noexcept { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

}  // namespace platform::win32
