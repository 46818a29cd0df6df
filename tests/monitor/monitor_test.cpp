// The monitor's log: registration as the trace sink, trimming whole lines at
// the text box's limit, resizing and the caret.
#include <gtest/gtest.h>

#include "core/trace.h"
#include "monitor/monitor_dlg.h"
#include "res/resource.h"
#include "ui_test.h"

namespace {

std::wstring logText(CMonitorDlg& monitor) { return clipdeck::test::ItemText(monitor.hwnd(), IDE_MONITOR_LOG); }

LRESULT limitOf(CMonitorDlg& monitor) {
    return ::SendDlgItemMessageW(monitor.hwnd(), IDE_MONITOR_LOG, EM_GETLIMITTEXT, 0, 0);
}

// Fills the log to exactly `total` characters with lines of `lineLength`
// characters ("\r\n" included), the last line taking the remainder.
void fillTo(CMonitorDlg& monitor, LRESULT total, size_t lineLength, wchar_t first = L'a') {
    std::wstring text;
    wchar_t mark = first;
    while (static_cast<LRESULT>(text.size()) < total) {
        size_t left = static_cast<size_t>(total) - text.size();
        size_t n = left < lineLength ? left : lineLength;
        std::wstring line(n >= 2 ? n - 2 : n, mark);
        if (n >= 2) line += L"\r\n";
        text += line;
        mark = mark == L'z' ? L'a' : static_cast<wchar_t>(mark + 1);
    }
    ::SetDlgItemTextW(monitor.hwnd(), IDE_MONITOR_LOG, text.c_str());
}

}  // namespace

TEST(MonitorLifecycle, TracesReachTheMonitorOnlyWhileItIsTheRegisteredSink) {
    ASSERT_EQ(CurrentTraceSink(), nullptr);
    Trace(L"dropped %d\r\n", 1);  // no sink: nothing happens
    CMonitorDlg monitor;
    ASSERT_TRUE(monitor.Create(nullptr));
    EXPECT_FALSE(monitor.IsVisible());
    Trace(L"before registration\r\n");
    SetTraceSink(&monitor);
    Trace(L"CallFunction():%ls\r\n", L"<invoke name=\"playVideo\"></invoke>");
    Trace(L"OnReadySateChange():%ld\r\n", 4L);
    Trace(L"no line break ");
    Trace(L"continues\r\n");
    EXPECT_EQ(logText(monitor),
              L"CallFunction():<invoke name=\"playVideo\"></invoke>\r\nOnReadySateChange():4\r\n"
              L"no line break continues\r\n");
    monitor.DestroyWindow();
    EXPECT_EQ(CurrentTraceSink(), nullptr);
    Trace(L"after %d\r\n", 2);
}

TEST(MonitorWindow, TheCloseBoxHidesItAndTheLogLivesOn) {
    CMonitorDlg monitor;
    ASSERT_TRUE(monitor.Create(nullptr));
    SetTraceSink(&monitor);
    monitor.Show(SW_SHOW);
    ::SendMessageW(monitor.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    clipdeck::test::PumpMessages();
    ASSERT_TRUE(monitor.IsWindow());
    EXPECT_FALSE(monitor.IsVisible());
    Trace(L"still here\r\n");
    EXPECT_EQ(logText(monitor), L"still here\r\n");
    monitor.DestroyWindow();
}

TEST(MonitorLog, LongTraceLinesAreKeptWhole) {
    CMonitorDlg monitor;
    ASSERT_TRUE(monitor.Create(nullptr));
    SetTraceSink(&monitor);
    std::wstring request(3000, L'x');
    Trace(L"CallFunction():%ls\r\n", request.c_str());
    EXPECT_EQ(logText(monitor), L"CallFunction():" + request + L"\r\n");
    monitor.DestroyWindow();
}

TEST(MonitorLog, AtTheLimitOneMoreLineDropsOnlyTheFirstLine) {
    CMonitorDlg monitor;
    ASSERT_TRUE(monitor.Create(nullptr));
    const LRESULT limit = limitOf(monitor);
    ASSERT_GT(limit, 1000);
    fillTo(monitor, limit, 50);
    ASSERT_EQ(static_cast<LRESULT>(logText(monitor).size()), limit);
    std::wstring before = logText(monitor);
    const std::wstring line = std::wstring(28, L'#') + L"\r\n";  // 30 characters
    monitor.AppendTrace(line);
    std::wstring after = logText(monitor);
    EXPECT_EQ(after, before.substr(50) + line);
    monitor.DestroyWindow();
}

TEST(MonitorLog, ShortFirstLinesGoTogetherUntilTheNewLineFits) {
    CMonitorDlg monitor;
    ASSERT_TRUE(monitor.Create(nullptr));
    const LRESULT limit = limitOf(monitor);
    fillTo(monitor, limit, 12);
    std::wstring before = logText(monitor);
    monitor.AppendTrace(std::wstring(28, L'#') + L"\r\n");
    // 30 characters need three 12-character lines to go, no more.
    EXPECT_EQ(logText(monitor), before.substr(36) + std::wstring(28, L'#') + L"\r\n");
    EXPECT_LE(static_cast<LRESULT>(logText(monitor).size()), limit);
    monitor.DestroyWindow();
}

TEST(MonitorLog, ATextLongerThanTheLimitEmptiesTheLog) {
    CMonitorDlg monitor;
    ASSERT_TRUE(monitor.Create(nullptr));
    const LRESULT limit = limitOf(monitor);
    monitor.AppendTrace(L"old line\r\n");
    monitor.AppendTrace(std::wstring(static_cast<size_t>(limit) + 10, L'z'));
    std::wstring text = logText(monitor);
    EXPECT_EQ(text.find(L"old line"), std::wstring::npos);
    EXPECT_LE(static_cast<LRESULT>(text.size()), limit);
    monitor.DestroyWindow();
}

TEST(MonitorWindow, TheLogFollowsTheWindowSizeAndTheCaretGoesToTheEndOnFocus) {
    CMonitorDlg monitor;
    ASSERT_TRUE(monitor.Create(nullptr));
    monitor.Move(10, 10, 500, 300);
    RECT client = monitor.ClientRect();
    RECT log{};
    ::GetWindowRect(monitor.Item(IDE_MONITOR_LOG), &log);
    EXPECT_EQ(log.right - log.left, client.right);
    EXPECT_EQ(log.bottom - log.top, client.bottom);

    monitor.AppendTrace(L"first\r\nsecond\r\n");
    HWND edit = monitor.Item(IDE_MONITOR_LOG);
    ::SendMessageW(edit, EM_SETSEL, 0, 0);
    ::SendMessageW(monitor.hwnd(), WM_COMMAND, MAKEWPARAM(IDE_MONITOR_LOG, EN_SETFOCUS),
                   reinterpret_cast<LPARAM>(edit));
    DWORD start = 0, end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 15u);
    EXPECT_EQ(end, 15u);
    monitor.DestroyWindow();
}
