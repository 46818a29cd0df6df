#include "monitor/monitor_dlg.h"

#include "framework/controls.h"
#include "res/resource.h"

CMonitorDlg::CMonitorDlg() : fw::Dialog(IDD_MONITOR) {}

CMonitorDlg::~CMonitorDlg() {
    if (CurrentTraceSink() == this) SetTraceSink(nullptr);
}

bool CMonitorDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    if (!pending_.empty()) {
        AppendTrace(std::move(pending_));
        pending_.clear();
    }
    SendItem(IDE_MONITOR_LOG, EM_SETSEL, 0, 0);
    SendItem(IDE_MONITOR_LOG, EM_SCROLLCARET);
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
            const LRESULT length = ::GetWindowTextLengthW(Item(IDE_MONITOR_LOG));
            SendItem(IDE_MONITOR_LOG, EM_SETSEL, static_cast<WPARAM>(length), length);
            SendItem(IDE_MONITOR_LOG, EM_SCROLLCARET);
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
    if (!Item(IDE_MONITOR_LOG)) {
        pending_ += text;
        if (pending_.size() > kMaxPending) {
            size_t cut = pending_.find(L'\n', pending_.size() - kMaxPending);
            pending_.erase(0, cut == std::wstring::npos ? pending_.size() : cut + 1);
        }
        return;
    }
    fw::Edit log;
    log.Attach(Item(IDE_MONITOR_LOG));
    log.AppendAndTrim(text);
}
