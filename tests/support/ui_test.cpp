#include "ui_test.h"

#include <commctrl.h>

#include <cstdio>

#include "core/environment.h"
#include "framework/errors.h"

namespace clipdeck::test {

MessageCatcher::MessageCatcher() {
    fw::SetMessageSink([this](HWND, const std::wstring& text) { messages.push_back(text); });
    fw::SetErrorSink([this](HWND, const std::wstring& text) { errors.push_back(text); });
}

MessageCatcher::~MessageCatcher() {
    fw::SetMessageSink(nullptr);
    fw::SetErrorSink(nullptr);
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) return done();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}

namespace {
std::vector<std::pair<UINT_PTR, std::function<void()>>>& pending() {
    static std::vector<std::pair<UINT_PTR, std::function<void()>>> actions;
    return actions;
}

void CALLBACK runPending(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    auto& actions = pending();
    for (size_t i = 0; i < actions.size(); ++i) {
        if (actions[i].first == id) {
            auto action = std::move(actions[i].second);
            actions.erase(actions.begin() + static_cast<long>(i));
            action();
            return;
        }
    }
}
}  // namespace

void RunSoon(std::function<void()> action, UINT delayMs) {
    UINT_PTR id = ::SetTimer(nullptr, 0, delayMs, runPending);
    pending().emplace_back(id, std::move(action));
}

void Click(HWND dialog, int id) {
    HWND button = ::GetDlgItem(dialog, id);
    LONG_PTR type = ::GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX) {
        LRESULT state = ::SendMessageW(button, BM_GETCHECK, 0, 0);
        ::SendMessageW(button, BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    } else if (type == BS_AUTORADIOBUTTON) {
        // Clear the rest of the group, then check this one.
        HWND first = button;
        while (first && !(::GetWindowLongPtrW(first, GWL_STYLE) & WS_GROUP)) first = ::GetWindow(first, GW_HWNDPREV);
        for (HWND b = first; b; b = ::GetWindow(b, GW_HWNDNEXT)) {
            if (b != first && (::GetWindowLongPtrW(b, GWL_STYLE) & WS_GROUP)) break;
            ::SendMessageW(b, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        ::SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    }
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

std::wstring TextOf(HWND window) {
    int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int n = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

std::wstring ItemText(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }

std::wstring ScratchFolder() {
    static std::wstring folder;
    if (folder.empty()) {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"clipdeck-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(::GetTickCount());
        ::CreateDirectoryW(folder.c_str(), nullptr);
    }
    return folder;
}

std::wstring NewDataFolder(const std::wstring& name) {
    static int counter = 0;
    const std::wstring folder = ScratchFolder() + L"\\" + name + L"-" + std::to_wstring(counter++);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    AppEnvironment().directory = folder;
    return folder;
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

}  // namespace clipdeck::test
