#pragma once
// What browser capture decides, apart from the windows it looks at: which
// child window is a browser's address bar, when a read address counts as
// new, and whether an address becomes a history entry.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/video_item.h"

enum class CaptureBrowser { InternetExplorer, Chrome };

// The executable base names capture recognises, compared in upper case.
inline constexpr wchar_t kIEProcessName[] = L"IEXPLORE.EXE";
inline constexpr wchar_t kChromeProcessName[] = L"CHROME.EXE";

// Window texts are read into this many units: at most 511 characters.
inline constexpr std::size_t kWindowTextBuffer = 512;

// A watch address holds the service's domain followed by a slash, and is
// longer than the bare site address.
inline constexpr wchar_t kCaptureDomain[] = L"youtube.com/";
inline constexpr std::size_t kMinVideoAddressLength = 24;

std::wstring UpperCaseName(std::wstring name);

// Internet Explorer's address bar is an "Edit" showing "http://"; Chrome's is
// a "Chrome_AutocompleteEditView" showing "www.". Both tests are exact and
// case-sensitive.
bool IsAddressBar(CaptureBrowser browser, std::wstring_view className, std::wstring_view text);

// The index of the first of `children` (records with `className` and `text`)
// that is the browser's address bar.
template <class Child>
std::optional<std::size_t> FindAddressBar(CaptureBrowser browser, const std::vector<Child>& children) {
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (IsAddressBar(browser, children[i].className, children[i].text)) return i;
    }
    return std::nullopt;
}

// Records the address bar text `read` as the last address and returns true,
// unless it equals `lastAddress`. Chrome hides the scheme of addresses that
// start with "www.", which get "http://" back first.
bool TakeNewAddress(CaptureBrowser browser, std::wstring read, std::wstring& lastAddress);

// The video ID that a captured address stands for; empty when the address is
// not a video page of the service.
std::wstring CapturedVideoId(const std::wstring& address);

// FetchVideoInfo's shape: a result code (kFetchOk on success) and the reply.
using VideoInfoFetch = std::function<int(std::wstring videoId, std::wstring* reply)>;

// The history entry for a captured address: its video ID with the title and
// length from the fetched metadata (an empty title is accepted), the other
// fields at their defaults. Nothing when the address is not a video page of
// the service or the fetch does not succeed; nothing is fetched then.
std::optional<VideoItem> HistoryItemFromAddress(const std::wstring& address, const VideoInfoFetch& fetch);
