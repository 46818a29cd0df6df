// Prints what Clipdeck costs next to a baseline, an empty dialog: start-up
// time, processor time while a video plays, memory, and how long the control
// panel stops answering when the metadata feed is silent. It prints figures
// and decides nothing.
//
//   clipdeck_bench --clipdeck Clipdeck.exe --baseline empty_dialog.exe
//                  [--silent-feed host:port] [--video ID] [--seconds N] [--starts N]
//
// The feed and player hosts come from the environment, as for the program.
// --silent-feed names a feed that accepts and never answers; without it the
// silent-feed figure is left out.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"

namespace {

using namespace clipdeck_driver;

// Start-up is timed to a few milliseconds; the probes themselves are cheap.
constexpr DWORD kStartPollMs = 5;
constexpr DWORD kPingPeriodMs = 20;
// A ping waits this long for an answer before it counts as lost.
constexpr UINT kPingWaitMs = 120000;
constexpr DWORD kSilentFeedWaitMs = 90000;

const std::wstring kFetchFailed = L"Vidoeデータが取得できません。";

struct Options {
    std::wstring clipdeck;
    std::wstring baseline;
    std::wstring silentFeed;
    std::wstring video = L"cdPlain0001";
    int seconds = 60;
    int starts = 5;
};

std::wstring Format(const wchar_t* format, double value) {
    wchar_t text[64];
    std::swprintf(text, 64, format, value);
    return text;
}

std::wstring Pad(std::wstring text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), L' ');
    return text;
}

std::wstring PadLeft(std::wstring text, size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), L' ');
    return text;
}

double Seconds(const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
}

// Wine 8 answers GetProcessTimes for another process with the caller's own
// times, but GetThreadTimes works for any thread: under Wine the times of
// the process's threads are added up instead. Between two samples that
// misses only threads that ended in between.
bool RunningOnWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

struct CpuSample {
    double processSeconds = 0;
    std::map<DWORD, double> threadSeconds;
};

CpuSample SampleCpu(HANDLE process) {
    CpuSample sample;
    FILETIME creation, exit, kernel, user;
    if (!::GetProcessTimes(process, &creation, &exit, &kernel, &user)) throw Failure("GetProcessTimes failed");
    sample.processSeconds = Seconds(kernel) + Seconds(user);
    const DWORD pid = ::GetProcessId(process);
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) throw Failure("CreateToolhelp32Snapshot failed");
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        HANDLE thread = ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        if (::GetThreadTimes(thread, &creation, &exit, &kernel, &user)) {
            sample.threadSeconds[entry.th32ThreadID] = Seconds(kernel) + Seconds(user);
        }
        ::CloseHandle(thread);
    }
    ::CloseHandle(snapshot);
    return sample;
}

struct CpuUse {
    double seconds = 0;
    bool fromThreads = false;
};

CpuUse CpuBetween(const CpuSample& before, const CpuSample& after) {
    static const bool wine = RunningOnWine();
    if (!wine) return {after.processSeconds - before.processSeconds, false};
    double used = 0;
    for (const auto& [id, seconds] : after.threadSeconds) {
        auto earlier = before.threadSeconds.find(id);
        used += seconds - (earlier == before.threadSeconds.end() ? 0.0 : earlier->second);
    }
    return {used, true};
}

PROCESS_MEMORY_COUNTERS Memory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::K32GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        throw Failure("GetProcessMemoryInfo failed");
    }
    return counters;
}

