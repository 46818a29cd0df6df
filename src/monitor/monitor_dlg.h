#pragma once
// The monitor: a hidden window whose read-only text box collects one line
// for every player call, reply, player event and answer.

#include <string>

#include "framework/dialog.h"

class CMonitorDlg : public fw::Dialog {
public:
    CMonitorDlg();
    ~CMonitorDlg() override;

    bool DestroyWindow() override;
    // Appends `text` (normally a line ending in "\r\n") at the end of the log,
    // dropping whole lines from the top when the text box would overflow.
    void AppendTrace(std::wstring text);

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnSize(UINT type, int width, int height) override;
    void OnDestroyed() override;
};

// The monitor while its window exists, else null.
extern CMonitorDlg* currentMonitor;

// Formats a trace line and appends it when the monitor exists.
void Trace(const wchar_t* format, ...);
