// Prints what Clipdeck's start-up costs next to two empty dialogs measured
// in the same run, in turn: one plain, one carrying Clipdeck's manifest
// (common controls 6, DPI-aware), which is the fair baseline for a program
// with that manifest. Then where Clipdeck's time goes, from its start-up
// marks (CLIPDECK_STARTUP_MARKS), and what it has loaded when its main
// window shows. With --close, only how long closing takes instead: WM_CLOSE
// to the main window, until it is hidden and until the process is gone,
// next to the empty dialog; run that on an X server with Wine's X11 driver
// unmanaged (Managed=N), as bench/run-bench.sh does, since the null graphics
// driver draws nothing to take down. It prints figures and decides nothing.
//
//   startup_bench --clipdeck Clipdeck.exe --baseline empty_dialog.exe
//                 --baseline-manifest empty_dialog_manifest.exe [--starts N] [--close]
//                 [--service clipdeck-service.exe --catalogue catalogue.tsv]
//
// The player host comes from the environment, as for the program. With
// --service, Clipdeck is also started as a user of the package starts it:
// the service beside it and no host variables, so that it starts its own.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/startup_marks.h"
#include "driver.h"

namespace {

using namespace clipdeck_driver;

constexpr DWORD kPollMs = 5;
// Memory is read this long after the window (or the player) is there, once
// the start-up's last messages have been handled.
constexpr DWORD kSettleMs = 1000;

std::wstring Format(const wchar_t* format, double value) {
    wchar_t text[64];
    std::swprintf(text, 64, format, value);
    return text;
}

std::wstring Pad(std::wstring text, size_t width, bool left = false) {
    if (text.size() < width) text.insert(left ? 0 : text.size(), width - text.size(), L' ');
    return text;
}

void Row(const std::wstring& name, const std::vector<std::wstring>& figures) {
    std::wstring line = L"    " + Pad(name, 56);
    for (const std::wstring& f : figures) line += Pad(f, 12, true);
    Print(line);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void SpreadRow(const std::wstring& name, const std::vector<double>& ms) {
    Row(name, {Format(L"%.0f", *std::min_element(ms.begin(), ms.end())), Format(L"%.0f", Median(ms)),
               Format(L"%.0f", *std::max_element(ms.begin(), ms.end()))});
}

double PeakMegabytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::K32GetProcessMemoryInfo(process, &counters, sizeof counters)) throw Failure("GetProcessMemoryInfo failed");
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// The file names of the modules `process` has loaded, lower case.
std::set<std::wstring> Modules(HANDLE process) {
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    std::set<std::wstring> names;
    if (!::K32EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                                 &needed)) {
        return names;
    }
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE m : modules) {
        wchar_t name[MAX_PATH] = {};
        if (::K32GetModuleBaseNameW(process, m, name, MAX_PATH)) {
            std::wstring n = name;
            std::transform(n.begin(), n.end(), n.begin(), ::towlower);
            names.insert(n);
        }
    }
    return names;
}

int Threads(DWORD pid) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

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
    // Puts `file` beside the program (into `subfolder` when given).
    void Add(const std::wstring& file, const std::wstring& subfolder = L"") {
        std::wstring to = folder_;
        if (!subfolder.empty()) {
            to += L"\\" + subfolder;
            ::CreateDirectoryW(to.c_str(), nullptr);
        }
        remote_ui::CopyInto(file, to);
    }
    const std::wstring& Folder() const { return folder_; }

private:
    std::wstring folder_;
    std::wstring copy_;
    std::unique_ptr<Program> program_;
};

// Milliseconds from WM_CLOSE to the window hidden and to the process gone.
struct Closing {
    std::vector<double> hiddenMs, goneMs;
};

void CloseAndWait(Program& program, HWND window, Closing* timed = nullptr) {
    const double start = NowMs();
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (timed) {
        PollUntil([&] { return !::IsWindowVisible(window); }, 10000, 1);
        timed->hiddenMs.push_back(NowMs() - start);
    }
    if (!program.WaitExit(10000)) {
        Print(L"  (a program did not end within 10 s of WM_CLOSE and was ended)");
        program.Kill();
    }
    if (timed) timed->goneMs.push_back(NowMs() - start);
}

HWND WaitVisibleWindow(const Program& program) {
    HWND found = nullptr;
    if (!PollUntil(
            [&] {
                for (HWND w : remote_ui::TopLevelWindows(program.Pid())) {
                    if (::IsWindowVisible(w)) return (found = w) != nullptr;
                }
                return false;
            },
            kStartMs, kPollMs)) {
        throw Failure("a baseline showed no window");
    }
    return found;
}

