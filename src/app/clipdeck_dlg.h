#pragma once
// The main window: carries the control panel, owns the hidden monitor, adds
// the About and library entries to the system menu and, where the desktop
// composes glass frames, extends the frame into the client area. It is the
// window later starts of the program hand their command lines to.

#include <functional>
#include <string>
#include <vector>

#include "control/control_dlg.h"
#include "framework/dialog.h"
#include "monitor/monitor_dlg.h"

namespace launch {
class Launcher;
class SingleInstance;
}  // namespace launch

class CClipdeckDlg : public fw::Dialog {
public:
    static constexpr int kGlassLeft = 8;
    static constexpr int kGlassRight = 8;
    static constexpr int kGlassTop = 24;
    static constexpr int kGlassBottom = 5;
    static constexpr UINT_PTR kMonitorTimer = 1;
    static constexpr UINT kMonitorDelayMs = 50;

    // Posted by the launcher when its service listens or has failed.
    static constexpr UINT kMsgServiceSettled = WM_APP + 1;
    // Posted to itself for a command line handed over by a later start.
    static constexpr UINT kMsgHandedOver = WM_APP + 2;

    CClipdeckDlg();
    ~CClipdeckDlg() override;

    // What start-up set going, set before the window is made (none in
    // tests that make the window alone), and the video reference the
    // program was started with.
    void SetStartup(launch::Launcher* launcher, launch::SingleInstance* instance, std::wstring reference);

    bool DestroyWindow() override;

    CControlDlg& controlPanel() { return controlDlg; }
    // The monitor's window is made shortly after this one is first drawn;
    // asking for the monitor makes it at once.
    CMonitorDlg& monitor();
    bool glassOn() const { return compositionEnabled == 1; }

    // Test seam: answers the composition question in place of the desktop
    // window manager (empty function: ask the real one).
    using CompositionProbe = std::function<bool(int& enabled)>;
    static void SetCompositionProbe(CompositionProbe probe);

    static const wchar_t* MakerPageUrl();
    static void OpenMakerPage();
    // The library page of the service the feed host names.
    static std::wstring LibraryUrl();

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;

private:
    struct Margins {
        int left, right, top, bottom;
    };
    bool QueryComposition(int& flag);
    void ExtendGlass(HWND window, const Margins& margins);
    void paintMinimised();
    void onCompositionChanged();
    void makeMonitor();
    void onServiceSettled();
    void onHandedOver();
    void enableLibraryEntry(bool enabled);

    CMonitorDlg monitorDlg;
    CControlDlg controlDlg;
    int compositionEnabled = 0;
    Margins glassMargins{0, 0, 0, 0};
    HICON icon;
    launch::Launcher* launcher_ = nullptr;
    launch::SingleInstance* instance_ = nullptr;
    std::wstring startReference_;
    std::vector<std::vector<std::wstring>> handedOver_;
};
