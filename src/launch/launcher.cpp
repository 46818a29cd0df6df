#include "launch/launcher.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

#include "common/utf8.h"
#include "core/environment.h"
#include "core/host_wait.h"
#include "core/startup_marks.h"
#include "core/trace.h"
#include "launch/file_kind.h"
#include "launch/link_scheme.h"
#include "launch/service_plan.h"

namespace launch {

namespace {

std::wstring UserVideosFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Videos, 0, nullptr, &path)) && path) folder = path;
    ::CoTaskMemFree(path);
    return folder;
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH + 1] = L"";
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, path);
    return n > 0 && n <= MAX_PATH ? std::wstring(path, n) : std::wstring();
}

std::wstring SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"";
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ' ||
                                message.back() == L'.')) {
        message.pop_back();
    }
    if (message.empty()) message = L"error " + std::to_wstring(error);
    return message;
}

// The last `limit` bytes of a file, or less; empty when it cannot be read.
std::string ReadTail(const std::wstring& path, DWORD limit) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    LARGE_INTEGER size{};
    std::string bytes;
    if (::GetFileSizeEx(file, &size)) {
        LARGE_INTEGER from{};
        from.QuadPart = size.QuadPart > limit ? size.QuadPart - limit : 0;
        ::SetFilePointerEx(file, from, nullptr, FILE_BEGIN);
        bytes.resize(static_cast<size_t>(size.QuadPart - from.QuadPart));
        DWORD read = 0;
        if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
        bytes.resize(read);
    }
    ::CloseHandle(file);
    return bytes;
}

// The service's last words: the last line of its log that is not empty.
std::wstring LastLogLine(const std::wstring& log) {
    std::string tail = ReadTail(log, 1024);
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r')) tail.pop_back();
    const size_t start = tail.find_last_of("\r\n");
    return common::Utf8ToUtf16(start == std::string::npos ? tail : tail.substr(start + 1));
}

HANDLE MakeJob() {
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        ::CloseHandle(job);
        return nullptr;
    }
    return job;
}

// Starts the service suspended, its output going to `log`, which is the one
// handle it inherits: an inherited pipe of ours (a test's output, say) would
// otherwise stay open as long as the service runs.
bool CreateServiceProcess(const std::wstring& program, std::wstring& commandLine, const std::wstring& folder,
                          HANDLE log, PROCESS_INFORMATION& process) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = log;
    startup.StartupInfo.hStdError = log;
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    HANDLE inherited[] = {log};
    DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW;
    if (size > 0 && ::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
        if (::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
                                        nullptr, nullptr)) {
            startup.lpAttributeList = list;
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        }
    }
    const bool started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                          folder.c_str(), &startup.StartupInfo, &process);
    const DWORD error = ::GetLastError();
    if (startup.lpAttributeList) ::DeleteProcThreadAttributeList(list);
    ::SetLastError(error);
    return started;
}

}  // namespace

Launcher::Launcher() : stopEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

Launcher::~Launcher() {
    Stop();
    if (stopEvent_) ::CloseHandle(stopEvent_);
}

void Launcher::Start(Plan plan) {
    if (thread_.joinable()) return;
    if (plan.startService) {
        MarkHostsPending();
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = State::Starting;
    }
    thread_ = std::thread([this, plan = std::move(plan)]() mutable { run(std::move(plan)); });
}

void Launcher::Stop() {
    if (stopEvent_) ::SetEvent(stopEvent_);
    if (thread_.joinable()) thread_.join();
    if (job_) {
        ::TerminateJobObject(job_, 0);
        ::CloseHandle(job_);
        job_ = nullptr;
    }
    if (service_) {
        // Outside a job only when the platform refused one.
        ::TerminateProcess(service_, 0);
        ::CloseHandle(service_);
        service_ = nullptr;
    }
    if (!portFile_.empty()) ::DeleteFileW(portFile_.c_str());
}

void Launcher::NotifyWhenSettled(HWND window, UINT message) {
    std::lock_guard<std::mutex> lock(mutex_);
    notifyWindow_ = window;
    notifyMessage_ = message;
    if (window && (state_ == State::Listening || state_ == State::Failed)) ::PostMessageW(window, message, 0, 0);
}

Launcher::State Launcher::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

int Launcher::port() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return port_;
}

std::wstring Launcher::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

