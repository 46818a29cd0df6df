#pragma once
// The process-wide environment record: the program folder, where every data
// file lives, and the debug flag.

#include <string>

struct CAppEnvironment {
    std::wstring directory;  // program folder, no trailing backslash
    int debugMode = 0;       // 1 with the debug switch
};

// The one record, or null before first use and after shutdown.
extern CAppEnvironment* appEnvironment;

// The record, created (empty directory, debug off) on first use.
CAppEnvironment& AppEnvironment();
// Deletes the record and resets the pointer.
void ReleaseAppEnvironment();

// `directory` + "\" + fileName.
std::wstring DataFilePath(const std::wstring& fileName);

// The debug switch: exactly "-D482", case-sensitive, as a whole argument.
bool IsDebugSwitch(const std::wstring& argument);

// The variables naming the hosts of the metadata feed and of the player
// movie, "host[:port]" each; the program's own service sets both when it
// starts it.
inline constexpr wchar_t kFeedHostVariable[] = L"CLIPDECK_FEED_HOST";
inline constexpr wchar_t kPlayerHostVariable[] = L"CLIPDECK_PLAYER_HOST";

// Everything before the last backslash of `path`; empty when there is none.
std::wstring FolderOf(const std::wstring& path);

// The value of the process's environment variable `name`, whatever its
// length; empty when it is not set. (Windows only.)
std::wstring EnvironmentVariable(const wchar_t* name);
