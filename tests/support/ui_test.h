#pragma once
// Helpers for tests that drive real dialogs.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace clipdeck::test {

// Collects message boxes and error reports instead of showing them.
class MessageCatcher {
public:
    MessageCatcher();
    ~MessageCatcher();
    std::vector<std::wstring> messages;
    std::vector<std::wstring> errors;
};

// Dispatches pending messages of this thread.
void PumpMessages();
// Pumps until `done` holds or `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Runs `action` from inside the next modal loop (after `delayMs`).
void RunSoon(std::function<void()> action, UINT delayMs = 10);

// Clicks a button of a dialog the way a user would (BN_CLICKED), after
// updating the check state of check boxes and radio buttons.
void Click(HWND dialog, int id);

std::wstring TextOf(HWND window);
std::wstring ItemText(HWND dialog, int id);

// A scratch folder unique to this process (under the temporary folder).
std::wstring ScratchFolder();
// A new, empty folder inside it, "<name>-<n>", made the program folder of the
// environment record, so the data files of a test land there.
std::wstring NewDataFolder(const std::wstring& name);
std::string ReadFileBytes(const std::wstring& path);

}  // namespace clipdeck::test
