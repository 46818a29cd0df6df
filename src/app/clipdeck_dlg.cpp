#include "app/clipdeck_dlg.h"

#include <shellapi.h>

#include <string>

#include "app/about_dlg.h"
#include "core/environment.h"
#include "core/startup_marks.h"
#include "core/trace.h"
#include "framework/errors.h"
#include "launch/hand_over.h"
#include "launch/launcher.h"
#include "launch/service_plan.h"
#include "launch/single_instance.h"
#include "res/resource.h"
#include "videoinfo/feed_address.h"

namespace {

constexpr UINT kCompositionChanged = 0x031E;  // WM_DWMCOMPOSITIONCHANGED

CClipdeckDlg::CompositionProbe& compositionProbe() {
    static CClipdeckDlg::CompositionProbe probe;
    return probe;
}

// The desktop window manager is bound late, so the program starts where it
// is missing.
HMODULE dwmLibrary() {
    static HMODULE library = ::LoadLibraryW(L"dwmapi.dll");
    return library;
}

struct DwmMargins {
    int cxLeftWidth, cxRightWidth, cyTopHeight, cyBottomHeight;
};

}  // namespace

void CClipdeckDlg::SetCompositionProbe(CompositionProbe probe) { compositionProbe() = std::move(probe); }

const wchar_t* CClipdeckDlg::MakerPageUrl() { return L"https://www.fernhollow.example/clipdeck/"; }

void CClipdeckDlg::OpenMakerPage() {
    ::ShellExecuteW(nullptr, L"open", MakerPageUrl(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring CClipdeckDlg::LibraryUrl() {
    return launch::LibraryUrl(FeedHostFromSetting(EnvironmentVariable(kFeedHostVariable)));
}

void CClipdeckDlg::SetStartup(launch::Launcher* launcher, launch::SingleInstance* instance, std::wstring reference) {
    launcher_ = launcher;
    instance_ = instance;
    startReference_ = std::move(reference);
}

CClipdeckDlg::CClipdeckDlg()
    : fw::Dialog(IDD_CLIPDECK),
      icon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CLIPDECK))) {}

CClipdeckDlg::~CClipdeckDlg() = default;

bool CClipdeckDlg::OnInitDialog() {
    StartupMark("main dialog created");
    fw::Dialog::OnInitDialog();
    wchar_t about[256] = L"";
    ::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 256);
    HMENU systemMenu = ::GetSystemMenu(hwnd_, FALSE);
    if (systemMenu && about[0] != L'\0') {
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
    }
    wchar_t library[256] = L"";
    ::LoadStringW(::GetModuleHandleW(nullptr), IDS_LIBRARY, library, 256);
    if (systemMenu && library[0] != L'\0') ::AppendMenuW(systemMenu, MF_STRING, IDM_LIBRARY, library);
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    // The monitor's window is made once this one has been drawn (it is
    // hidden, and making it takes a tenth of the start-up); it keeps the
    // lines traced until then.
    SetTraceSink(&monitorDlg);
    monitorDlg.AppendTrace(L"START MONITOR\r\n");
    SetTimer(kMonitorTimer, kMonitorDelayMs);

    controlDlg.Create(hwnd_);
    controlDlg.Show(SW_SHOW);
    StartupMark("panel created");
    if (!startReference_.empty()) controlDlg.LoadReference(startReference_);
    if (launcher_) {
        // Its address is not known until the service listens.
        enableLibraryEntry(launcher_->state() != launch::Launcher::State::Starting &&
                           launcher_->state() != launch::Launcher::State::Failed);
        launcher_->NotifyWhenSettled(hwnd_, kMsgServiceSettled);
    }
    if (instance_) instance_->Publish(hwnd_);

    QueryComposition(compositionEnabled);
    glassMargins = {kGlassLeft, kGlassRight, kGlassTop, kGlassBottom};
    if (compositionEnabled == 1) ExtendGlass(hwnd_, glassMargins);
    Redraw();
    StartupMark("main dialog ready");
    return true;
}

bool CClipdeckDlg::DestroyWindow() {
    if (!hwnd_) return false;
    if (instance_) instance_->Publish(nullptr);
    if (launcher_) launcher_->NotifyWhenSettled(nullptr, 0);
    KillTimer(kMonitorTimer);
    controlDlg.DestroyWindow();
    monitorDlg.DestroyWindow();
    return fw::Dialog::DestroyWindow();
}

CMonitorDlg& CClipdeckDlg::monitor() {
    makeMonitor();
    return monitorDlg;
}

void CClipdeckDlg::makeMonitor() {
    if (monitorDlg.hwnd() || !hwnd_) return;
    KillTimer(kMonitorTimer);
    // The monitor has no parent window of its own; this window owns it.
    monitorDlg.Create(hwnd_);
    monitorDlg.Show(SW_HIDE);
    StartupMark("monitor created");
}

void CClipdeckDlg::OnTimer(UINT_PTR id) {
    if (id == kMonitorTimer) makeMonitor();
}

// Enter does not close the main window.
void CClipdeckDlg::OnOK() {}

