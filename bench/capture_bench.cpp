// Prints what one browser capture step costs: on an address bar that is
// already known, when a newly foreground browser is listed, and on a browser
// that has stopped answering (while Wine still counts it as busy, and once it
// counts it as hung). It prints figures and decides nothing.
//
//   capture_bench --chrome chrome.exe [--steps N]
//
// chrome.exe is the capture tests' stand-in for Chrome (tests/history).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "chrome_standin.h"
#include "history/web_capture.h"
#include "remote_ui.h"

namespace {

using remote_ui::NowMs;
using remote_ui::PollUntil;

struct Figures {
    std::vector<double> ms;
    void Add(double value) { ms.push_back(value); }
    void Print(const wchar_t* what) {
        if (ms.empty()) return;
        std::sort(ms.begin(), ms.end());
        double sum = 0;
        for (double v : ms) sum += v;
        wchar_t line[256];
        std::swprintf(line, 256, L"  %-44ls %5zu steps  mean %8.2f ms  median %8.2f ms  max %8.2f ms", what,
                      ms.size(), sum / static_cast<double>(ms.size()), ms[ms.size() / 2], ms.back());
        remote_ui::Print(line);
        ms.clear();
    }
};

double TimedStep(CWebCapture& capture) {
    const double start = NowMs();
    capture.Step(false, true);
    return NowMs() - start;
}

bool Foreground(HWND window) {
    return PollUntil(
        [window] {
            ::SetForegroundWindow(window);
            return ::GetForegroundWindow() == window;
        },
        10000);
}

HWND FrameOf(DWORD pid) {
    HWND frame = nullptr;
    PollUntil(
        [&] {
            for (HWND window : remote_ui::TopLevelWindows(pid)) {
                if (remote_ui::ClassOf(window) == kFrameClass && ::IsWindowVisible(window)) frame = window;
            }
            return frame != nullptr;
        },
        20000);
    return frame;
}

int Run(const std::wstring& chromeExe, int steps) {
    remote_ui::Program chrome(chromeExe, L"www.youtube.com/watch?v=cdPlain0001");
    const HWND frame = FrameOf(chrome.Pid());
    HWND other = ::CreateWindowExW(0, L"Static", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                   100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!frame || !other) throw remote_ui::Failure("no stand-in window");

    CWebCapture capture;
    Figures figures;
    remote_ui::Print(L"Browser capture, one step (the timer runs one every 500 ms)");

    // A browser coming to the foreground: its descendants are listed.
    for (int i = 0; i < std::max(1, steps / 10); ++i) {
        Foreground(other);
        capture.Step(false, true);
        Foreground(frame);
        figures.Add(TimedStep(capture));
    }
    figures.Print(L"browser comes to the foreground (listing)");

    for (int i = 0; i < steps; ++i) figures.Add(TimedStep(capture));
    figures.Print(L"address bar known, address unchanged");

    // The browser stops answering.
    HANDLE hanging = ::OpenEventW(SYNCHRONIZE, FALSE, HangingEventName(chrome.Pid()).c_str());
    HANDLE release = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ReleaseEventName(chrome.Pid()).c_str());
    ::PostMessageW(frame, kHangMessage, 0, 0);
    if (!hanging || ::WaitForSingleObject(hanging, 10000) != WAIT_OBJECT_0)
        throw remote_ui::Failure("the stand-in did not hang");
    const double hungAt = NowMs();
    // Wine counts a window as hung once it has not read its messages for 5 s.
    while (NowMs() - hungAt < 4000) figures.Add(TimedStep(capture));
    figures.Print(L"browser not answering, first 4 s");
    PollUntil([&] { return NowMs() - hungAt > 6000; }, 10000);
    for (int i = 0; i < 10; ++i) figures.Add(TimedStep(capture));
    figures.Print(L"browser not answering, after 6 s");
    for (int i = 0; i < 3; ++i) {
        Foreground(other);
        capture.Step(false, true);
        Foreground(frame);
        figures.Add(TimedStep(capture));
    }
    figures.Print(L"not answering, back in the foreground");

    ::SetEvent(release);
    ::CloseHandle(hanging);
    ::CloseHandle(release);
    ::DestroyWindow(other);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring chrome;
    int steps = 200;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--chrome" && i + 1 < argc) {
            chrome = argv[++i];
        } else if (arg == L"--steps" && i + 1 < argc) {
            steps = std::max(10, _wtoi(argv[++i]));
        } else {
            std::fwprintf(stderr, L"usage: capture_bench --chrome chrome.exe [--steps N]\n");
            return 2;
        }
    }
    if (chrome.empty()) {
        std::fwprintf(stderr, L"usage: capture_bench --chrome chrome.exe [--steps N]\n");
        return 2;
    }
    try {
        return Run(chrome, steps);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "capture_bench: %s\n", e.what());
        return 1;
    }
}
