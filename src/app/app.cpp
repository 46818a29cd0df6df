#include "app/app.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/clipdeck_dlg.h"
#include "core/startup_marks.h"
#include "core/trace.h"
#include "playerctl/player_control.h"

CClipdeckDlg* mainWindow = nullptr;

namespace {

// The C runtime has split the command line before the program starts; taking
// its words spares loading the shell library at start for CommandLineToArgvW.
std::vector<std::wstring> commandLineArguments() {
    std::vector<std::wstring> arguments;
    if (!__wargv) return arguments;
    for (int i = 0; i < __argc; ++i) arguments.emplace_back(__wargv[i]);
    return arguments;
}

// Everything after the program name, to restart with the same switches.
std::wstring restartArguments() {
    std::vector<std::wstring> arguments = commandLineArguments();
    std::wstring line;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (!line.empty()) line += L' ';
        line += arguments[i];
    }
    return line;
}

}  // namespace

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

CClipdeckApp::CClipdeckApp() = default;
CClipdeckApp::~CClipdeckApp() = default;

bool CClipdeckApp::InitInstance() {
    INITCOMMONCONTROLSEX icc{8, 0xFF};
    ::InitCommonControlsEx(&icc);
    // The player window's template holds the player control.
    playerctl::RegisterControlClass(::GetModuleHandleW(nullptr));
    // Restart only: no autosave, no recovery.
    ::RegisterApplicationRestart(restartArguments().c_str(), 0);
    StartupMark("controls registered");

    CClipdeckDlg dialog;
    ::AppEnvironment();
    ParseCommandLine(*appEnvironment, &dialog);
    StartupMark("command line read");
    dialog.DoModal(nullptr);
    mainWindow = nullptr;
    ReleaseAppEnvironment();
    return false;
}

int ParseCommandLine(CAppEnvironment& environment, CClipdeckDlg* mainDialog) {
    mainWindow = mainDialog;
    std::vector<std::wstring> arguments = commandLineArguments();
    for (const std::wstring& argument : arguments) {
        if (IsDebugSwitch(argument)) {
            environment.debugMode = 1;
            StdTrace(L"DEBUGMODE ON\n");
        }
    }
    if (environment.debugMode == 1) {
        ::AllocConsole();
        FILE* stream = nullptr;
        stream = _wfreopen(L"CONOUT$", L"w", stdout);
        stream = _wfreopen(L"CONIN$", L"r", stdin);
        (void)stream;
        ::SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    } else {
        FILE* stream = nullptr;
        stream = _wfreopen(L"NUL", L"w", stdout);
        stream = _wfreopen(L"NUL", L"r", stdin);
        (void)stream;
    }
    StdTrace(L"********** Start DEBUG MODE  *******\n");
    StdTrace(L"PORTABLE VERSION START\n");
    // The folder comes from the module's own path: under some launchers the
    // first argument holds no folder, and the data files would land in the
    // root of a drive.
    environment.directory = FolderOf(ModulePath());
    if (!environment.directory.empty()) ::SetCurrentDirectoryW(environment.directory.c_str());
    StdTrace(L"CurrentDir=%ls\n", environment.directory.c_str());
    return 1;
}

BOOL WINAPI OnConsoleCtrl(DWORD eventCode) {
    if (eventCode == CTRL_SHUTDOWN_EVENT && mainWindow && mainWindow->hwnd()) {
        ::SendMessageW(mainWindow->hwnd(), WM_CLOSE, 0, 0);
    }
    return TRUE;
}