clipdeck_ui::MainWindows WaitMain(const Program& program) {
    std::optional<clipdeck_ui::MainWindows> main;
    if (!PollUntil(
            [&] {
                return (main = clipdeck_ui::FindMain(program.Pid())).has_value() && ::IsWindowVisible(main->main);
            },
            kStartMs, kPollMs)) {
        throw Failure("Clipdeck showed no main window");
    }
    return *main;
}

void WaitLoaded(const clipdeck_ui::MainWindows& main) {
    if (!PollUntil([&] { return remote_ui::ReadText(main.Item(IDT_CONTROL_TITLE)) == clipdeck_ui::kLoadComplete; },
                   kReadyMs, kPollMs)) {
        throw Failure("Clipdeck's player did not load");
    }
}

struct Baseline {
    std::vector<double> shownMs, peakMb;
    std::set<std::wstring> modules;
};

void StartBaseline(ScratchProgram& scratch, Baseline& out) {
    Program& p = scratch.Start();
    HWND window = WaitVisibleWindow(p);
    out.shownMs.push_back(NowMs() - p.StartedMs());
    out.modules = Modules(p.Handle());
    ::Sleep(kSettleMs);
    out.peakMb.push_back(PeakMegabytes(p.Handle()));
    CloseAndWait(p, window);
}

struct Clipdeck {
    std::vector<double> shownMs, loadedMs, shownPeakMb, loadedPeakMb, shownThreads;
    std::set<std::wstring> modules, loadedModules;
};

void StartClipdeck(ScratchProgram& scratch, Clipdeck& out) {
    Program& p = scratch.Start();
    clipdeck_ui::MainWindows main = WaitMain(p);
    out.shownMs.push_back(NowMs() - p.StartedMs());
    out.shownPeakMb.push_back(PeakMegabytes(p.Handle()));
    out.modules = Modules(p.Handle());
    out.shownThreads.push_back(Threads(p.Pid()));
    WaitLoaded(main);
    out.loadedMs.push_back(NowMs() - p.StartedMs());
    ::Sleep(kSettleMs);
    out.loadedPeakMb.push_back(PeakMegabytes(p.Handle()));
    out.loadedModules = Modules(p.Handle());
    CloseAndWait(p, main.main);
}

std::wstring Join(const std::set<std::wstring>& names) {
    std::wstring text;
    for (const std::wstring& n : names) text += (text.empty() ? L"" : L" ") + n;
    return text.empty() ? L"(none)" : text;
}

std::set<std::wstring> Minus(const std::set<std::wstring>& a, const std::set<std::wstring>& b) {
    std::set<std::wstring> d;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(d, d.end()));
    return d;
}

struct Options {
    std::wstring clipdeck, baseline, baselineManifest, service, catalogue;
    int starts = 10;
    bool close = false;
};

// Closing from outside, the empty dialog and Clipdeck (its player loaded)
// in turn.
void MeasureClosing(const Options& options) {
    ScratchProgram plain(options.baseline, L"close-plain");
    ScratchProgram clipdeck(options.clipdeck, L"close-clipdeck");
    Closing plainRun, clipdeckRun;
    for (int i = 0; i < options.starts; ++i) {
        Program& p = plain.Start();
        HWND window = WaitVisibleWindow(p);
        ::Sleep(200);
        CloseAndWait(p, window, &plainRun);
        Program& c = clipdeck.Start();
        clipdeck_ui::MainWindows main = WaitMain(c);
        WaitLoaded(main);
        ::Sleep(200);
        CloseAndWait(c, main.main, &clipdeckRun);
    }
    Print(L"(c) closing: WM_CLOSE posted to the main window, " + std::to_wstring(options.starts) + L" closes each");
    Row(L"ms after WM_CLOSE", {L"min", L"median", L"max"});
    SpreadRow(L"empty dialog: close: window hidden", plainRun.hiddenMs);
    SpreadRow(L"empty dialog: close: process gone", plainRun.goneMs);
    SpreadRow(L"Clipdeck: close: window hidden", clipdeckRun.hiddenMs);
    SpreadRow(L"Clipdeck: close: process gone", clipdeckRun.goneMs);
    Print(L"");
}

