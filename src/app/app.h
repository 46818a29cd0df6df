#pragma once
// Process start-up: the application object, the command line and the debug
// console.

#include <windows.h>

#include "core/environment.h"

class CClipdeckDlg;

class CClipdeckApp {
public:
    CClipdeckApp();
    ~CClipdeckApp();
    // Runs the whole program: the main dialog, modally. Always false: there
    // is no message loop after it.
    bool InitInstance();
};

extern CClipdeckApp theApp;

// The main dialog while it runs, for the console handler.
extern CClipdeckDlg* mainWindow;

// Reads the command line: debug switch and console, program folder as the
// working directory. Returns 1.
int ParseCommandLine(CAppEnvironment& environment, CClipdeckDlg* mainDialog);

// Console control handler of the debug console.
BOOL WINAPI OnConsoleCtrl(DWORD eventCode);

// The program's own path, as the module file name reports it.
std::wstring ModulePath();
