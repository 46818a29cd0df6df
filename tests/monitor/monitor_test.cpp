// The monitor's log: registration as the trace sink, the close box, resizing
// and the caret. Trimming at the box's limit belongs to the edit wrapper.
#include <gtest/gtest.h>

#include "core/trace.h"
#include "monitor/monitor_dlg.h"
#include "res/resource.h"
#include "ui_test.h"

namespace {

std::wstring logText(CMonitorDlg& monitor) { return clipdeck::test::ItemText(monitor.hwnd(), IDE_MONITOR_LOG); }

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
