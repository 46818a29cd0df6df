// Prints what playing a real clip costs the player component: the time from
// the load call to the first decoded frame, processor time and working set
// while it plays in real time, and the time from a seek to the first frame
// after it. It prints figures and decides nothing.
//
//   playerctl_media_bench host:port videoId level [seconds]
//   playerctl_media_bench --bare FILE seconds [convert] [paint]
//
// The control sits in a window of the video's size; level is the quality
// asked for (medium for 640x360, hd720 for 1280x720). Processor time is
// measured over `seconds` (default 20) of playing, so the clip must be longer
// than that plus a second or two. Run one level per process: the peak
// working set is the process's.
//
// --bare plays FILE with none of the player's code, in the player's design:
// Media Foundation's source reader on the file, the picture only, in the
// 4:2:0 layout the decoder gives, each frame read when its time comes on a
// steady clock; with "convert" each frame is turned into BGRA, with "paint"
// also drawn into a window of its size. It tells what the media stack costs
// here whoever drives it.
//
// Under Wine the process is also a Linux process: its /proc files (through
// the Z: drive) give its processor time as Linux counts it, all threads of
// the media stack included, with the page faults taken while playing, a
// count that does not depend on what else the machine is doing.
#include <windows.h>

#include <psapi.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "playerctl/player_control.h"
#include "playerctl/media/yuv420.h"
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

// This process as Linux sees it. Under Wine "Z:\\proc\\self" names the Wine
// server (it opens files for us), so the process is found by its command
// line: the program's name first, then this run's arguments.
int UnixPid(const std::string& arguments) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int found = 0;
    do {
        if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9') continue;
        std::FILE* f = std::fopen((std::string("Z:\\proc\\") + entry.cFileName + "\\cmdline").c_str(), "rb");
        if (!f) continue;
        char buffer[4096];
        const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        buffer[n] = 0;
        const std::string first(buffer), all(buffer, n);
        const std::string name = "playerctl_media_bench.exe";
        if (first.size() >= name.size() && first.compare(first.size() - name.size(), name.size(), name) == 0 &&
            all.find(arguments) != std::string::npos)
            found = std::atoi(entry.cFileName);
    } while (!found && FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

// utime + stime (seconds) and minor page faults of the process as Linux
// counts them, all its threads included.
struct LinuxCounts {
    bool known = false;
    double cpuSeconds = 0;
    long long minorFaults = 0;
};

LinuxCounts ReadLinuxCounts(int pid) {
    LinuxCounts counts;
    if (pid <= 0) return counts;
    std::FILE* f = std::fopen(("Z:\\proc\\" + std::to_string(pid) + "\\stat").c_str(), "r");
    if (!f) return counts;
    char line[2048] = {};
    std::size_t n = std::fread(line, 1, sizeof line - 1, f);
    std::fclose(f);
    line[n] = 0;
    // Fields after the command name, which is in parentheses: state is field 3,
    // minflt 10, utime 14, stime 15 (clock ticks of 1/100 s).
    const char* p = std::strrchr(line, ')');
    if (!p) return counts;
    std::vector<long long> fields;
    for (const char* q = p + 2; *q && fields.size() < 14;) {
        char* end = nullptr;
        long long v = std::strtoll(q, &end, 10);
        fields.push_back(end == q ? 0 : v);  // the state letter reads as 0
        q = end == q ? q + 1 : end;
        while (*q == ' ') ++q;
    }
    if (fields.size() < 13) return counts;
    counts.known = true;
    counts.minorFaults = fields[7];
    counts.cpuSeconds = static_cast<double>(fields[11] + fields[12]) / 100.0;
    return counts;
}

// VmHWM and VmRSS of the process (MB) as Linux counts them.
std::pair<double, double> LinuxMemory(int pid) {
    std::FILE* f = pid > 0 ? std::fopen(("Z:\\proc\\" + std::to_string(pid) + "\\status").c_str(), "r") : nullptr;
    if (!f) return {0, 0};
    char line[256];
    double hwm = 0, rss = 0;
    while (std::fgets(line, sizeof line, f)) {
        long kb = 0;
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) hwm = kb / 1024.0;
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) rss = kb / 1024.0;
    }
    std::fclose(f);
    return {hwm, rss};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}


