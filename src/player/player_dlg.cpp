#include "player/player_dlg.h"

#include "core/host_wait.h"
#include "core/trace.h"
#include "framework/errors.h"
#include "playerctl/player_control.h"
#include "res/resource.h"

CPlayerDlg::CPlayerDlg() : fw::Dialog(IDD_PLAYER) {}

CPlayerDlg::~CPlayerDlg() = default;

void CPlayerDlg::DoDataExchange(fw::DataExchange& dx) { dx.Control(IDC_PLAYER_FLASH, flash_); }

bool CPlayerDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    // Centre on the work area of the screen.
    RECT r = WindowRect();
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    ::SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    bridge_.setControl(&flash_);
    SetTimer(kLoadTimer, kLoadPeriodMs);
    return true;
}

bool CPlayerDlg::DestroyWindow() {
    if (hwnd_) KillTimer(kLoadTimer);
    return fw::Dialog::DestroyWindow();
}

void CPlayerDlg::OnTimer(UINT_PTR id) {
    switch (id) {
    case kLoadTimer:
        if (!flash_.IsWindow()) return;
        // The program's own service is still starting: its port is not
        // known yet.
        if (HostsPending()) return;
        try {
            bridge_.loadPlayerMovie();
        } catch (const fw::DispatchError& e) {
            // A refused load is tried again at the next tick; reporting it
            // every 100 ms would bury the user in message boxes.
            StdTrace(L"LoadMovie failed: %hs\n", e.what());
            return;
        }
        KillTimer(kLoadTimer);
        return;
    default:
        return;
    }
}

void CPlayerDlg::OnSize(UINT, int, int) {
    if (!flash_.IsWindow()) return;
    RECT r = ClientRect();
    flash_.Move(r.left, r.top, r.right - r.left, r.bottom - r.top, true);
}

bool CPlayerDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_LBUTTONDOWN:
        // Pressing anywhere, the video included, drags the window.
        Send(WM_NCLBUTTONDOWN, HTCAPTION, 0);
        return false;
    case playerctl::kMsgEvent: {
        const auto* event = reinterpret_cast<const playerctl::Event*>(lParam);
        switch (event->dispid) {
        case playerctl::kDispFlashCall:
            bridge_.FlashCall(event->strArg ? event->strArg : L"");
            break;
        case playerctl::kDispReadyStateChange:
            bridge_.OnReadySateChange(event->intArg);
            break;
        default:
            return false;
        }
        result = 1;
        return true;
    }
    default:
        return false;
    }
}

// Neither Esc nor Enter closes the player window.
void CPlayerDlg::OnCancel() {}
void CPlayerDlg::OnOK() {}

void CPlayerDlg::changeFrame(bool on) {
    bool hasFrame = (Style() & WS_THICKFRAME) != 0;
    if (hasFrame == on) return;
    StdTrace(on ? L"frame ON\n" : L"frame OFF\n");
    if (on) {
        ModifyStyle(0, WS_THICKFRAME);
    } else {
        ModifyStyle(WS_THICKFRAME, 0);
    }
    RECT r = ClientRect();
    ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    ::AdjustWindowRectEx(&r, static_cast<DWORD>(Style()), FALSE,
                         static_cast<DWORD>(ExStyle() & ~WS_EX_CLIENTEDGE));
    // SWP_FRAMECHANGED makes the new border take effect with the move.
    ::SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CPlayerDlg::frameOn() { changeFrame(true); }
void CPlayerDlg::frameOff() { changeFrame(false); }

void CPlayerDlg::setTopMost(bool topMost) {
    ::SetWindowPos(hwnd_, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void CPlayerDlg::setAspect(int a, int b) {
    RECT client = ClientRect();
    int w = client.right - client.left;
    int h = client.bottom - client.top;
    int t = (h * a) / b;
    int d = (t - w) / 2;
    RECT r = WindowRect();
    Move(r.left - d, r.top, (r.right + d) - (r.left - d), r.bottom - r.top, true);
}
