// Whether Clipdeck's resources stay flat over a long list play: fills the
// favourites with short stretches of simulated videos and real clips (the
// service's --media-dir with the demo media), plays VIDEOS of them in list
// play, ticking "List play" again each time the list runs out, and samples
// the process every EVERY videos. Prints a table and the growth from the
// first sample to the last; decides nothing.
//
//   list_play_bench --clipdeck Clipdeck.exe [--videos 200] [--every 20] [--simulated-only]
//   list_play_bench --bare-opens FILE [--videos 200] [--every 20] [--samples 30]
//                   [--through-stream] [--thread-per-open]
//
// --simulated-only leaves the real clips out, to tell their share apart.
// --bare-opens leaves Clipdeck out: a child process of this bench opens FILE
// (a Windows path) with Media Foundation's source reader VIDEOS times,
// decodes its first samples (30, or --samples N) to NV12 and PCM and lets it go, and is
// sampled the same way; what grows there grows without any of our code.
// --through-stream opens it as the player does, through an IStream wrapped
// in a Media Foundation byte stream (the stream here is the system's own on
// the file); --thread-per-open does each open on a thread of its own, as the
// player does for each clip. FILE may be an address of an MP4 on the local
// service (http://127.0.0.1:PORT/media/ID/LEVEL): it is then read as the
// player reads it, in blocks of HTTP Range requests through its own stream.
//
// The player component is a child window inside Clipdeck's process, so that
// one process is all there is to sample. Under Wine some counters are not
// kept (GetGuiResources is a stub); those columns read "n/a", and the Linux
// side of the same process is sampled as well (resident set, threads, open
// descriptors).
#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <psapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "playerctl/media/range_stream.h"

// Not in MinGW's headers, though mfplat exports it.
extern "C" HRESULT WINAPI MFCreateMFByteStreamOnStream(IStream* stream, IMFByteStream** byteStream);

namespace {

using namespace clipdeck_driver;

// The service's ID of a media file: 64-bit FNV-1a of the key's bytes, six
// bits a character from the lowest.
std::wstring MediaId(const std::string& key) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : key) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    std::wstring id;
    for (int i = 0; i < 11; ++i) id += static_cast<wchar_t>(kAlphabet[(hash >> (6 * i)) & 63]);
    return id;
}

using clipdeck_ui::Favorite;

// Each plays for about a second: simulated videos from 0:10 and ended by
// their end offset a second later, real clips from the start to a second in.
std::vector<Favorite> Favorites(bool withClips) {
    const struct {
        const char* name;
        int seconds;
    } clips[] = {{"demo-bars", 6}, {"demo-chart", 8}, {"demo-stripes", 10}, {"demo-hdbars", 12}};
    const struct {
        const wchar_t* id;
        int seconds;
    } simulated[] = {{L"cdPlain0001", 213}, {L"cdPlain0002", 487}, {L"cdPlain0003", 95}, {L"cdJapan0001", 180},
                     {L"cdHighres01", 241}, {L"cdAccent001", 330}, {L"cdMusic0001", 142}};
    std::vector<Favorite> real;
    for (const char* ext : {".mp4", ".webm"}) {
        for (const auto& c : clips) {
            const std::string key = std::string(c.name) + ext;
            real.push_back({MediaId(key), remote_ui::Widen(key), c.seconds, 30, 0, c.seconds - 1});
        }
    }
    std::vector<Favorite> all;
    for (size_t i = 0; i < real.size() || i < std::size(simulated); ++i) {
        if (i < real.size() && withClips) all.push_back(real[i]);
        if (i < std::size(simulated)) {
            all.push_back({simulated[i].id, simulated[i].id, simulated[i].seconds, 30, 10, simulated[i].seconds - 11});
        }
    }
    return all;  // 15 with the clips: the list's limit
}

void PutFavorites(const std::wstring& folder, const std::vector<Favorite>& favorites) {
    if (!clipdeck_ui::WriteFavorites(folder, favorites)) throw Failure("cannot create Favorite.ini");
}

// --- sampling -------------------------------------------------------------

