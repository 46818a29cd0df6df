#pragma once
// The monitor: a hidden window whose read-only text box collects one line
// for every player call, reply, player event and answer.

#include <string>

#include "core/trace.h"
#include "framework/dialog.h"

// The program registers the monitor as the trace sink (SetTraceSink). Lines
// that arrive before its window is made are kept and go into the log when
// it is.
class CMonitorDlg : public fw::Dialog, public TraceSink {
public:
    CMonitorDlg();
    ~CMonitorDlg() override;

    bool DestroyWindow() override;
    // Appends `text` (normally a line ending in "\r\n") at the end of the log,
    // dropping whole lines from the top when the text box would overflow.
    void AppendTrace(std::wstring text) override;

    // What is kept for a window still to be made, at most about this many
    // characters (whole lines are dropped from the top beyond it).
    static constexpr size_t kMaxPending = 64 * 1024;

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnSize(UINT type, int width, int height) override;

private:
    std::wstring pending_;
};
