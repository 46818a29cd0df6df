#include <windows.h>

#include "app/app.h"
#include "core/startup_marks.h"

CClipdeckApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    StartupMark("main entered");
    theApp.InitInstance();
    return 0;
}