bool CClipdeckDlg::OnNotify(int id, NMHDR* header, LRESULT& result) {
    switch (id) {
    case IDN_MAIN_MAKER:
        if (header->code == NM_CLICK || header->code == NM_RETURN) {
            OpenMakerPage();
            result = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool CClipdeckDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (fw::IsCtlColorMessage(msg)) {
        if (compositionEnabled != 1) return false;
        // With glass, everything is drawn on black so the frame shows through.
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        result = reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH));
        return true;
    }
    switch (msg) {
    case WM_SHOWWINDOW:
        if (wParam) StartupMark("main window shown");
        return false;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about;
            about.DoModal(hwnd_);
            return true;
        }
        if ((wParam & 0xFFF0) == IDM_LIBRARY) {
            ::ShellExecuteW(hwnd_, L"open", LibraryUrl().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            return true;
        }
        return false;
    case WM_COPYDATA: {
        // A later start's command line: taken now, acted on once the
        // sender has its answer (loading may ask the user something).
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data || data->dwData != launch::kHandOverTag) return false;
        handedOver_.push_back(launch::DecodeArguments(
            std::wstring_view(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t))));
        ::PostMessageW(hwnd_, kMsgHandedOver, 0, 0);
        result = TRUE;
        return true;
    }
    case kMsgHandedOver:
        onHandedOver();
        return true;
    case kMsgServiceSettled:
        onServiceSettled();
        return true;
    case WM_PAINT:
        if (!::IsIconic(hwnd_)) return false;
        paintMinimised();
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(icon);
        return true;
    case kCompositionChanged:
        onCompositionChanged();
        return false;
    case WM_LBUTTONDOWN:
        if (compositionEnabled == 1) Send(WM_NCLBUTTONDOWN, HTCAPTION, lParam);
        return false;
    case WM_ENDSESSION:
        // The session ends: save everything as a normal close would.
        if (wParam) DestroyWindow();
        return false;
    default:
        return false;
    }
}

void CClipdeckDlg::enableLibraryEntry(bool enabled) {
    if (HMENU systemMenu = ::GetSystemMenu(hwnd_, FALSE)) {
        ::EnableMenuItem(systemMenu, IDM_LIBRARY, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
}

void CClipdeckDlg::onServiceSettled() {
    if (!launcher_) return;
    // Without its service the program has no library to show.
    const bool failed = launcher_->state() == launch::Launcher::State::Failed;
    enableLibraryEntry(!failed);
    if (!failed) return;
    fw::ShowMessage(hwnd_, L"Clipdeck could not start its video service, so videos cannot be played.\r\n\r\n" +
                               launcher_->failure());
}

void CClipdeckDlg::onHandedOver() {
    std::vector<std::vector<std::wstring>> commandLines = std::move(handedOver_);
    handedOver_.clear();
    if (::IsIconic(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
    ::SetForegroundWindow(hwnd_);
    // Several starts in a row: the last one's video is the one wanted.
    std::wstring reference;
    for (const std::vector<std::wstring>& arguments : commandLines) {
        if (std::wstring given = launch::ReferenceFromArguments(arguments); !given.empty()) reference = given;
    }
    if (!reference.empty()) controlDlg.LoadReference(reference);
}

void CClipdeckDlg::paintMinimised() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT r = ClientRect();
    int x = (r.right - r.left - cxIcon + 1) / 2;
    int y = (r.bottom - r.top - cyIcon + 1) / 2;
    ::DrawIcon(dc, x, y, icon);
    ::EndPaint(hwnd_, &ps);
}

void CClipdeckDlg::onCompositionChanged() {
    QueryComposition(compositionEnabled);
    if (compositionEnabled == 1) ExtendGlass(hwnd_, glassMargins);
    Redraw();
}

bool CClipdeckDlg::QueryComposition(int& flag) {
    if (compositionProbe()) return compositionProbe()(flag);
    DWORD major = 0;
    if (!fw::PlatformMajor(major) || major <= 5) {
        flag = 0;
        return false;
    }
    using IsEnabledFn = HRESULT(WINAPI*)(BOOL*);
    auto isEnabled = dwmLibrary() ? reinterpret_cast<IsEnabledFn>(
                                        reinterpret_cast<void*>(::GetProcAddress(dwmLibrary(), "DwmIsCompositionEnabled")))
                                  : nullptr;
    BOOL enabled = FALSE;
    if (!isEnabled || FAILED(isEnabled(&enabled))) {
        flag = 0;
        return false;
    }
    flag = enabled ? 1 : 0;
    return true;
}

void CClipdeckDlg::ExtendGlass(HWND window, const Margins& margins) {
    DWORD major = 0;
    if (!fw::PlatformMajor(major) || major <= 5 || !dwmLibrary()) return;
    using ExtendFn = HRESULT(WINAPI*)(HWND, const DwmMargins*);
    auto extend = reinterpret_cast<ExtendFn>(
        reinterpret_cast<void*>(::GetProcAddress(dwmLibrary(), "DwmExtendFrameIntoClientArea")));
    if (!extend) return;
    DwmMargins m{margins.left, margins.right, margins.top, margins.bottom};
    extend(window, &m);
}