void Launcher::settle(State state, int port, std::wstring failure) {
    if (state == State::Listening) {
        StartupMark("service listening");
        const std::wstring host = ServiceHost(port);
        ::SetEnvironmentVariableW(kFeedHostVariable, host.c_str());
        ::SetEnvironmentVariableW(kPlayerHostVariable, host.c_str());
        StdTrace(L"service listening on %ls\n", host.c_str());
    } else {
        StdTrace(L"service not started: %ls\n", failure.c_str());
    }
    SettleHosts();
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    port_ = port;
    failure_ = std::move(failure);
    if (notifyWindow_) ::PostMessageW(notifyWindow_, notifyMessage_, 0, 0);
}

void Launcher::run(Plan plan) {
    if (plan.startService) startService(plan);
    // Links are registered whether or not the service runs here.
    RegisterLinkSchemeIfMissing(plan.programPath);
}

void Launcher::startService(const Plan& plan) {
    const std::wstring folder = FolderOf(plan.programPath);
    ServiceStart start;
    start.program = folder + L"\\" + kServiceProgram;
    if (!IsFile(start.program)) {
        settle(State::Failed, 0, std::wstring(kServiceProgram) + L" is missing from " + folder + L".");
        return;
    }
    if (IsFile(folder + L"\\" + kServiceCatalogue)) start.catalogue = folder + L"\\" + kServiceCatalogue;
    const std::wstring videos = plan.videosFolder.empty() ? UserVideosFolder() : plan.videosFolder;
    if (IsFolder(videos)) {
        start.mediaFolders.push_back(videos);
    } else {
        StdTrace(L"videos folder not found: %ls\n", videos.c_str());
    }
    if (IsFolder(folder + L"\\" + kDemoFolder)) start.mediaFolders.push_back(folder + L"\\" + kDemoFolder);
    StartupMark("service folders found");
    portFile_ = TempFolder() + L"clipdeck-service-" + std::to_wstring(::GetCurrentProcessId()) + L".port";
    start.portFile = portFile_;

    job_ = MakeJob();
    // The log goes beside the data files; where they cannot be written, nowhere.
    const std::wstring logPath = plan.dataFolder + L"\\" + kServiceLog;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE log = ::CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool logged = log != INVALID_HANDLE_VALUE;
    if (!logged) {
        log = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                            nullptr);
    }

    State outcome = State::Failed;
    int listening = 0;
    std::wstring failure;
    for (bool again = true; again;) {
        again = false;
        ::DeleteFileW(portFile_.c_str());
        std::wstring commandLine = ServiceCommandLine(start);
        PROCESS_INFORMATION process{};
        if (!CreateServiceProcess(start.program, commandLine, folder, log, process)) {
            failure = L"Starting " + start.program + L" failed: " + SystemMessage(::GetLastError()) + L".";
            break;
        }
        // In the job before it runs a single instruction: the program's end
        // is then its end, even when the program is killed.
        if (!job_ || !::AssignProcessToJobObject(job_, process.hProcess)) {
            StdTrace(L"service outside a job: %ls\n", SystemMessage(::GetLastError()).c_str());
        }
        ::ResumeThread(process.hThread);
        ::CloseHandle(process.hThread);
        StartupMark("service started");

        const ULONGLONG deadline = ::GetTickCount64() + kListenLimitMs;
        for (;;) {
            HANDLE waits[2] = {process.hProcess, stopEvent_};
            const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, 20);
            if (woken == WAIT_OBJECT_0 + 1) {
                outcome = State::Idle;  // the program is closing
                ::TerminateProcess(process.hProcess, 0);
                break;
            }
            if (std::optional<int> port = ParsePortFile(ReadTail(portFile_, 16))) {
                outcome = State::Listening;
                listening = *port;
                service_ = process.hProcess;
                process.hProcess = nullptr;
                break;
            }
            if (woken == WAIT_OBJECT_0) {
                DWORD status = 0;
                ::GetExitCodeProcess(process.hProcess, &status);
                if (std::optional<int> next = PortAfterFailedStart(start.port, status)) {
                    StdTrace(L"service could not listen on %d; any free port now\n", start.port);
                    start.port = *next;
                    again = true;
                    break;
                }
                const std::wstring words = logged ? LastLogLine(logPath) : std::wstring();
                failure = L"It stopped at once (exit status " + std::to_wstring(status) + L")" +
                          (words.empty() ? L"." : L": " + words);
                break;
            }
            if (::GetTickCount64() >= deadline) {
                ::TerminateProcess(process.hProcess, 1);
                failure = L"It did not answer within " + std::to_wstring(kListenLimitMs / 1000) + L" seconds.";
                break;
            }
        }
        if (process.hProcess) ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(log);
    ::DeleteFileW(portFile_.c_str());
    if (outcome == State::Idle) return;
    settle(outcome, listening, failure);
}

}  // namespace launch
