// Prints what a playing video costs: the player control, visible in a
// plain window, plays in real time for a while; the process's processor
// time over that stretch is printed as a share of one core.
//
//   playerctl_cpu_bench [seconds [host:port videoId [hold]]]
//
// Playing and then paused are measured for `seconds` each. Without a host an
// in-process responder serves a ten-minute video; `hold` keeps the window
// up that many seconds more, for a screenshot.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "http_responder.h"
#include "playerctl/player_control.h"
#include "playerctl/player_control_testing.h"

namespace {

std::vector<long> g_states;
HWND g_control = nullptr;

HRESULT CallFunction(const std::wstring& request) {
    playerctl::Invocation invocation;
    invocation.dispid = playerctl::kDispCallFunction;
    invocation.strArg = request.c_str();
    auto hr = static_cast<HRESULT>(
        SendMessageW(g_control, playerctl::kMsgInvoke, 0, reinterpret_cast<LPARAM>(&invocation)));
    SysFreeString(invocation.result);
    return hr;
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == playerctl::kMsgEvent) {
        const auto& e = *reinterpret_cast<const playerctl::Event*>(lParam);
        if (e.dispid == playerctl::kDispReadyStateChange && e.intArg == 4) {
            CallFunction(L"<invoke name=\"addEventListener\" returntype=\"xml\"><arguments>"
                         L"<string>onStateChange</string><string>onStateChangeHandler</string>"
                         L"</arguments></invoke>");
        }
        if (e.dispid == playerctl::kDispFlashCall) {
            std::wstring text = e.strArg;
            size_t at = text.find(L"<number>");
            if (text.find(L"onStateChangeHandler") != std::wstring::npos && at != std::wstring::npos)
                g_states.push_back(std::wcstol(text.c_str() + at + 8, nullptr, 10));
        }
        return 1;
    }
    if (msg == WM_SIZE) MoveWindow(g_control, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

double CpuSeconds() {
    FILETIME creation, exit, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

void PumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < ms; elapsed = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    std::wstring host, videoId = L"benchvideo1";
    std::unique_ptr<playerctl::test::HttpResponder> responder;
    if (argc > 3) {
        host.assign(argv[2], argv[2] + std::strlen(argv[2]));
        videoId.assign(argv[3], argv[3] + std::strlen(argv[3]));
    } else {
        responder = std::make_unique<playerctl::test::HttpResponder>([](const std::string& target) {
            if (target.rfind("/apiplayer", 0) == 0)
                return playerctl::test::HttpResponder::Response{200, "CLIPDECK-PLAYER 1\n"};
            return playerctl::test::HttpResponder::Response{
                200, "status=ok&title=Benchmark+%E3%83%99%E3%83%B3%E3%83%81&length_seconds=600"
                     "&fmt_list=medium&bytes_medium=30000000&color=2E8B57"};
        });
        host = L"127.0.0.1:" + std::to_wstring(responder->Port());
    }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    playerctl::RegisterControlClass(instance);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"PlayerctlBenchParent";
    RegisterClassExW(&wc);
    HWND parent = CreateWindowExW(0, wc.lpszClassName, L"playerctl bench", WS_OVERLAPPEDWINDOW, 40, 40,
                                  656, 408, nullptr, nullptr, instance, nullptr);
    g_control = CreateWindowExW(0, playerctl::kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 640, 360, parent,
                                reinterpret_cast<HMENU>(1000), instance, nullptr);
    ShowWindow(parent, SW_SHOW);

    playerctl::Invocation load;
    load.dispid = playerctl::kDispLoadMovie;
    std::wstring url = L"http://" + host + L"/apiplayer?enablejsapi=1&version=3";
    load.strArg = url.c_str();
    SendMessageW(g_control, playerctl::kMsgInvoke, 0, reinterpret_cast<LPARAM>(&load));
    PumpFor(1000);
    CallFunction(L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>" + videoId +
                 L"</string><number>0</number><string>default</string></arguments></invoke>");
    PumpFor(2000);  // buffering, then playing

    auto measure = [&](const char* what) {
        int repaintsBefore = playerctl::testing::RepaintRequests(g_control);
        double cpuBefore = CpuSeconds();
        DWORD start = GetTickCount();
        PumpFor(static_cast<DWORD>(seconds) * 1000);
        double wall = (GetTickCount() - start) / 1000.0;
        double cpu = CpuSeconds() - cpuBefore;
        int repaints = playerctl::testing::RepaintRequests(g_control) - repaintsBefore;
        std::printf("%s %.1f s: processor %.3f s = %.2f %% of one core, %d repaints (%.1f per second), "
                    "timer running: %s\n",
                    what, wall, cpu, 100.0 * cpu / wall, repaints, repaints / wall,
                    playerctl::testing::IsTimerRunning(g_control) ? "yes" : "no");
    };
    measure("playing");
    CallFunction(L"<invoke name=\"pauseVideo\"></invoke>");
    measure("paused ");
    CallFunction(L"<invoke name=\"playVideo\"></invoke>");
    PumpFor(500);

    std::printf("states:");
    for (long s : g_states) std::printf(" %ld", s);
    std::printf("\n");
    if (argc > 4) {
        // Leave the card on screen for a picture.
        PumpFor(static_cast<DWORD>(std::atoi(argv[4])) * 1000);
    }
    DestroyWindow(parent);
    return 0;
}