int RunBare(const char* fileArg, int seconds, bool convert, bool paint, const std::string& arguments) {
    using Microsoft::WRL::ComPtr;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    MFStartup(MF_VERSION, MFSTARTUP_FULL);
    const std::wstring file = Wide(fileArg);
    ComPtr<IMFSourceReader> reader;
    if (FAILED(MFCreateSourceReaderFromURL(file.c_str(), nullptr, &reader))) {
        std::printf("cannot open %s\n", fileArg);
        return 1;
    }
    const DWORD video = static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM);
    reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    reader->SetStreamSelection(video, TRUE);
    ComPtr<IMFMediaType> type;
    MFCreateMediaType(&type);
    type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_I420);
    if (FAILED(reader->SetCurrentMediaType(video, nullptr, type.Get()))) {
        std::printf("no I420 from the decoder\n");
        return 1;
    }
    ComPtr<IMFMediaType> current;
    reader->GetCurrentMediaType(video, &current);
    UINT32 width = 0, height = 0;
    MFGetAttributeSize(current.Get(), MF_MT_FRAME_SIZE, &width, &height);

    HWND window = nullptr;
    HDC memory = nullptr;
    std::uint8_t* bits = nullptr;
    if (convert || paint) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = static_cast<LONG>(width);
        bi.bmiHeader.biHeight = -static_cast<LONG>(height);
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* dib = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &dib, nullptr, 0);
        memory = CreateCompatibleDC(nullptr);
        SelectObject(memory, bitmap);
        bits = static_cast<std::uint8_t*>(dib);
    }
    if (paint) {
        RECT frame{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        window = CreateWindowExW(0, L"STATIC", L"bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, frame.right - frame.left,
                                 frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }

    const int unixPid = UnixPid(arguments);
    LinuxCounts before;
    double cpuBefore = 0, start = NowMs(), measuredFrom = 0;
    int frames = 0, measuredFrames = 0;
    LONGLONG first = -1;
    for (;;) {
        DWORD stream = 0, flags = 0;
        LONGLONG time = 0;
        ComPtr<IMFSample> sample;
        if (FAILED(reader->ReadSample(video, 0, &stream, &flags, &time, &sample)) ||
            (flags & MF_SOURCE_READERF_ENDOFSTREAM))
            break;
        if (!sample) continue;
        if (first < 0) first = time;
        // Shown at its time: the loop waits, pumping messages, until then.
        const double due = start + static_cast<double>(time - first) / 10000.0;
        PumpUntil([due] { return NowMs() >= due; }, due - NowMs() + 1);
        if (convert || paint) {
            ComPtr<IMFMediaBuffer> buffer;
            sample->GetBufferByIndex(0, &buffer);
            BYTE* data = nullptr;
            DWORD length = 0;
            if (buffer && SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
                auto picture = playerctl::LayOut(playerctl::PixelLayout::I420, data, length, static_cast<int>(width),
                                                 static_cast<int>(width), static_cast<int>(height));
                GdiFlush();
                if (picture) playerctl::ToBgra(*picture, bits, static_cast<std::ptrdiff_t>(width) * 4);
                buffer->Unlock();
            }
        }
        if (paint) {
            HDC dc = GetDC(window);
            BitBlt(dc, 0, 0, static_cast<int>(width), static_cast<int>(height), memory, 0, 0, SRCCOPY);
            ReleaseDC(window, dc);
        }
        ++frames;
        if (frames == 30) {  // a second in: the measure starts
            before = ReadLinuxCounts(unixPid);
            cpuBefore = CpuSeconds();
            measuredFrom = NowMs();
            measuredFrames = frames;
        }
        if (measuredFrom > 0 && NowMs() - measuredFrom >= seconds * 1000.0) break;
    }
    const double wall = (NowMs() - measuredFrom) / 1000.0, cpu = CpuSeconds() - cpuBefore;
    const LinuxCounts after = ReadLinuxCounts(unixPid);
    const int counted = frames - measuredFrames;
    PROCESS_MEMORY_COUNTERS memoryCounters{};
    memoryCounters.cb = sizeof memoryCounters;
    GetProcessMemoryInfo(GetCurrentProcess(), &memoryCounters, sizeof memoryCounters);
    std::printf("  bare source reader%s%s (%ux%u)   processor %.1f %% of one core over %.1f s, %d frames, ",
                convert ? " + convert" : "", paint ? " + paint" : "", width, height, 100.0 * cpu / wall, wall, counted);
    if (before.known && after.known)
        std::printf("%lld page faults (%.0f per frame), ", after.minorFaults - before.minorFaults,
                    counted > 0 ? static_cast<double>(after.minorFaults - before.minorFaults) / counted : 0.0);
    std::printf("peak working set %.1f MB\n", memoryCounters.PeakWorkingSetSize / 1048576.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--bare") == 0) {
        bool convert = false, paint = false;
        for (int i = 4; i < argc; ++i) {
            convert = convert || std::strcmp(argv[i], "convert") == 0;
            paint = paint || std::strcmp(argv[i], "paint") == 0;
        }
        return RunBare(argv[2], std::max(1, std::atoi(argv[3])), convert, paint,
                       std::string(1, '\0') + argv[1] + '\0' + argv[2] + '\0' + argv[3]);
    }
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
    const int unixPid = UnixPid(std::string(1, '\0') + argv[1] + '\0' + argv[2] + '\0' + argv[3]);
    const LinuxCounts linuxBefore = ReadLinuxCounts(unixPid);
    const double cpuBefore = CpuSeconds(), wallBefore = NowMs();
    PumpUntil([] { return false; }, seconds * 1000.0);
    const double wall = (NowMs() - wallBefore) / 1000.0, cpu = CpuSeconds() - cpuBefore;
    const LinuxCounts linuxAfter = ReadLinuxCounts(unixPid);
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
    if (linuxBefore.known && linuxAfter.known) {
        const double linuxCpu = linuxAfter.cpuSeconds - linuxBefore.cpuSeconds;
        const long long faults = linuxAfter.minorFaults - linuxBefore.minorFaults;
        std::printf("  the same, as Linux counts it   processor %.2f s = %.1f %% of one core, %lld page faults (%.0f per frame)\n",
                    linuxCpu, 100.0 * linuxCpu / wall, faults, frames > 0 ? static_cast<double>(faults) / frames : 0.0);
    }
    std::printf("  seek to first frame after it   median %.0f ms, longest %.0f ms (%zu of %zu seeks)\n", Median(seekMs),
                seekMs.empty() ? 0.0 : *std::max_element(seekMs.begin(), seekMs.end()), seekMs.size(),
                std::size(targets));
    std::printf("  working set                    peak %.1f MB, now %.1f MB\n", memory.PeakWorkingSetSize / 1048576.0,
                memory.WorkingSetSize / 1048576.0);
    const auto [hwm, rss] = LinuxMemory(unixPid);
    if (hwm > 0) std::printf("  resident, as Linux counts it   peak %.1f MB, now %.1f MB\n", hwm, rss);
    std::printf("  states:");
    for (long s : g_states) std::printf(" %ld", s);
    std::printf("\n");
    DestroyWindow(parent);
    return 0;
}
