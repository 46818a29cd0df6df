// The package's acceptance, run inside a fresh Wine prefix by
// scripts/acceptance.sh: Clipdeck.exe started from the unpacked zip with no
// host configured starts its own service, which serves the user's Videos
// folder; a clip found on the library page plays by its ID; a second start
// with a clipdeck: link hands the link over and ends; closing the program,
// or killing it, ends the service; /unregister removes the links.
//
//   clipdeck_accept PROGRAM_FOLDER [HANDSHAKE_FOLDER]
//
// The clip is the one video file in the user's Videos folder (the known
// folder the program serves).
// With a handshake folder, once the clip plays the driver writes "port" there
// (the service's port) and waits for "shot-done", so that the script can
// take its pictures. Exit status: 0 passed, 1 failed, 2 usage.
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "clipdeck_session.h"
#include "common/utf8.h"
#include "common/win/http_get.h"

namespace {

using namespace clipdeck_session;
using remote_ui::Utf8;
using remote_ui::Widen;

constexpr DWORD kServiceStartMs = 20000;
constexpr DWORD kServiceEndMs = 5000;
constexpr DWORD kHandOverMs = 15000;
constexpr DWORD kShotMs = 120000;
// The clip scripts/acceptance.sh makes is 7 s long, the demo clip 8 s: a
// time read-out tells them apart.
constexpr long kClipSeconds = 7;
// A demo clip of the package, by the file name the library page shows.
constexpr wchar_t kDemoFile[] = L"demo-chart_360.mp4";
constexpr wchar_t kDemoTitle[] = L" demo-chart";

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFile(const std::wstring& path) {
    std::string bytes;
    FILE* in = _wfopen(path.c_str(), L"rb");
    if (!in) return bytes;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
    std::fclose(in);
    return bytes;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) throw Failure(L"cannot write " + path);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

// The clipdeck-service.exe that process `parent` started, or 0.
DWORD ServiceOf(DWORD parent) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, L"clipdeck-service.exe") == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    ::CloseHandle(snapshot);
    return found;
}

DWORD WaitService(DWORD parent) {
    DWORD service = 0;
    if (!PollUntil([&] { return (service = ServiceOf(parent)) != 0; }, kServiceStartMs)) {
        throw Failure("no clipdeck-service.exe started by Clipdeck.exe within " + std::to_string(kServiceStartMs) +
                      " ms");
    }
    return service;
}

void ExpectEnds(DWORD pid, const std::wstring& what) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return;  // gone already
    const bool ended = ::WaitForSingleObject(process, kServiceEndMs) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    if (!ended) throw Failure(what + L" still runs " + std::to_wstring(kServiceEndMs) + L" ms later");
}

// The port of the log's first line, "clipdeck-service listening on 127.0.0.1:PORT".
int ListeningPort(const std::wstring& log) {
    const std::string prefix = "clipdeck-service listening on 127.0.0.1:";
    std::string text;
    if (!PollUntil([&] { return (text = ReadFile(log)).rfind(prefix, 0) == 0 && text.find('\n') != std::string::npos; },
                   kServiceStartMs)) {
        throw Failure("the service's log does not start by listening on loopback; it reads: " + text.substr(0, 300));
    }
    return std::atoi(text.c_str() + prefix.size());
}

std::string LibraryPage(int port) {
    common::HttpGetRequest request;
    request.host = L"127.0.0.1";
    request.port = static_cast<std::uint16_t>(port);
    request.pathAndQuery = L"/";
    request.userAgent = L"clipdeck_accept";
    request.maxBody = 4 << 20;
    common::HttpGetResult result = common::HttpGet(request);
    if (!result.answered || result.status != 200 || !result.complete) {
        throw Failure("the library page did not come (status " + std::to_string(result.status) + ")");
    }
    return result.body;
}

// The ID of the library page's row that lists `file`, checking its link.
std::wstring IdOfFile(const std::string& page, const std::wstring& file) {
    const std::string name = "<span>" + common::Utf16ToUtf8(file) + "</span>";
    const size_t at = page.find(name);
    const size_t row = at == std::string::npos ? std::string::npos : page.rfind("<tr id=\"v-", at);
    if (row == std::string::npos) throw Failure(L"the library page lists no " + file);
    const std::string id = page.substr(row + 10, 11);
    const size_t end = page.find("</tr>", at);
    if (page.substr(row, end - row).find("<a href=\"clipdeck:" + id + "\">Play in Clipdeck</a>") == std::string::npos) {
        throw Failure(L"the row of " + file + L" has no Play in Clipdeck link");
    }
    return Widen(id);
}

// Main windows of Clipdeck, of any process.
int MainWindowCount() {
    int count = 0;
    ::EnumWindows(
        [](HWND window, LPARAM out) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (auto main = clipdeck_ui::FindMain(pid); main && main->main == window) ++*reinterpret_cast<int*>(out);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

std::wstring LinkCommand() {
    wchar_t value[1024] = L"";
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Classes\\clipdeck\\shell\\open\\command", nullptr,
                       RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return L"";
    }
    return value;
}

// The name of the one .mp4 file in the user's Videos folder.
std::wstring ClipInVideos() {
    PWSTR path = nullptr;
    std::wstring videos;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Videos, 0, nullptr, &path)) && path) videos = path;
    ::CoTaskMemFree(path);
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((videos + L"\\*.mp4").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) throw Failure(L"no .mp4 file in the Videos folder " + videos);
    ::FindClose(search);
    return found.cFileName;
}