std::wstring Megabytes(SIZE_T bytes) { return Format(L"%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0)); }

// A program copied into a scratch folder of its own, so its files land there.
class ScratchProgram {
public:
    ScratchProgram(const std::wstring& exe, const std::wstring& tag)
        : folder_(remote_ui::MakeScratchFolder(tag)), copy_(remote_ui::CopyInto(exe, folder_)) {}
    ~ScratchProgram() {
        program_.reset();
        remote_ui::RemoveScratchFolder(folder_);
    }
    Program& Start() {
        program_.reset();
        program_ = std::make_unique<Program>(copy_);
        return *program_;
    }

private:
    std::wstring folder_;
    std::wstring copy_;
    std::unique_ptr<Program> program_;
};

// The main window, once it is on screen.
clipdeck_ui::MainWindows WaitMain(const Program& program) {
    std::optional<clipdeck_ui::MainWindows> main;
    if (!PollUntil(
            [&] {
                return (main = clipdeck_ui::FindMain(program.Pid())).has_value() && ::IsWindowVisible(main->main);
            },
            kStartMs, kStartPollMs)) {
        throw Failure("Clipdeck showed no main window");
    }
    return *main;
}

void WaitText(HWND control, const std::wstring& text, DWORD timeoutMs, DWORD pollMs, const char* what) {
    if (!PollUntil([&] { return remote_ui::ReadText(control) == text; }, timeoutMs, pollMs)) {
        throw Failure(std::string("Clipdeck did not reach: ") + what);
    }
}

clipdeck_ui::MainWindows StartReady(const Program& program) {
    clipdeck_ui::MainWindows main = WaitMain(program);
    WaitText(main.Item(IDT_CONTROL_TITLE), clipdeck_ui::kLoadComplete, kReadyMs, kStartPollMs, "player loaded");
    return main;
}

HWND WaitBaselineWindow(const Program& program) {
    HWND found = nullptr;
    if (!PollUntil(
            [&] {
                for (HWND w : remote_ui::TopLevelWindows(program.Pid())) {
                    if (::IsWindowVisible(w)) return (found = w) != nullptr;
                }
                return false;
            },
            kStartMs, kStartPollMs)) {
        throw Failure("the baseline showed no window");
    }
    return found;
}

void CloseAndWait(Program& program, HWND window) {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (!program.WaitExit(10000)) {
        Print(L"  (a program did not end within 10 s of WM_CLOSE and was ended)");
        program.Kill();
    }
}

void PlayVideo(const clipdeck_ui::MainWindows& main, const std::wstring& video) {
    if (!remote_ui::WriteText(main.Item(IDE_CONTROL_VIDEOREF), video)) throw Failure("cannot type into the box");
    remote_ui::PostClick(main.Item(IDB_CONTROL_PLAY));
}

struct Spread {
    double min = 0, median = 0, max = 0;
};

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    Spread s;
    s.min = values.front();
    s.max = values.back();
    size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return s;
}

constexpr size_t kNameWidth = 48;
constexpr size_t kFigureWidth = 18;

// One row of a table: a name and figures in columns.
void Row(const std::wstring& name, const std::vector<std::wstring>& figures) {
    std::wstring line = L"    " + Pad(name, kNameWidth);
    for (const std::wstring& f : figures) line += PadLeft(f, kFigureWidth);
    Print(line);
}

void SpreadRow(const std::wstring& what, const std::vector<double>& ms) {
    Spread s = SpreadOf(ms);
    Row(what, {Format(L"%.0f", s.min), Format(L"%.0f", s.median), Format(L"%.0f", s.max)});
}

// (a) Launch to the window a user waits for.
void MeasureStartUp(const Options& options) {
    std::vector<double> baselineShown, mainShown, loaded;
    ScratchProgram baseline(options.baseline, L"bench-baseline");
    ScratchProgram clipdeck(options.clipdeck, L"bench-startup");
    for (int i = 0; i < options.starts; ++i) {
        Program& b = baseline.Start();
        HWND window = WaitBaselineWindow(b);
        baselineShown.push_back(NowMs() - b.StartedMs());
        CloseAndWait(b, window);

        Program& c = clipdeck.Start();
        clipdeck_ui::MainWindows main = WaitMain(c);
        mainShown.push_back(NowMs() - c.StartedMs());
        WaitText(main.Item(IDT_CONTROL_TITLE), clipdeck_ui::kLoadComplete, kReadyMs, kStartPollMs, "player loaded");
        loaded.push_back(NowMs() - c.StartedMs());
        CloseAndWait(c, main.main);
    }
    Print(L"(a) start-up: from launch to the window, " + std::to_wstring(options.starts) + L" starts each");
    Row(L"ms", {L"min", L"median", L"max"});
    SpreadRow(L"empty dialog: window shown", baselineShown);
    SpreadRow(L"Clipdeck: main window shown", mainShown);
    SpreadRow(L"Clipdeck: title line \" player Load Complete!\"", loaded);
    Print(L"");
}

// (b) and (c): three programs side by side over the same stretch of time.
void MeasureCpuAndMemory(const Options& options) {
    ScratchProgram baseline(options.baseline, L"bench-idle");
    ScratchProgram idle(options.clipdeck, L"bench-loaded");
    ScratchProgram playing(options.clipdeck, L"bench-playing");

    Program& b = baseline.Start();
    HWND baselineWindow = WaitBaselineWindow(b);
    Program& i = idle.Start();
    clipdeck_ui::MainWindows idleMain = StartReady(i);
    Program& p = playing.Start();
    clipdeck_ui::MainWindows playMain = StartReady(p);
    PlayVideo(playMain, options.video);
    WaitText(playMain.Item(IDT_CONTROL_STATUS), L"Play", kEventMs, 50, "Play");
    // Let the first poll after the start settle before counting.
    ::Sleep(1000);

    std::wstring fromTime = remote_ui::ReadText(playMain.Item(IDT_CONTROL_TIME)).value_or(L"?");
    const double start = NowMs();
    HANDLE handles[] = {b.Handle(), i.Handle(), p.Handle()};
    CpuSample before[3], after[3];
    for (int k = 0; k < 3; ++k) before[k] = SampleCpu(handles[k]);
    ::Sleep(static_cast<DWORD>(options.seconds) * 1000);
    for (int k = 0; k < 3; ++k) after[k] = SampleCpu(handles[k]);
    const double elapsed = (NowMs() - start) / 1000.0;
    std::wstring toTime = remote_ui::ReadText(playMain.Item(IDT_CONTROL_TIME)).value_or(L"?");
    std::wstring status = remote_ui::ReadText(playMain.Item(IDT_CONTROL_STATUS)).value_or(L"?");

    const wchar_t* names[] = {L"empty dialog, idle", L"Clipdeck, player loaded, no video",
                              L"Clipdeck, video playing"};
    Print(L"(b) processor time over " + Format(L"%.1f", elapsed) + L" s, the three programs side by side");
    Row(L"", {L"CPU s per minute", L"% of one core"});
    bool fromThreads = false;
    for (int k = 0; k < 3; ++k) {
        CpuUse use = CpuBetween(before[k], after[k]);
        fromThreads = fromThreads || use.fromThreads;
        Row(names[k], {Format(L"%.3f", use.seconds * 60.0 / elapsed), Format(L"%.2f %%", use.seconds * 100.0 / elapsed)});
    }
    if (fromThreads) Print(L"    (under Wine: the sum of GetThreadTimes over each process's threads)");
    Print(L"    (playing: " + options.video + L", time text " + fromTime + L" -> " + toTime + L", status " + status +
          L")");
    Print(L"");

    Print(L"(c) memory at the end of (b)");
    Row(L"", {L"peak working set", L"working set"});
    for (int k = 0; k < 3; ++k) {
        PROCESS_MEMORY_COUNTERS m = Memory(handles[k]);
        Row(names[k], {Megabytes(m.PeakWorkingSetSize), Megabytes(m.WorkingSetSize)});
    }
    Print(L"");

    CloseAndWait(p, playMain.main);
    CloseAndWait(i, idleMain.main);
    CloseAndWait(b, baselineWindow);
}

// Sends WM_NULL to a window every few milliseconds from a thread of its own
// and keeps the time of every answer.
class Pinger {
public:
    explicit Pinger(HWND target) : target_(target), thread_([this] { Run(); }) {}
    ~Pinger() { Stop(); }

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    // Longest time between two answers.
    struct Gaps {
        double longestGapMs = 0;
        size_t pings = 0;
        size_t lost = 0;
    };
    Gaps Measure() const {
        std::lock_guard<std::mutex> lock(mutex_);
        Gaps g;
        g.pings = answers_.size();
        g.lost = lost_;
        for (size_t k = 1; k < answers_.size(); ++k) {
            g.longestGapMs = std::max(g.longestGapMs, answers_[k] - answers_[k - 1]);
        }
        return g;
    }

private:
    void Run() {
        while (!stop_) {
            const double sent = NowMs();
            DWORD_PTR result = 0;
            bool answered =
                ::SendMessageTimeoutW(target_, WM_NULL, 0, 0, SMTO_NORMAL, kPingWaitMs, &result) != 0;
            const double done = NowMs();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (answered) {
                    answers_.push_back(done);
                } else {
                    ++lost_;
                }
            }
            const double next = sent + kPingPeriodMs;
            if (done < next) ::Sleep(static_cast<DWORD>(next - done));
        }
    }

    HWND target_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<double> answers_;  // when each answer came
    size_t lost_ = 0;
    std::thread thread_;
};