// The Linux process behind a Wine process, found by the program path on its
// command line (each run has a scratch folder of its own).
int UnixPidOf(const std::wstring& marker) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int found = 0;
    const std::string want = remote_ui::Utf8(marker);
    do {
        const wchar_t* name = entry.cFileName;
        if (*name < L'0' || *name > L'9') continue;
        std::FILE* f = _wfopen((std::wstring(L"Z:\\proc\\") + name + L"\\cmdline").c_str(), L"rb");
        if (!f) continue;
        char buffer[4096];
        const size_t n = std::fread(buffer, 1, sizeof buffer, f);
        std::fclose(f);
        if (std::string(buffer, n).find(want) != std::string::npos) found = _wtoi(name);
    } while (!found && ::FindNextFileW(find, &entry));
    ::FindClose(find);
    return found;
}

struct Sample {
    int videos = 0;
    long long gdi = -1, user = -1, handles = -1, threads = -1, windows = -1;
    long long workingSetKb = -1, privateKb = -1;
    long long unixRssKb = -1, unixThreads = -1, unixFds = -1;
};

long long StatusField(int unixPid, const char* field) {
    std::FILE* f = _wfopen((L"Z:\\proc\\" + std::to_wstring(unixPid) + L"\\status").c_str(), L"rb");
    if (!f) return -1;
    char line[256];
    long long value = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::atoll(line + length + 1);
            break;
        }
    }
    std::fclose(f);
    return value;
}

long long CountEntries(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return -1;
    long long n = 0;
    do {
        if (entry.cFileName[0] != L'.') ++n;
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    return n;
}

long long CountWindows(DWORD pid) {
    long long n = 0;
    for (HWND top : remote_ui::TopLevelWindows(pid)) n += 1 + static_cast<long long>(remote_ui::ChildWindows(top).size());
    return n;
}

Sample Take(HANDLE process, int unixPid, int videos) {
    Sample s;
    s.videos = videos;
    ::SetLastError(0);
    DWORD gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
    if (gdi || ::GetLastError() == 0) s.gdi = gdi;
    ::SetLastError(0);
    DWORD user = ::GetGuiResources(process, GR_USEROBJECTS);
    if (user || ::GetLastError() == 0) s.user = user;
    DWORD handles = 0;
    if (::GetProcessHandleCount(process, &handles) && handles) s.handles = handles;
    const DWORD pid = ::GetProcessId(process);
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        s.threads = 0;
        for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
            if (entry.th32OwnerProcessID == pid) ++s.threads;
        }
        ::CloseHandle(snapshot);
    }
    s.windows = CountWindows(pid);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (::K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        s.workingSetKb = static_cast<long long>(memory.WorkingSetSize / 1024);
        s.privateKb = static_cast<long long>(memory.PrivateUsage / 1024);
    }
    if (unixPid) {
        s.unixRssKb = StatusField(unixPid, "VmRSS");
        s.unixThreads = StatusField(unixPid, "Threads");
        s.unixFds = CountEntries(L"Z:\\proc\\" + std::to_wstring(unixPid) + L"\\fd");
    }
    return s;
}

std::wstring Cell(long long v) { return v < 0 ? std::wstring(L"n/a") : std::to_wstring(v); }

void PrintTable(const std::vector<Sample>& samples) {
    wchar_t line[256];
    std::swprintf(line, 256, L"  %6ls %5ls %5ls %7ls %7ls %7ls %9ls %9ls | %9ls %7ls %5ls", L"videos", L"GDI",
                  L"USER", L"handles", L"threads", L"windows", L"WS KB", L"priv KB", L"RSS KB", L"threads", L"fds");
    Print(line);
    for (const Sample& s : samples) {
        std::swprintf(line, 256, L"  %6d %5ls %5ls %7ls %7ls %7ls %9ls %9ls | %9ls %7ls %5ls", s.videos,
                      Cell(s.gdi).c_str(), Cell(s.user).c_str(), Cell(s.handles).c_str(), Cell(s.threads).c_str(),
                      Cell(s.windows).c_str(), Cell(s.workingSetKb).c_str(), Cell(s.privateKb).c_str(),
                      Cell(s.unixRssKb).c_str(), Cell(s.unixThreads).c_str(), Cell(s.unixFds).c_str());
        Print(line);
    }
    if (samples.size() < 2) return;
    const Sample& a = samples.front();
    const Sample& b = samples.back();
    auto growth = [](long long x, long long y) {
        if (x < 0 || y < 0) return std::wstring(L"n/a");
        return (y >= x ? L"+" : L"") + std::to_wstring(y - x);
    };
    std::swprintf(line, 256, L"  %6ls %5ls %5ls %7ls %7ls %7ls %9ls %9ls | %9ls %7ls %5ls", L"growth",
                  growth(a.gdi, b.gdi).c_str(), growth(a.user, b.user).c_str(), growth(a.handles, b.handles).c_str(),
                  growth(a.threads, b.threads).c_str(), growth(a.windows, b.windows).c_str(),
                  growth(a.workingSetKb, b.workingSetKb).c_str(), growth(a.privateKb, b.privateKb).c_str(),
                  growth(a.unixRssKb, b.unixRssKb).c_str(), growth(a.unixThreads, b.unixThreads).c_str(),
                  growth(a.unixFds, b.unixFds).c_str());
    Print(line);
}

