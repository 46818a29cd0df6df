#include "history/capture_rules.h"

#include <cwctype>
#include <utility>

#include "videoinfo/video_info_fetch.h"
#include "videoinfo/video_info_parse.h"
#include "videoinfo/video_ref.h"

namespace {

constexpr std::wstring_view kIEAddressClass = L"Edit";
constexpr std::wstring_view kIEAddressMark = L"http://";
constexpr std::wstring_view kChromeAddressClass = L"Chrome_AutocompleteEditView";
constexpr std::wstring_view kChromeAddressMark = L"www.";

bool Contains(std::wstring_view text, std::wstring_view part) { return text.find(part) != std::wstring_view::npos; }

}  // namespace

std::wstring UpperCaseName(std::wstring name) {
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
    return name;
}

bool IsAddressBar(CaptureBrowser browser, std::wstring_view className, std::wstring_view text) {
    if (browser == CaptureBrowser::InternetExplorer)
        return className == kIEAddressClass && Contains(text, kIEAddressMark);
    return className == kChromeAddressClass && Contains(text, kChromeAddressMark);
}

bool TakeNewAddress(CaptureBrowser browser, std::wstring read, std::wstring& lastAddress) {
    if (browser == CaptureBrowser::Chrome && read.rfind(kChromeAddressMark, 0) == 0) read.insert(0, L"http://");
    if (read == lastAddress) return false;
    lastAddress = std::move(read);
    return true;
}

std::wstring CapturedVideoId(const std::wstring& address) {
    if (!Contains(address, kCaptureDomain)) return {};
    if (address.size() < kMinVideoAddressLength) return {};
    return ParseVideoRef(address);
}

std::optional<VideoItem> HistoryItemFromAddress(const std::wstring& address, const VideoInfoFetch& fetch) {
    std::wstring id = CapturedVideoId(address);
    if (id.empty()) return std::nullopt;
    std::wstring reply;
    if (fetch(id, &reply) != kFetchOk) return std::nullopt;
    VideoItem item;
    item.videoId = std::move(id);
    item.title = ParseTitle(reply);
    item.duration = ParseDuration(reply);
    return item;
}
