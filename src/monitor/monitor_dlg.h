#pragma once
// The monitor: a hidden window whose read-only text box collects one line
// for every player call, reply, player event and answer.

#include <string>

#include "core/trace.h"
#include "framework/dialog.h"

// The program registers the monitor as the trace sink while its window
// exists (SetTraceSink).
class CMonitorDlg : public fw::Dialog, public TraceSink {
public:
    CMonitorDlg();
    ~CMonitorDlg() override;

    bool DestroyWindow() override;
    // Appends `text` (normally a line ending in "\r\n") at the end of the log,
    // dropping whole lines from the top when the text box would overflow.
    void AppendTrace(std::wstring text) override;

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnSize(UINT type, int width, int height) override;
};
