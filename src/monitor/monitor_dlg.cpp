#include "monitor/monitor_dlg.h"

#include "res/resource.h"

CMonitorDlg::CMonitorDlg() : fw::Dialog(IDD_MONITOR) {}

CMonitorDlg::~CMonitorDlg() {
    if (CurrentTraceSink() == this) SetTraceSink(nullptr);
}

bool CMonitorDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    HWND log = Item(IDE_MONITOR_LOG);
    ::SendMessageW(log, EM_SETSEL, 0, 0);
    ::SendMessageW(log, EM_SCROLLCARET, 0, 0);
    return true;
}

bool CMonitorDlg::DestroyWindow() {
    if (CurrentTraceSink() == this) SetTraceSink(nullptr);
    return fw::Dialog::DestroyWindow();
}

// The log window is only hidden by its close box; it lives as long as the
// main window.
void CMonitorDlg::OnCancel() { Show(SW_HIDE); }

bool CMonitorDlg::OnCommand(int id, int code, HWND) {
    switch (id) {
    case IDE_MONITOR_LOG:
        if (code == EN_SETFOCUS) {
            HWND log = Item(IDE_MONITOR_LOG);
            LRESULT length = ::GetWindowTextLengthW(log);
            ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(length), length);
            ::SendMessageW(log, EM_SCROLLCARET, 0, 0);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CMonitorDlg::OnSize(UINT, int, int) {
    HWND log = Item(IDE_MONITOR_LOG);
    if (!log) return;
    RECT r = ClientRect();
    ::MoveWindow(log, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void CMonitorDlg::AppendTrace(std::wstring text) {
    HWND log = Item(IDE_MONITOR_LOG);
    if (!log) return;
    const LRESULT limit = ::SendMessageW(log, EM_GETLIMITTEXT, 0, 0);
    LRESULT length = ::GetWindowTextLengthW(log);
    const LRESULT incoming = static_cast<LRESULT>(text.size());
    if (length + incoming > limit) {
        ::SendMessageW(log, WM_SETREDRAW, FALSE, 0);
        LRESULT excess = length + incoming - limit;
        if (excess < 0) excess = 0;
        LRESULT line = ::SendMessageW(log, EM_LINEFROMCHAR, static_cast<WPARAM>(excess), 0);
        LRESULT cut = ::SendMessageW(log, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
        if (cut < excess) {
            cut = ::SendMessageW(log, EM_LINEINDEX, static_cast<WPARAM>(line + 1), 0);
            // No next line: everything goes.
            if (cut < 0) cut = length;
        }
        ::SendMessageW(log, EM_SETSEL, 0, cut);
        ::SendMessageW(log, EM_SCROLLCARET, 0, 0);
        ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
        length = ::GetWindowTextLengthW(log);
        ::SendMessageW(log, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(log, nullptr, TRUE);
    }
    // EM_SETSEL(-1, -1) leaves the caret where it is; select the end instead.
    ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(length), length);
    ::SendMessageW(log, EM_SCROLLCARET, 0, 0);
    ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}