// (d) How long the panel stops answering while Play fetches the metadata.
// With `silentFeed` the feed accepts and never answers, and the fetch ends
// in the message box after its time-outs.
void MeasureFreeze(const Options& options, const std::wstring& silentFeed, const std::wstring& label) {
    ScratchProgram clipdeck(options.clipdeck, L"bench-freeze");
    std::wstring savedFeed;
    if (!silentFeed.empty()) {
        wchar_t value[512] = {};
        ::GetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", value, 512);
        savedFeed = value;
        ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", silentFeed.c_str());
    }
    Program& c = clipdeck.Start();
    if (!silentFeed.empty()) {
        ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", savedFeed.empty() ? nullptr : savedFeed.c_str());
    }
    clipdeck_ui::MainWindows main = StartReady(c);
    if (!remote_ui::WriteText(main.Item(IDE_CONTROL_VIDEOREF), options.video)) throw Failure("cannot type");

    Pinger pinger(main.panel);
    ::Sleep(300);
    const double clicked = NowMs();
    remote_ui::PostClick(main.Item(IDB_CONTROL_PLAY));
    std::wstring outcome;
    HWND box = nullptr;
    if (silentFeed.empty()) {
        bool played = PollUntil(
            [&] { return remote_ui::ReadText(main.Item(IDT_CONTROL_STATUS)) == L"Play"; }, kEventMs);
        outcome = played ? Format(L"status \"Play\" after %.0f ms", NowMs() - clicked) : L"no \"Play\" within 10 s";
    } else {
        bool shown = PollUntil(
            [&] { return (box = remote_ui::FindMessageBox(c.Pid(), kFetchFailed, main.main)) != nullptr; },
            kSilentFeedWaitMs);
        outcome = shown ? Format(L"message box \"Vidoeデータが取得できません。\" after %.0f ms", NowMs() - clicked)
                        : L"no message box within 90 s";
    }
    ::Sleep(500);
    pinger.Stop();
    Pinger::Gaps gaps = pinger.Measure();
    Row(label, {Format(L"%.0f ms", gaps.longestGapMs)});
    Print(L"      " + outcome + L"; " + std::to_wstring(gaps.pings) + L" pings answered");
    if (gaps.lost) Print(L"      (" + std::to_wstring(gaps.lost) + L" pings got no answer within 120 s)");
    if (box) remote_ui::PostClick(::GetDlgItem(box, IDOK));
    ::Sleep(200);
    CloseAndWait(c, main.main);
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int k = 1; k < argc; ++k) {
        std::wstring name = argv[k];
        if (k + 1 >= argc) return false;
        std::wstring value = argv[++k];
        if (name == L"--clipdeck") {
            options.clipdeck = value;
        } else if (name == L"--baseline") {
            options.baseline = value;
        } else if (name == L"--silent-feed") {
            options.silentFeed = value;
        } else if (name == L"--video") {
            options.video = value;
        } else if (name == L"--seconds") {
            options.seconds = std::max(1, std::min(3600, _wtoi(value.c_str())));
        } else if (name == L"--starts") {
            options.starts = std::max(1, std::min(100, _wtoi(value.c_str())));
        } else {
            return false;
        }
    }
    return !options.clipdeck.empty() && !options.baseline.empty();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs("usage: clipdeck_bench --clipdeck Clipdeck.exe --baseline empty_dialog.exe\n"
                   "                      [--silent-feed host:port] [--video ID] [--seconds N] [--starts N]\n",
                   stderr);
        return 2;
    }
    try {
        MeasureStartUp(options);
        MeasureCpuAndMemory(options);
        Print(L"(d) longest time the control panel did not answer (WM_NULL every 20 ms), Play pressed");
        MeasureFreeze(options, L"", L"feed answering");
        if (!options.silentFeed.empty()) MeasureFreeze(options, options.silentFeed, L"feed silent");
    } catch (const std::exception& e) {
        Print(L"clipdeck_bench: " + remote_ui::Widen(e.what()));
        return 1;
    }
    return 0;
}
