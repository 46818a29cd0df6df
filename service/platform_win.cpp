#include "platform.h"

#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

#include "common/utf8.h"

namespace clipdeck::service {

namespace {

// wchar_t is 16 bits here: the helpers' UTF-16 is the system's own.
std::wstring Wide(const std::string& utf8) { return common::Utf8ToUtf16(utf8); }

std::string Utf8(const wchar_t* text) {
    return common::Utf16ToUtf8(std::wstring_view(text));
}

// Set by the console's control handler, which Windows calls on a thread of
// its own; Wait looks at it.
std::atomic<bool> stopAsked{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        stopAsked = true;
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void PrepareProcess() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> Arguments(int, char**) {
    // The narrow command line is in the ANSI code page: take the wide one.
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; words != nullptr && i < count; ++i) args.push_back(Utf8(words[i]));
    if (words != nullptr) LocalFree(words);
    return args;
}

std::string ProgramFolder() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? "." : Utf8(path.substr(0, slash).c_str());
}

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

bool ReplaceFile(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::unique_ptr<OpenedFile> OpenedFile::Open(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return nullptr;
    }
    return std::unique_ptr<OpenedFile>(
        new OpenedFile(reinterpret_cast<std::intptr_t>(file), static_cast<std::uint64_t>(size.QuadPart)));
}

OpenedFile::~OpenedFile() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

long long OpenedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    // A read at an offset of its own: each request has its handle, so nothing is shared.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, want, &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return got;
}

StopRequests::StopRequests() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

StopRequests::~StopRequests() { SetConsoleCtrlHandler(OnConsoleControl, FALSE); }

bool StopRequests::Wait(const std::function<bool()>& done) {
    while (!done()) {
        if (stopAsked) return true;
        Sleep(100);
    }
    return false;
}

void SetListeningOptions(std::intptr_t socket) {
    // The port is this service's alone; SO_REUSEADDR would let another bind it.
    BOOL yes = TRUE;
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
}

std::string LastSocketError() {
    const int code = WSAGetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text != nullptr ? Utf8(text) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace clipdeck::service
