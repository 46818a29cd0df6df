#include "launch/single_instance.h"

#include "launch/hand_over.h"

namespace launch {

namespace {

// What the object holds: the running program's process ID, and its main
// window once it has one.
struct Published {
    volatile LONG64 window;
    DWORD process;
};

bool Running(DWORD pid) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

}  // namespace

SingleInstance::~SingleInstance() {
    if (view_) ::UnmapViewOfFile(view_);
    if (mapping_) ::CloseHandle(mapping_);
}

bool SingleInstance::Claim(const std::wstring& folder) {
    const std::wstring name = InstanceName(folder);
    HANDLE mapping =
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Published), name.c_str());
    if (!mapping) return true;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mapping);
        return false;
    }
    mapping_ = mapping;
    view_ = ::MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(Published));
    if (view_) static_cast<Published*>(view_)->process = ::GetCurrentProcessId();
    return true;
}

void SingleInstance::Publish(HWND mainWindow) {
    if (!view_) return;
    ::InterlockedExchange64(&static_cast<Published*>(view_)->window,
                            static_cast<LONG64>(reinterpret_cast<ULONG_PTR>(mainWindow)));
}

HandOverResult HandOverArguments(const std::wstring& folder, const std::vector<std::wstring>& arguments,
                                 DWORD waitMs) {
    HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, InstanceName(folder).c_str());
    if (!mapping) return HandOverResult::NoWindow;
    const auto* published = static_cast<const Published*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    const ULONGLONG deadline = ::GetTickCount64() + waitMs;
    HWND window = nullptr;
    while (published) {
        window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(published->window));
        if ((window && ::IsWindow(window)) || ::GetTickCount64() >= deadline) break;
        // A program that is closing has withdrawn its window; once it has
        // ended, this start may take the folder.
        if (published->process && !Running(published->process)) break;
        ::Sleep(20);
    }
    if (published) ::UnmapViewOfFile(published);
    ::CloseHandle(mapping);
    if (!window || !::IsWindow(window)) return HandOverResult::NoWindow;

    // This start is what the user just did, so it may give the foreground
    // away; the running program then takes it.
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    ::AllowSetForegroundWindow(process);
    const std::wstring block = EncodeArguments(arguments);
    COPYDATASTRUCT data{};
    data.dwData = kHandOverTag;
    data.cbData = static_cast<DWORD>(block.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(block.data());
    DWORD_PTR answer = 0;
    const DWORD remaining = static_cast<DWORD>(deadline > ::GetTickCount64() ? deadline - ::GetTickCount64() : 0);
    if (!::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               remaining > 1000 ? remaining : 1000, &answer) ||
        answer != TRUE) {
        return HandOverResult::NoAnswer;
    }
    return HandOverResult::Delivered;
}

}  // namespace launch
