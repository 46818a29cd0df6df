#pragma once
// Drives another process's windows from outside, the way a user's tools
// would: window messages only, nothing shared with the program. Every wait
// is bounded, and a window that stops answering reads as unreadable rather
// than hanging the caller.

#include <windows.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace remote_ui {

std::string Utf8(std::wstring_view text);
std::wstring Widen(std::string_view utf8);

// A step that did not come true; the text says what was awaited and what was seen.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& what) : std::runtime_error(what) {}
    explicit Failure(const std::wstring& what) : std::runtime_error(Utf8(what)) {}
};

// Prints one line to standard output in UTF-8 and flushes it.
void Print(std::wstring_view line);

// Milliseconds on a monotonic clock.
double NowMs();

// Calls `probe` every `pollMs` until it returns true or `timeoutMs` passes;
// returns whether it came true.
bool PollUntil(const std::function<bool()>& probe, DWORD timeoutMs, DWORD pollMs = 50);

// How long a read or write waits for the other process to answer.
constexpr UINT kAnswerMs = 5000;

// WM_GETTEXT: across processes GetWindowText returns nothing for controls.
std::optional<std::wstring> ReadText(HWND window);
// WM_SETTEXT, as pasting into a box would leave it.
bool WriteText(HWND window, const std::wstring& text);
// Posts BM_CLICK: a click that opens a modal loop (a message box) must not
// block the driver.
void PostClick(HWND button);
std::optional<int> ProgressPos(HWND bar);
std::optional<bool> IsChecked(HWND box);
std::wstring ClassOf(HWND window);

std::vector<HWND> TopLevelWindows(DWORD pid);
std::vector<HWND> ChildWindows(HWND parent);

// A dialog of process `pid`, other than `except`, with a static control
// reading `text`: how a message box looks from outside.
HWND FindMessageBox(DWORD pid, const std::wstring& text, HWND except = nullptr);
// One line per top-level window of `pid` (class, caption, static texts), for
// failure reports.
std::wstring DescribeWindows(DWORD pid);

// A folder of its own under the temporary folder, named after `tag`.
std::wstring MakeScratchFolder(const std::wstring& tag);
// Copies `file` into `folder`; returns the copy's path.
std::wstring CopyInto(const std::wstring& file, const std::wstring& folder);
// Deletes the files of `folder` and the folder itself (one level only).
void RemoveScratchFolder(const std::wstring& folder);
std::wstring FolderOf(const std::wstring& path);

// A program started for the driver. It runs in a job that ends it when the
// driver's handle goes, so a driver that dies leaves nothing behind; the
// destructor ends it too if it still runs.
class Program {
public:
    // Starts `exe` with its own folder as working folder. Throws Failure.
    explicit Program(const std::wstring& exe, const std::wstring& arguments = L"");
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    DWORD Pid() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    // NowMs() just before the process was created.
    double StartedMs() const { return startedMs_; }
    bool Running() const;
    bool WaitExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;
    void Kill();

private:
    PROCESS_INFORMATION info_{};
    HANDLE job_ = nullptr;
    double startedMs_ = 0;
};

}  // namespace remote_ui
