#pragma once
// The window layer's base: a non-owning holder of one HWND with the few
// operations the program's windows use.

#include <windows.h>

#include <string>

namespace fw {

// WM_CTLCOLORMSGBOX .. WM_CTLCOLORSTATIC: the colour requests of controls.
inline bool IsCtlColorMessage(UINT msg) { return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC; }

// The platform's major version as GetVersionEx reports it, read once; false
// when it cannot be read.
bool PlatformMajor(DWORD& major);

class Window {
public:
    Window() = default;
    explicit Window(HWND hwnd) : hwnd_(hwnd) {}
    virtual ~Window() = default;

    HWND hwnd() const { return hwnd_; }
    bool IsWindow() const { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }

    void Attach(HWND hwnd) { hwnd_ = hwnd; }

    std::wstring GetText() const;
    void SetText(const std::wstring& text) const { ::SetWindowTextW(hwnd_, text.c_str()); }

    void Show(int how) const { ::ShowWindow(hwnd_, how); }
    bool IsVisible() const { return ::IsWindowVisible(hwnd_) != FALSE; }

    void Move(int x, int y, int width, int height, bool repaint = true) const {
        ::MoveWindow(hwnd_, x, y, width, height, repaint ? TRUE : FALSE);
    }
    RECT ClientRect() const;
    RECT WindowRect() const;
    // The dots per inch the window is drawn at: 96 at 100 % scaling, 144 at
    // 150 %.
    int Dpi() const;

    LONG_PTR Style() const { return ::GetWindowLongPtrW(hwnd_, GWL_STYLE); }
    LONG_PTR ExStyle() const { return ::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE); }
    void ModifyStyle(LONG_PTR remove, LONG_PTR add) const;

    void SetTimer(UINT_PTR id, UINT periodMs) const { ::SetTimer(hwnd_, id, periodMs, nullptr); }
    void KillTimer(UINT_PTR id) const { ::KillTimer(hwnd_, id); }

    void Invalidate(bool erase = true) const { ::InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE); }
    void Update() const { ::UpdateWindow(hwnd_); }
    // Drawing off while a control changes a lot; switching it on repaints.
    void SetRedraw(bool on) const {
        Send(WM_SETREDRAW, on ? TRUE : FALSE);
        if (on) Invalidate();
    }
    void Redraw() const { ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW); }

    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(hwnd_, msg, wParam, lParam);
    }

protected:
    HWND hwnd_ = nullptr;
};

}  // namespace fw