void Run(const std::wstring& folder, const std::wstring& handshake, Steps& step) {
    const std::wstring exe = folder + L"\\Clipdeck.exe";
    const std::wstring clipFile = ClipInVideos();
    const std::wstring clipTitle = L" " + clipFile.substr(0, clipFile.rfind(L'.'));
    std::optional<Session> s;
    DWORD service = 0;
    int port = 0;
    std::wstring clipId, demoId;

    step(L"no host is configured", [&] {
        for (const wchar_t* name : {L"CLIPDECK_FEED_HOST", L"CLIPDECK_PLAYER_HOST"}) {
            if (::GetEnvironmentVariableW(name, nullptr, 0) != 0) throw Failure(std::wstring(name) + L" is set");
        }
        if (FileExists(folder + L"\\Clipdeck.ini")) throw Failure("the folder already has a Clipdeck.ini");
    });
    step(L"Clipdeck.exe starts and starts its service", [&] {
        s.emplace(exe);
        service = WaitService(s->Pid());
        port = ListeningPort(folder + L"\\clipdeck-service.log");
        Print(L"        service pid " + std::to_wstring(service) + L" on 127.0.0.1:" + std::to_wstring(port));
    });
    step(L"the player gets ready", [&] { s->WaitReady(); });
    step(L"the library page lists the clip from the Videos folder and the demo clips", [&] {
        // The service reads its folders behind its first answers.
        std::string page;
        const auto lists = [&](const std::wstring& file) {
            return page.find("<span>" + common::Utf16ToUtf8(file) + "</span>") != std::string::npos;
        };
        PollUntil(
            [&] {
                page = LibraryPage(port);
                return lists(clipFile) && lists(kDemoFile) && page.find("id=\"scanning\"") == std::string::npos;
            },
            kServiceStartMs, 200);
        clipId = IdOfFile(page, clipFile);
        demoId = IdOfFile(page, kDemoFile);
        Print(L"        " + clipFile + L" is " + clipId + L", " + kDemoFile + L" is " + demoId);
    });
    step(L"the clip plays by its ID", [&] {
        ExpectBufferingThenPlay(*s, s->PlayTyped(clipId));
        s->WaitTextIs(IDT_CONTROL_TITLE, clipTitle, kTickMs);
        ExpectTimeMoves(*s, kClipSeconds);
    });
    if (!handshake.empty()) {
        step(L"pictures taken", [&] {
            WriteFile(handshake + L"\\port", std::to_string(port) + "\n");
            if (!PollUntil([&] { return FileExists(handshake + L"\\shot-done"); }, kShotMs, 100)) {
                throw Failure("no pictures within " + std::to_string(kShotMs) + " ms");
            }
        });
    }
    step(L"Clipdeck.exe clipdeck:ID hands the link over and ends", [&] {
        remote_ui::Program second(exe, L"clipdeck:" + demoId);
        if (!second.WaitExit(kHandOverMs)) throw Failure("the second start did not end");
        if (second.ExitCode() != 0) throw Failure("the second start ended with " + std::to_string(second.ExitCode()));
        if (int windows = MainWindowCount(); windows != 1) {
            throw Failure("there are " + std::to_string(windows) + " main windows");
        }
    });
    step(L"the running program plays the demo clip", [&] {
        s->WaitTextIs(IDE_CONTROL_VIDEOREF, demoId, kEventMs);
        s->WaitTextIs(IDT_CONTROL_TITLE, kDemoTitle, kEventMs);
        s->WatchStatusUntil(L"Play", kEventMs);
        ExpectTimeMoves(*s, 8);
        if (MainWindowCount() != 1) throw Failure("a second main window appeared");
    });
    step(L"the links start this Clipdeck.exe", [&] {
        const std::wstring expected = L"\"" + exe + L"\" \"%1\"";
        if (std::wstring command = LinkCommand(); _wcsicmp(command.c_str(), expected.c_str()) != 0) {
            throw Failure(L"the link command is " + Quoted(command) + L", not " + Quoted(expected));
        }
    });
    step(L"closing the program ends the service", [&] {
        s->Close();
        ExpectEnds(service, L"the service");
    });
    s.reset();
    step(L"a killed program takes its service along", [&] {
        Session again(exe);
        const DWORD next = WaitService(again.Pid());
        again.WaitReady();
        again.Process().Kill();
        ExpectEnds(next, L"the service of the killed program");
    });
    step(L"Clipdeck.exe /unregister removes the links", [&] {
        remote_ui::Program unregister(exe, L"/unregister");
        HWND box = nullptr;
        const std::wstring said = L"The clipdeck: links no longer start Clipdeck.";
        if (!PollUntil([&] { return (box = remote_ui::FindMessageBox(unregister.Pid(), said)) != nullptr; }, kStartMs)) {
            throw Failure(L"no message box " + Quoted(said) + L"; the windows:\n" +
                          remote_ui::DescribeWindows(unregister.Pid()));
        }
        remote_ui::PostClick(::GetDlgItem(box, IDOK));
        if (!unregister.WaitExit(kExitMs)) throw Failure("it did not end after OK");
        if (!LinkCommand().empty()) throw Failure("the link command is still there");
        if (MainWindowCount() != 0) throw Failure("it showed a main window");
    });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2 || argc > 3) {
        std::fputs("usage: clipdeck_accept PROGRAM_FOLDER [HANDSHAKE_FOLDER]\n", stderr);
        return 2;
    }
    Steps step;
    try {
        Run(argv[1], argc > 2 ? argv[2] : L"", step);
    } catch (const std::exception& e) {
        Print(L"  FAIL  " + (step.Current().empty() ? std::wstring(L"setting up") : step.Current()));
        Print(L"        " + Widen(e.what()));
        return 1;
    }
    Print(L"acceptance passed");
    return 0;
}
