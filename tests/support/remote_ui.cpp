#include "remote_ui.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

namespace remote_ui {
namespace {

// A text this long comes back whole in one read; longer ones need a second.
constexpr size_t kFirstReadChars = 4096;

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == found->first) found->second.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

bool SameClass(HWND window, const wchar_t* name) { return ::_wcsicmp(ClassOf(window).c_str(), name) == 0; }

std::string LastErrorText(const char* what) {
    char text[128];
    std::snprintf(text, sizeof text, "%s failed (error %lu)", what, ::GetLastError());
    return text;
}

}  // namespace

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

void Print(std::wstring_view line) {
    std::string bytes = Utf8(line);
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

bool PollUntil(const std::function<bool()>& probe, DWORD timeoutMs, DWORD pollMs) {
    const double end = NowMs() + timeoutMs;
    for (;;) {
        if (probe()) return true;
        if (NowMs() >= end) return false;
        ::Sleep(pollMs);
    }
}

std::optional<std::wstring> ReadText(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kAnswerMs, &length)) return std::nullopt;
    // The text may grow between the two messages; a read that fills the
    // buffer is taken again with room to spare.
    size_t room = length + 1 > kFirstReadChars ? length + 1 : kFirstReadChars;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring text(room, L'\0');
        DWORD_PTR copied = 0;
        if (!::SendMessageTimeoutW(window, WM_GETTEXT, room, reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                                   kAnswerMs, &copied)) {
            return std::nullopt;
        }
        if (copied + 1 < room) {
            text.resize(copied);
            return text;
        }
        room *= 4;
    }
    return std::nullopt;
}

bool WriteText(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                                 kAnswerMs, &result) != 0 &&
           result != 0;
}

void PostClick(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

std::optional<int> ProgressPos(HWND bar) {
    DWORD_PTR pos = 0;
    if (!::SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, kAnswerMs, &pos)) return std::nullopt;
    return static_cast<int>(pos);
}

std::optional<bool> IsChecked(HWND box) {
    DWORD_PTR state = 0;
    if (!::SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_NORMAL, kAnswerMs, &state)) return std::nullopt;
    return state == BST_CHECKED;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

std::vector<HWND> TopLevelWindows(DWORD pid) {
    std::pair<DWORD, std::vector<HWND>> found{pid, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND FindMessageBox(DWORD pid, const std::wstring& text, HWND except) {
    for (HWND window : TopLevelWindows(pid)) {
        if (window == except || !SameClass(window, L"#32770") || !::IsWindowVisible(window)) continue;
        for (HWND child : ChildWindows(window)) {
            if (!SameClass(child, L"Static")) continue;
            if (ReadText(child) == text) return window;
        }
    }
    return nullptr;
}

std::wstring DescribeWindows(DWORD pid) {
    std::wstring out;
    for (HWND window : TopLevelWindows(pid)) {
        out += L"    ";
        out += ClassOf(window);
        out += ::IsWindowVisible(window) ? L" (visible) \"" : L" (hidden) \"";
        out += ReadText(window).value_or(L"<no answer>");
        out += L"\"";
        if (SameClass(window, L"#32770") && ::IsWindowVisible(window)) {
            for (HWND child : ChildWindows(window)) {
                if (!SameClass(child, L"Static")) continue;
                std::wstring text = ReadText(child).value_or(L"");
                if (!text.empty()) out += L" [" + text + L"]";
            }
        }
        out += L"\n";
    }
    return out.empty() ? L"    (no windows)\n" : out;
}

std::wstring MakeScratchFolder(const std::wstring& tag) {
    wchar_t temp[MAX_PATH];
    DWORD n = ::GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) throw Failure(LastErrorText("GetTempPathW"));
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::wstring folder = std::wstring(temp) + L"clipdeck-" + tag + L"-" + std::to_wstring(::GetCurrentProcessId()) +
                              L"-" + std::to_wstring(::GetTickCount() + attempt);
        if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw Failure(LastErrorText("CreateDirectoryW"));
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::wstring CopyInto(const std::wstring& file, const std::wstring& folder) {
    size_t slash = file.find_last_of(L"\\/");
    std::wstring copy = folder + L"\\" + (slash == std::wstring::npos ? file : file.substr(slash + 1));
    if (!::CopyFileW(file.c_str(), copy.c_str(), TRUE)) {
        throw Failure("cannot copy " + Utf8(file) + " to " + Utf8(copy) + ": " + LastErrorText("CopyFileW"));
    }
    return copy;
}

void RemoveScratchFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                ::DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
            }
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

Program::Program(const std::wstring& exe, const std::wstring& arguments) {
    job_ = ::CreateJobObjectW(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    const std::wstring folder = FolderOf(exe);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startedMs_ = NowMs();
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          folder.c_str(), &startup, &info_)) {
        std::string error = LastErrorText("CreateProcessW");
        if (job_) ::CloseHandle(job_);
        throw Failure("cannot start " + Utf8(exe) + ": " + error);
    }
    if (job_) ::AssignProcessToJobObject(job_, info_.hProcess);
    ::ResumeThread(info_.hThread);
}

Program::~Program() {
    Kill();
    if (info_.hThread) ::CloseHandle(info_.hThread);
    if (info_.hProcess) ::CloseHandle(info_.hProcess);
    if (job_) ::CloseHandle(job_);
}

bool Program::Running() const { return ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

bool Program::WaitExit(DWORD timeoutMs) const {
    return ::WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Program::ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void Program::Kill() {
    if (!info_.hProcess || !Running()) return;
    ::TerminateProcess(info_.hProcess, 1);
    WaitExit(5000);
}

}  // namespace remote_ui
