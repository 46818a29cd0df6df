#include "framework/window.h"

namespace fw {

bool PlatformMajor(DWORD& major) {
    static bool read = false;
    static bool ok = false;
    static DWORD value = 0;
    if (!read) {
        read = true;
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
        ok = ::GetVersionExW(&info) != FALSE;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
        value = info.dwMajorVersion;
    }
    major = value;
    return ok;
}

std::wstring Window::GetText() const {
    int length = ::GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(hwnd_, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

RECT Window::ClientRect() const {
    RECT r{};
    ::GetClientRect(hwnd_, &r);
    return r;
}

RECT Window::WindowRect() const {
    RECT r{};
    ::GetWindowRect(hwnd_, &r);
    return r;
}

int Window::Dpi() const {
    // GetDpiForWindow came with Windows 10; before it, a DPI-aware program
    // is drawn at the system's DPI, which its screen context reports.
    using DpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow && hwnd_) {
        if (const UINT dpi = dpiForWindow(hwnd_)) return static_cast<int>(dpi);
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void Window::ModifyStyle(LONG_PTR remove, LONG_PTR add) const {
    LONG_PTR style = Style();
    ::SetWindowLongPtrW(hwnd_, GWL_STYLE, (style & ~remove) | add);
}

}  // namespace fw
