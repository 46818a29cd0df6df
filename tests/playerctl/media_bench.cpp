// Prints what playing a real clip costs the player component: the time from
// the load call to the first decoded frame, processor time and working set
// while it plays in real time, and the time from a seek to the first frame
// after it. It prints figures and decides nothing.
//
//   playerctl_media_bench host:port videoId level [seconds]
//
// The control sits in a window of the video's size; level is the quality
// asked for (medium for 640x360, hd720 for 1280x720). Processor time is
// measured over `seconds` (default 20) of playing, so the clip must be longer
// than that plus a second or two. Run one level per process: the peak
// working set is the process's.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "playerctl/player_control.h"
#include "playerctl/player_control_testing.h"

namespace {

std::vector<long> g_states;
HWND g_control = nullptr;
bool g_ready = false;

std::wstring Wide(const char* text) { return std::wstring(text, text + std::strlen(text)); }

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
            g_ready = true;
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

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double CpuSeconds() {
    FILETIME creation, exit, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// Pumps messages until `done` or `limitMs`; returns whether `done` held.
// A new frame arrives with a message to the control, so `done` is looked at
// after each batch of messages; the wait itself is long, or the benchmark
// would measure its own polling.
template <typename Done>
bool PumpUntil(Done done, double limitMs) {
    const double end = NowMs() + limitMs;
    while (!done()) {
        const double left = end - NowMs();
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(left, 100.0)) + 1, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

playerctl::testing::FrameStats Frames() {
    return playerctl::testing::Frames(g_control).value_or(playerctl::testing::FrameStats{});
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: playerctl_media_bench host:port videoId level [seconds]\n");
        return 2;
    }
    const std::wstring host = Wide(argv[1]), videoId = Wide(argv[2]), level = Wide(argv[3]);
    const int seconds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 20;
    const int width = level == L"hd720" ? 1280 : 640, height = level == L"hd720" ? 720 : 360;

    HINSTANCE instance = GetModuleHandleW(nullptr);
    playerctl::RegisterControlClass(instance);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"PlayerctlMediaBenchParent";
    RegisterClassExW(&wc);
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND parent = CreateWindowExW(0, wc.lpszClassName, L"playerctl media bench", WS_OVERLAPPEDWINDOW, 0, 0,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                  nullptr);
    g_control = CreateWindowExW(0, playerctl::kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, height, parent,
                                reinterpret_cast<HMENU>(1000), instance, nullptr);
    ShowWindow(parent, SW_SHOW);

    playerctl::Invocation load;
    load.dispid = playerctl::kDispLoadMovie;
    const std::wstring url = L"http://" + host + L"/apiplayer?enablejsapi=1&version=3";
    load.strArg = url.c_str();
    SendMessageW(g_control, playerctl::kMsgInvoke, 0, reinterpret_cast<LPARAM>(&load));
    if (!PumpUntil([] { return g_ready; }, 20000)) {
        std::printf("the player did not load from %ls\n", host.c_str());
        return 1;
    }

    const double loadAt = NowMs();
    CallFunction(L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>" + videoId +
                 L"</string><number>0</number><string>" + level + L"</string></arguments></invoke>");
    if (!PumpUntil([] { return Frames().frames > 0; }, 20000)) {
        std::printf("no frame within 20 s\n");
        return 1;
    }
    const double firstFrameMs = NowMs() - loadAt;
    const playerctl::testing::FrameStats size = Frames();
    PumpUntil([] { return !g_states.empty() && g_states.back() == 1; }, 10000);
    PumpUntil([] { return false; }, 1000);

    const int framesBefore = Frames().frames;
    const double cpuBefore = CpuSeconds(), wallBefore = NowMs();
    PumpUntil([] { return false; }, seconds * 1000.0);
    const double wall = (NowMs() - wallBefore) / 1000.0, cpu = CpuSeconds() - cpuBefore;
    const int frames = Frames().frames - framesBefore;

    // Seeks while playing, back and forth; a seek counts as done at the first
    // frame taken at or after its target (H.264 lands on the next key frame).
    const double targets[] = {5, 15, 3, 12, 8, 18, 1};
    std::vector<double> seekMs;
    for (double target : targets) {
        const int framesAtSeek = Frames().frames;
        const double at = NowMs();
        CallFunction(L"<invoke name=\"seekTo\" returntype=\"xml\"><arguments><number>" +
                     std::to_wstring(static_cast<int>(target)) + L"</number><true/></arguments></invoke>");
        const auto targetMs = static_cast<std::int64_t>(target * 1000);
        if (PumpUntil(
                [&] {
                    const playerctl::testing::FrameStats now = Frames();
                    return now.frames > framesAtSeek && now.lastMs >= targetMs - 50 && now.lastMs < targetMs + 2000;
                },
                10000)) {
            seekMs.push_back(NowMs() - at);
        }
        PumpUntil([] { return false; }, 500);
    }

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);

    std::printf("level %ls (%dx%d frames, window %dx%d)\n", level.c_str(), size.width, size.height, width, height);
    std::printf("  load call to first frame       %.0f ms\n", firstFrameMs);
    std::printf("  playing %.1f s                  processor %.3f s = %.1f %% of one core, %d frames (%.1f per second)\n",
                wall, cpu, 100.0 * cpu / wall, frames, frames / wall);
    std::printf("  seek to first frame after it   median %.0f ms, longest %.0f ms (%zu of %zu seeks)\n", Median(seekMs),
                seekMs.empty() ? 0.0 : *std::max_element(seekMs.begin(), seekMs.end()), seekMs.size(),
                std::size(targets));
    std::printf("  working set                    peak %.1f MB, now %.1f MB\n", memory.PeakWorkingSetSize / 1048576.0,
                memory.WorkingSetSize / 1048576.0);
    std::printf("  states:");
    for (long s : g_states) std::printf(" %ld", s);
    std::printf("\n");
    DestroyWindow(parent);
    return 0;
}