int Run(const std::wstring& clipdeck, int videos, int every, bool withClips) {
    const std::wstring folder = remote_ui::MakeScratchFolder(L"listplay-bench");
    const std::wstring copy = remote_ui::CopyInto(clipdeck, folder);
    const std::vector<Favorite> favorites = Favorites(withClips);
    PutFavorites(folder, favorites);
    int status = 0;
    {
        remote_ui::Program program(copy);
        std::optional<clipdeck_ui::MainWindows> windows;
        if (!PollUntil([&] { return (windows = clipdeck_ui::FindMain(program.Pid())).has_value(); }, 30000) ||
            !PollUntil([&] { return remote_ui::ReadText(windows->Item(IDT_CONTROL_TITLE)) == clipdeck_ui::kLoadComplete; },
                       20000)) {
            throw Failure("Clipdeck did not start and load its player");
        }
        const size_t slash = folder.find_last_of(L'\\');
        const int unixPid = UnixPidOf(folder.substr(slash + 1));
        Print(L"list play of " + std::to_wstring(videos) + L" videos: " + std::to_wstring(favorites.size()) +
              L" favourites (" + (withClips ? L"8 real clips, 7 simulated" : L"simulated only") +
              L"), about a second each; Linux pid " +
              (unixPid ? std::to_wstring(unixPid) : std::wstring(L"not found")));
        const HWND box = windows->Item(IDX_CONTROL_LISTPLAY);
        const HWND ref = windows->Item(IDE_CONTROL_VIDEOREF);
        const HWND title = windows->Item(IDT_CONTROL_TITLE);
        std::vector<Sample> samples{Take(program.Handle(), unixPid, 0)};
        const double start = NowMs();
        int played = 0, errors = 0, ticks = 0;
        std::wstring shown = remote_ui::ReadText(ref).value_or(L"");
        double lastChange = NowMs();
        while (played < videos) {
            std::optional<bool> ticked = remote_ui::IsChecked(box);
            if (ticked && !*ticked) {
                remote_ui::PostClick(box);
                ++ticks;
                ::Sleep(100);
            }
            std::optional<std::wstring> now = remote_ui::ReadText(ref);
            if (now && *now != shown) {
                shown = *now;
                ++played;
                lastChange = NowMs();
                if (played % every == 0) samples.push_back(Take(program.Handle(), unixPid, played));
            }
            std::wstring t = remote_ui::ReadText(title).value_or(L"");
            if (t.size() > 3 && t[0] >= L'0' && t[0] <= L'9' && t.find(L':') != std::wstring::npos) {
                // An error stops list play on its video: go on with the next.
                ++errors;
                Print(L"  player error on " + shown + L": " + t);
                remote_ui::PostClick(windows->Item(IDB_CONTROL_NEXT));
                ::Sleep(300);
            }
            if (NowMs() - lastChange > 30000) {
                throw Failure(L"list play stalled on " + shown + L" (title " + t + L")");
            }
            ::Sleep(25);
        }
        const double took = (NowMs() - start) / 1000.0;
        PrintTable(samples);
        wchar_t line[200];
        std::swprintf(line, 200, L"  %d videos in %.1f s (%.2f s each), List play ticked %d times, %d player errors",
                      played, took, took / played, ticks, errors);
        Print(line);
        ::PostMessageW(windows->main, WM_CLOSE, 0, 0);
        if (!program.WaitExit(15000)) {
            Print(L"  Clipdeck did not end within 15 s of WM_CLOSE");
            status = 1;
        }
    }
    remote_ui::RemoveScratchFolder(folder);
    return status;
}


// --- bare opens -------------------------------------------------------------

enum OpenWays { kThroughStream = 1, kThreadPerOpen = 2 };