// The three programs in turn, the order turning each round so that none is
// always the first after a pause.
Clipdeck MeasureSideBySide(const Options& options) {
    ScratchProgram plain(options.baseline, L"startup-plain");
    ScratchProgram manifest(options.baselineManifest, L"startup-manifest");
    ScratchProgram clipdeck(options.clipdeck, L"startup-clipdeck");
    Baseline plainRun, manifestRun;
    Clipdeck clipdeckRun;
    for (int i = 0; i < options.starts; ++i) {
        for (int k = 0; k < 3; ++k) {
            switch ((i + k) % 3) {
            case 0: StartBaseline(plain, plainRun); break;
            case 1: StartBaseline(manifest, manifestRun); break;
            default: StartClipdeck(clipdeck, clipdeckRun); break;
            }
        }
    }
    Print(L"(s) start-up side by side: the three programs in turn, " + std::to_wstring(options.starts) +
          L" starts each");
    Row(L"launch to window, ms", {L"min", L"median", L"max"});
    SpreadRow(L"empty dialog: window shown", plainRun.shownMs);
    SpreadRow(L"empty dialog with Clipdeck's manifest: window shown", manifestRun.shownMs);
    SpreadRow(L"Clipdeck: main window shown", clipdeckRun.shownMs);
    SpreadRow(L"Clipdeck: title line \" player Load Complete!\"", clipdeckRun.loadedMs);
    Row(L"Clipdeck shown / empty dialog with manifest (medians)",
        {L"", Format(L"%.2fx", Median(clipdeckRun.shownMs) / Median(manifestRun.shownMs))});
    Row(L"Clipdeck shown / plain empty dialog (medians)",
        {L"", Format(L"%.2fx", Median(clipdeckRun.shownMs) / Median(plainRun.shownMs))});
    Print(L"");
    Row(L"peak working set, MB", {L"min", L"median", L"max"});
    auto mbRow = [](const std::wstring& name, const std::vector<double>& mb) {
        Row(name, {Format(L"%.1f", *std::min_element(mb.begin(), mb.end())), Format(L"%.1f", Median(mb)),
                   Format(L"%.1f", *std::max_element(mb.begin(), mb.end()))});
    };
    mbRow(L"empty dialog, 1 s after shown", plainRun.peakMb);
    mbRow(L"empty dialog with manifest, 1 s after shown", manifestRun.peakMb);
    mbRow(L"Clipdeck, at main window shown", clipdeckRun.shownPeakMb);
    mbRow(L"Clipdeck, 1 s after the player loaded", clipdeckRun.loadedPeakMb);
    Row(L"Clipdeck loaded / empty dialog with manifest (medians)",
        {L"", Format(L"%.2fx", Median(clipdeckRun.loadedPeakMb) / Median(manifestRun.peakMb))});
    Print(L"");
    Print(L"    DLLs Clipdeck has at main window shown and the empty dialog with manifest has not:");
    Print(L"      " + Join(Minus(clipdeckRun.modules, manifestRun.modules)));
    Print(L"    loaded later, by 1 s after the player loaded:");
    Print(L"      " + Join(Minus(clipdeckRun.loadedModules, clipdeckRun.modules)));
    Print(L"    threads at main window shown (median): " + Format(L"%.0f", Median(clipdeckRun.shownThreads)));
    Print(L"");
    return clipdeckRun;
}

std::string ReadFile(const std::wstring& path) {
    std::string text;
    FILE* in = _wfopen(path.c_str(), L"rb");
    if (!in) return text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, n);
    std::fclose(in);
    return text;
}

// Where the time goes: Clipdeck started with its marks on, each mark's time
// from launch and from the mark before it, medians over the starts. Marks
// cost a file append each, so these starts are not the ones timed above.
// The host variables are gone while `start` runs: the program then starts
// the service beside it.
template <typename Start>
void WithoutHosts(Start start) {
    const wchar_t* names[] = {L"CLIPDECK_FEED_HOST", L"CLIPDECK_PLAYER_HOST"};
    std::wstring saved[2];
    for (int i = 0; i < 2; ++i) {
        wchar_t value[512] = L"";
        if (::GetEnvironmentVariableW(names[i], value, 512) < 512) saved[i] = value;
        ::SetEnvironmentVariableW(names[i], nullptr);
    }
    start();
    for (int i = 0; i < 2; ++i) ::SetEnvironmentVariableW(names[i], saved[i].empty() ? nullptr : saved[i].c_str());
}

