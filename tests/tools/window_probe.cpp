// kelvra_window_probe: tells an end-to-end test where the report window and its controls
// are, as the program put them, so that the test clicks what is there instead of computing
// design positions. It prints one line each, in screen pixels (left top right bottom):
//   window L T R B           the window, frame included
//   client L T R B           its client area
//   dpi N                    the window's dots per inch
//   control CLASS L T R B visible|hidden [scroll POS MAX PAGE] CAPTION
// (the scroll values are "?" when the window's thread does not answer within 3 seconds)
// and exits with 1 when no window of the class "KelvraReportWindow" with the caption
// "Form1" exists.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Narrow(const wchar_t* text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(narrow.find('\0'));
    return narrow;
}

void PrintRect(const char* label, const RECT& r) {
    std::printf("%s %ld %ld %ld %ld", label, r.left, r.top, r.right, r.bottom);
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    wchar_t className[64] = {};
    wchar_t caption[256] = {};
    ::GetClassNameW(control, className, 64);
    ::GetWindowTextW(control, caption, 256);
    RECT r{};
    ::GetWindowRect(control, &r);
    std::printf("control %s ", Narrow(className).c_str());
    PrintRect("", r);
    std::printf(" %s", ::IsWindowVisible(control) ? "visible" : "hidden");
    if (::lstrcmpiW(className, L"ScrollBar") == 0) {
        // Asked of the window's thread, which may be busy: never wait long.
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        DWORD_PTR answered = 0;
        if (::SendMessageTimeoutW(control, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(&info),
                                  SMTO_ABORTIFHUNG, 3000, &answered) != 0 &&
            answered != 0) {
            std::printf(" scroll %d %d %u", info.nPos, info.nMax, info.nPage);
        } else {
            std::printf(" scroll ? ? ?");
        }
    }
    std::printf(" %s\n", Narrow(caption).c_str());
    return TRUE;
}

}  // namespace

int main() {
    const HWND window = ::FindWindowW(L"KelvraReportWindow", L"Form1");
    if (window == nullptr) {
        std::printf("no window\n");
        return 1;
    }
    RECT outer{};
    ::GetWindowRect(window, &outer);
    PrintRect("window", outer);
    std::printf("\n");
    RECT client{};
    ::GetClientRect(window, &client);
    POINT corner{0, 0};
    ::ClientToScreen(window, &corner);
    ::OffsetRect(&client, corner.x, corner.y);
    PrintRect("client", client);
    std::printf("\n");
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    std::printf("dpi %u\n", getDpi != nullptr ? getDpi(window) : 0u);
    ::EnumChildWindows(window, PrintControl, 0);
    return 0;
}