// "http://HOST:PORT/PATH" apart, or nothing.
std::optional<playerctl::MediaLocation> LocationOf(const std::wstring& url) {
    const std::wstring scheme = L"http://";
    if (url.compare(0, scheme.size(), scheme) != 0) return std::nullopt;
    const std::size_t colon = url.find(L':', scheme.size());
    const std::size_t slash = url.find(L'/', scheme.size());
    if (colon == std::wstring::npos || slash == std::wstring::npos || colon > slash) return std::nullopt;
    return playerctl::MediaLocation{url.substr(scheme.size(), colon - scheme.size()),
                                    static_cast<std::uint16_t>(_wtoi(url.substr(colon + 1, slash - colon - 1).c_str())),
                                    url.substr(slash)};
}

// A source reader on `stream` (released here), wrapped in a Media Foundation
// byte stream as the player wraps its own; `contentType` may be null.
IMFSourceReader* ReaderOnStream(IStream* stream, const wchar_t* contentType) {
    if (!stream) return nullptr;
    IMFByteStream* bytes = nullptr;
    HRESULT hr = MFCreateMFByteStreamOnStream(stream, &bytes);
    stream->Release();
    if (FAILED(hr)) return nullptr;
    IMFAttributes* attributes = nullptr;
    if (contentType && SUCCEEDED(bytes->QueryInterface(IID_PPV_ARGS(&attributes)))) {
        attributes->SetString(MF_BYTESTREAM_CONTENT_TYPE, contentType);
        attributes->Release();
    }
    IMFSourceReader* reader = nullptr;
    hr = ::MFCreateSourceReaderFromByteStream(bytes, nullptr, &reader);
    bytes->Release();
    return SUCCEEDED(hr) ? reader : nullptr;
}

IMFSourceReader* OpenReader(const std::wstring& file, int ways) {
    // The address says nothing of the type; the demo clips served are MP4s.
    if (std::optional<playerctl::MediaLocation> where = LocationOf(file))
        return ReaderOnStream(playerctl::MakeCacheStream(playerctl::MakeRangeCache(*where)).Detach(), L"video/mp4");
    if (ways & kThroughStream) {
        IStream* stream = nullptr;
        if (FAILED(::SHCreateStreamOnFileEx(file.c_str(), STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL,
                                            FALSE, nullptr, &stream)))
            return nullptr;
        return ReaderOnStream(stream, nullptr);
    }
    IMFSourceReader* reader = nullptr;
    return SUCCEEDED(::MFCreateSourceReaderFromURL(file.c_str(), nullptr, &reader)) ? reader : nullptr;
}

// Opens `file`, asks for NV12 and PCM, reads `samples` samples and lets it go.
bool OpenOnce(const std::wstring& file, int ways, int samples) {
    IMFSourceReader* reader = OpenReader(file, ways);
    if (!reader) return false;
    const std::pair<DWORD, std::pair<GUID, GUID>> types[] = {
        {MF_SOURCE_READER_FIRST_VIDEO_STREAM, {MFMediaType_Video, MFVideoFormat_NV12}},
        {MF_SOURCE_READER_FIRST_AUDIO_STREAM, {MFMediaType_Audio, MFAudioFormat_PCM}}};
    for (const auto& [stream, type] : types) {
        IMFMediaType* wanted = nullptr;
        if (FAILED(::MFCreateMediaType(&wanted))) continue;
        wanted->SetGUID(MF_MT_MAJOR_TYPE, type.first);
        wanted->SetGUID(MF_MT_SUBTYPE, type.second);
        reader->SetCurrentMediaType(stream, nullptr, wanted);
        wanted->Release();
    }
    for (int k = 0; k < samples; ++k) {
        DWORD stream = 0, flags = 0;
        LONGLONG time = 0;
        IMFSample* sample = nullptr;
        const HRESULT hr = reader->ReadSample(MF_SOURCE_READER_ANY_STREAM, 0, &stream, &flags, &time, &sample);
        if (sample) sample->Release();
        if (FAILED(hr) || (flags & MF_SOURCE_READERF_ENDOFSTREAM)) break;
    }
    reader->Release();
    return true;
}