void MeasureMarks(ScratchProgram& clipdeck, int starts, const std::wstring& title, bool ownService) {
    const std::wstring marks = clipdeck.Folder() + L"\\marks.txt";
    ::SetEnvironmentVariableW(L"CLIPDECK_STARTUP_MARKS", marks.c_str());
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> at, step;
    std::vector<double> shown;
    for (int i = 0; i < starts; ++i) {
        ::DeleteFileW(marks.c_str());
        Program* started = nullptr;
        if (ownService) {
            WithoutHosts([&] { started = &clipdeck.Start(); });
        } else {
            started = &clipdeck.Start();
        }
        Program& p = *started;
        clipdeck_ui::MainWindows main = WaitMain(p);
        shown.push_back(NowMs() - p.StartedMs());
        WaitLoaded(main);
        ::Sleep(200);
        CloseAndWait(p, main.main);
        double previous = 0;
        for (const StartupMarkLine& line : ParseStartupMarks(ReadFile(marks))) {
            if (at.find(line.label) == at.end()) order.push_back(line.label);
            const double fromLaunch = line.ms - p.StartedMs();
            // Marks after the player loaded (the close) are not start-up.
            if (line.label == "player loaded" && at[line.label].size() > static_cast<size_t>(i)) continue;
            at[line.label].push_back(fromLaunch);
            step[line.label].push_back(fromLaunch - previous);
            previous = fromLaunch;
        }
    }
    ::SetEnvironmentVariableW(L"CLIPDECK_STARTUP_MARKS", nullptr);
    Print(title + L": its marks (CLIPDECK_STARTUP_MARKS), " + std::to_wstring(starts) + L" starts, medians");
    Row(L"mark", {L"from launch", L"step"});
    for (const std::string& label : order) {
        Row(remote_ui::Widen(label), {Format(L"%.1f", Median(at[label])), Format(L"%.1f", Median(step[label]))});
    }
    Row(L"(seen from outside: main window shown)", {Format(L"%.1f", Median(shown)), L""});
    Print(L"");
}

// Clipdeck as the package has it: its service, the catalogue, and a videos
// folder of its own (empty) named in Clipdeck.ini, so that the machine's
// Videos folder does not count.
void MeasureOwnService(const Options& options, const Clipdeck& hosted) {
    ScratchProgram own(options.clipdeck, L"startup-own-service");
    own.Add(options.service);
    own.Add(options.catalogue, L"catalogue");
    const std::wstring videos = own.Folder() + L"\\videos";
    ::CreateDirectoryW(videos.c_str(), nullptr);
    ::WritePrivateProfileStringW(L"SERVICE", L"VIDEOS", videos.c_str(), (own.Folder() + L"\\Clipdeck.ini").c_str());
    Clipdeck run;
    for (int i = 0; i < options.starts; ++i) WithoutHosts([&] { StartClipdeck(own, run); });
    Print(L"(o) Clipdeck starting its own service (no host variables), " + std::to_wstring(options.starts) +
          L" starts, beside the starts of (s) with a service already running");
    Row(L"launch to window, ms", {L"min", L"median", L"max"});
    SpreadRow(L"own service: main window shown", run.shownMs);
    SpreadRow(L"own service: title line \" player Load Complete!\"", run.loadedMs);
    SpreadRow(L"service running: main window shown", hosted.shownMs);
    SpreadRow(L"service running: title line \" player Load Complete!\"", hosted.loadedMs);
    Print(L"    DLLs at main window shown that the start with a service running has not:");
    Print(L"      " + Join(Minus(run.modules, hosted.modules)));
    Print(L"    threads at main window shown (median): " + Format(L"%.0f", Median(run.shownThreads)));
    Print(L"");
    MeasureMarks(own, options.starts, L"(u) where the start-up with its own service goes", true);
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int k = 1; k < argc; ++k) {
        std::wstring name = argv[k];
        if (name == L"--close") {
            options.close = true;
            continue;
        }
        if (k + 1 >= argc) return false;
        std::wstring value = argv[++k];
        if (name == L"--clipdeck") {
            options.clipdeck = value;
        } else if (name == L"--baseline") {
            options.baseline = value;
        } else if (name == L"--baseline-manifest") {
            options.baselineManifest = value;
        } else if (name == L"--service") {
            options.service = value;
        } else if (name == L"--catalogue") {
            options.catalogue = value;
        } else if (name == L"--starts") {
            options.starts = std::max(1, std::min(100, _wtoi(value.c_str())));
        } else {
            return false;
        }
    }
    return !options.clipdeck.empty() && !options.baseline.empty() && !options.baselineManifest.empty() &&
           options.service.empty() == options.catalogue.empty();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs("usage: startup_bench --clipdeck Clipdeck.exe --baseline empty_dialog.exe\n"
                   "                     --baseline-manifest empty_dialog_manifest.exe [--starts N] [--close]\n"
                   "                     [--service clipdeck-service.exe --catalogue catalogue.tsv]\n",
                   stderr);
        return 2;
    }
    try {
        if (options.close) {
            MeasureClosing(options);
        } else {
            const Clipdeck hosted = MeasureSideBySide(options);
            ScratchProgram marked(options.clipdeck, L"startup-marks");
            MeasureMarks(marked, options.starts, L"(t) where Clipdeck's start-up goes", false);
            if (!options.service.empty()) MeasureOwnService(options, hosted);
        }
    } catch (const std::exception& e) {
        Print(L"startup_bench: " + remote_ui::Widen(e.what()));
        return 1;
    }
    return 0;
}
