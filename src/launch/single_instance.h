#pragma once
// One program per data folder: the first start holds a named object for its
// folder and publishes its main window there; a later start on the same
// folder hands its command line to that window and ends. Two programs thus
// never write one list file at once.

#include <windows.h>

#include <string>
#include <vector>

namespace launch {

class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Claims `folder` for this process; false when a running program holds
    // it already (or the object cannot be made, which claims nothing).
    bool Claim(const std::wstring& folder);
    // The window later starts hand their command lines to (null: none).
    void Publish(HWND mainWindow);

private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

enum class HandOverResult { Delivered, NoWindow, NoAnswer };

// Hands `arguments` (the program first) to the program that holds `folder`,
// allowing it to come to the front. Waits up to `waitMs` for its main window
// to be published (it may be starting too) and for its answer.
HandOverResult HandOverArguments(const std::wstring& folder, const std::vector<std::wstring>& arguments,
                                 DWORD waitMs);

}  // namespace launch