// The child: opens `file` `opens` times, and after every `every` opens tells
// the parent through the event "<marker>-at" and waits for "<marker>-go".
int OpenLoop(const std::wstring& file, int opens, int every, const std::wstring& marker, int ways, int samples) {
    HANDLE at = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, (marker + L"-at").c_str());
    HANDLE go = ::OpenEventW(SYNCHRONIZE, FALSE, (marker + L"-go").c_str());
    if (!at || !go) return 1;
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ::MFStartup(MF_VERSION);
    int failures = 0;
    for (int i = 0; i <= opens; ++i) {
        if (i % every == 0) {
            ::SetEvent(at);
            if (::WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 1;
        }
        if (i == opens) break;
        bool opened = false;
        if (ways & kThreadPerOpen) {
            std::thread([&] {
                ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                opened = OpenOnce(file, ways, samples);
                ::CoUninitialize();
            }).join();
        } else {
            opened = OpenOnce(file, ways, samples);
        }
        if (!opened) ++failures;
    }
    ::MFShutdown();
    return failures ? 1 : 0;
}

int BareOpens(const std::wstring& file, int opens, int every, int ways, int reads) {
    const std::wstring marker = L"clipdeck-bare-opens-" + std::to_wstring(::GetCurrentProcessId());
    HANDLE at = ::CreateEventW(nullptr, FALSE, FALSE, (marker + L"-at").c_str());
    HANDLE go = ::CreateEventW(nullptr, FALSE, FALSE, (marker + L"-go").c_str());
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --open-loop \"" + file + L"\" " + std::to_wstring(opens) +
                           L" " + std::to_wstring(every) + L" " + marker + L" " + std::to_wstring(ways) +
                           L" " + std::to_wstring(reads);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        throw Failure("cannot start the child");
    Print(L"bare opens of " + file + L", " + std::to_wstring(opens) + L" in all, sampled every " +
          std::to_wstring(every) + L", " + std::to_wstring(reads) + L" samples each" +
          ((ways & kThroughStream) ? L", through a stream" : L"") +
          ((ways & kThreadPerOpen) ? L", a thread per open" : L""));
    std::vector<Sample> samples;
    int unixPid = 0;
    for (int done = 0; done <= opens; done += every) {
        HANDLE waits[] = {at, child.hProcess};
        if (::WaitForMultipleObjects(2, waits, FALSE, 120000) != WAIT_OBJECT_0) throw Failure("the child stopped");
        if (!unixPid) unixPid = UnixPidOf(marker);
        samples.push_back(Take(child.hProcess, unixPid, done));
        ::SetEvent(go);
    }
    ::WaitForSingleObject(child.hProcess, 60000);
    DWORD code = 1;
    ::GetExitCodeProcess(child.hProcess, &code);
    PrintTable(samples);
    if (code != 0) Print(L"the child could not open or read the file every time (exit " + std::to_wstring(code) + L")");
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return code == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 8 && std::wstring(argv[1]) == L"--open-loop")
        return OpenLoop(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), argv[5], _wtoi(argv[6]), _wtoi(argv[7]));
    std::wstring clipdeck, bare;
    int videos = 200, every = 20;
    bool withClips = true;
    int ways = 0;
    int reads = 30;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--simulated-only") {
            withClips = false;
            continue;
        }
        if (option == L"--through-stream" || option == L"--thread-per-open") {
            ways |= option == L"--through-stream" ? kThroughStream : kThreadPerOpen;
            continue;
        }
        if (i + 1 >= argc) break;
        if (option == L"--clipdeck") clipdeck = argv[i + 1];
        else if (option == L"--bare-opens") bare = argv[i + 1];
        else if (option == L"--videos") videos = _wtoi(argv[i + 1]);
        else if (option == L"--every") every = _wtoi(argv[i + 1]);
        else if (option == L"--samples") reads = _wtoi(argv[i + 1]);
        ++i;
    }
    if ((clipdeck.empty() == bare.empty()) || videos <= 0 || every <= 0 || reads <= 0) {
        std::fputs("usage: list_play_bench --clipdeck Clipdeck.exe [--videos 200] [--every 20] [--simulated-only]\n"
                   "       list_play_bench --bare-opens FILE [--videos 200] [--every 20] [--samples 30]\n"
                   "                       [--through-stream] [--thread-per-open]\n",
                   stderr);
        return 2;
    }
    try {
        if (!bare.empty()) return BareOpens(bare, videos, every, ways, reads);
        return Run(clipdeck, videos, every, withClips);
    } catch (const std::exception& e) {
        Print(L"list_play_bench: " + remote_ui::Widen(e.what()));
        return 1;
    }
}
