#include "app/app.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/clipdeck_dlg.h"
#include "control/settings.h"
#include "core/startup_marks.h"
#include "core/trace.h"
#include "framework/errors.h"
#include "launch/hand_over.h"
#include "launch/launcher.h"
#include "launch/link_scheme.h"
#include "launch/service_plan.h"
#include "launch/single_instance.h"
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

// "/unregister": removes the link registration, says so, and ends.
void unregisterLinks() {
    switch (launch::UnregisterLinkScheme()) {
    case launch::Unregistered::Removed:
        fw::ShowMessage(nullptr, L"The clipdeck: links no longer start Clipdeck.");
        return;
    case launch::Unregistered::NotRegistered:
        fw::ShowMessage(nullptr, L"The clipdeck: links were not registered.");
        return;
    case launch::Unregistered::Failed:
        fw::ShowMessage(nullptr, L"The clipdeck: link registration could not be removed.");
        return;
    }
}

// Another program holds this data folder: it gets the command line. Returns
// false when it has gone meanwhile and this start may go on after all.
bool handOver(launch::SingleInstance& instance, const std::wstring& folder,
              const std::vector<std::wstring>& arguments) {
    constexpr DWORD kHandOverWaitMs = 10000;
    switch (launch::HandOverArguments(folder, arguments, kHandOverWaitMs)) {
    case launch::HandOverResult::Delivered:
        return true;
    case launch::HandOverResult::NoWindow:
        if (instance.Claim(folder)) return false;
        [[fallthrough]];
    case launch::HandOverResult::NoAnswer:
        fw::ShowMessage(nullptr, L"Clipdeck is already running from " + folder + L" but does not answer.");
        return true;
    }
    return true;
}

// The hosts: from the variables, else from the settings file, else the
// program's own service.
launch::Launcher::Plan servicePlan(const CAppEnvironment& environment) {
    const ServiceSettings settings = LoadServiceSettings();
    const launch::HostChoice choice =
        launch::ChooseHosts({EnvironmentVariable(kFeedHostVariable), EnvironmentVariable(kPlayerHostVariable)},
                            {settings.feedHost, settings.playerHost});
    if (!choice.fromSettings.feed.empty()) {
        ::SetEnvironmentVariableW(kFeedHostVariable, choice.fromSettings.feed.c_str());
    }
    if (!choice.fromSettings.player.empty()) {
        ::SetEnvironmentVariableW(kPlayerHostVariable, choice.fromSettings.player.c_str());
    }
    launch::Launcher::Plan plan;
    plan.programPath = ModulePath();
    plan.dataFolder = environment.directory;
    plan.startService = choice.startService;
    plan.videosFolder = settings.videos;
    return plan;
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

    const std::vector<std::wstring> arguments = commandLineArguments();
    bool unregister = false;
    for (size_t i = 1; i < arguments.size(); ++i) unregister = unregister || launch::IsUnregisterSwitch(arguments[i]);
    launch::SingleInstance instance;
    if (unregister) {
        unregisterLinks();
    } else if (instance.Claim(appEnvironment->directory) ||
               !handOver(instance, appEnvironment->directory, arguments)) {
        launch::Launcher launcher;
        launcher.Start(servicePlan(*appEnvironment));
        StartupMark("launcher started");
        dialog.SetStartup(&launcher, &instance, launch::ReferenceFromArguments(arguments));
        dialog.DoModal(nullptr);
        launcher.Stop();
    }
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
