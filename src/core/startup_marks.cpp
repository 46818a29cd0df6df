#include "core/startup_marks.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "core/environment.h"

namespace {

// The file named by the environment, read once; empty when marks are off.
const std::wstring& marksFile() {
    static const std::wstring path = EnvironmentVariable(L"CLIPDECK_STARTUP_MARKS");
    return path;
}

}  // namespace

void StartupMark(const char* label) {
    if (marksFile().empty()) return;
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    const double ms = static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    char line[160];
    int length = std::snprintf(line, sizeof line, "%.3f %s\n", ms, label);
    if (length <= 0) return;
    // Opened for each mark: marks come from more than one thread, and an
    // append of one short write keeps the lines whole.
    HANDLE file = ::CreateFileW(marksFile().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, line, static_cast<DWORD>(std::min<int>(length, sizeof line - 1)), &written, nullptr);
    ::CloseHandle(file);
}
