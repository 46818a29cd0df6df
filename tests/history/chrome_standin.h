#pragma once
// What the capture tests and the Chrome stand-in (chrome.exe) share.

#include <windows.h>

#include <string>

inline constexpr wchar_t kFrameClass[] = L"Chrome_WidgetWin_1";
inline constexpr wchar_t kContainerClass[] = L"Chrome_OmniboxContainer";
inline constexpr wchar_t kAddressClass[] = L"Chrome_AutocompleteEditView";
inline constexpr int kAddressControlId = 5;

// Posted to the top-level window: stop answering until released.
inline constexpr UINT kHangMessage = WM_APP + 1;

inline std::wstring HangingEventName(DWORD pid) { return L"clipdeck-chrome-standin-hanging-" + std::to_wstring(pid); }
inline std::wstring ReleaseEventName(DWORD pid) { return L"clipdeck-chrome-standin-release-" + std::to_wstring(pid); }
