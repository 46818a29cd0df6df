// What capture decides: the address bar, a new address, a history entry.
#include "history/capture_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "videoinfo/video_info_fetch.h"

namespace {

struct Child {
    std::wstring className;
    std::wstring text;
};

constexpr auto kIE = CaptureBrowser::InternetExplorer;
constexpr auto kChrome = CaptureBrowser::Chrome;

const std::wstring kWatch = L"http://www.youtube.com/watch?v=cdPlain0001";

std::wstring Entry(const std::wstring& title, const std::wstring& seconds) {
    return L"<?xml version='1.0' encoding='UTF-8'?><entry xmlns='http://www.w3.org/2005/Atom'>"
           L"<id>tag:cdPlain0001</id><title type='text'>" + title + L"</title><media:group>"
           L"<media:title type='plain'>" + title + L"</media:title><yt:duration seconds='" + seconds +
           L"'/></media:group></entry>";
}

// A fetch that records what it was asked and answers as told.
struct ScriptedFetch {
    int result = kFetchOk;
    std::wstring reply;
    std::vector<std::wstring> asked;

    VideoInfoFetch fn() {
        return [this](std::wstring id, std::wstring* out) {
            asked.push_back(id);
            *out = result == kFetchOk ? reply : std::wstring();
            return result;
        };
    }
};

}  // namespace

TEST(CaptureAddressBar, InternetExplorerTakesTheFirstEditShowingHttp) {
    std::vector<Child> children = {
        {L"ReBarWindow32", L"http://www.youtube.com/"},  // right text, wrong class
        {L"Edit", L"about:blank"},                       // right class, no scheme
        {L"edit", L"http://lower.example/"},             // class compared exactly
        {L"Edit", L"HTTP://upper.example/"},             // so is the scheme
        {L"Edit", L"see http://first.example/"},         // anywhere in the text
        {L"Edit", L"http://second.example/"},
    };
    EXPECT_EQ(FindAddressBar(kIE, children), 4u);
    EXPECT_EQ(FindAddressBar(kChrome, children), std::nullopt);
    children.resize(4);
    EXPECT_EQ(FindAddressBar(kIE, children), std::nullopt);
    // An https address alone does not show "http://".
    EXPECT_FALSE(IsAddressBar(kIE, L"Edit", L"https://www.youtube.com/watch?v=cdPlain0001"));
}

TEST(CaptureAddressBar, ChromeTakesTheFirstAutocompleteViewShowingWww) {
    std::vector<Child> children = {
        {L"Chrome_AutocompleteEditView", L"youtube.com/watch?v=cdPlain0001"},
        {L"Edit", L"www.youtube.com/"},
        {L"Chrome_AutocompleteEditView", L"https://www.youtube.com/"},
        {L"Chrome_AutocompleteEditView", L"www.youtube.com/watch?v=cdPlain0002"},
    };
    EXPECT_EQ(FindAddressBar(kChrome, children), 2u);
    EXPECT_EQ(FindAddressBar(kIE, children), std::nullopt);
    EXPECT_FALSE(IsAddressBar(kChrome, L"Chrome_AutocompleteEditView", L"WWW.youtube.com/"));
    EXPECT_EQ(FindAddressBar(kChrome, std::vector<Child>{}), std::nullopt);
}

TEST(CaptureNewAddress, OnlyAChangedTextIsTakenAndChromeGetsItsSchemeBack) {
    std::wstring last;
    EXPECT_TRUE(TakeNewAddress(kIE, kWatch, last));
    EXPECT_EQ(last, kWatch);
    EXPECT_FALSE(TakeNewAddress(kIE, kWatch, last));
    EXPECT_FALSE(TakeNewAddress(kChrome, L"www.youtube.com/watch?v=cdPlain0001", last));  // the same once completed

    EXPECT_TRUE(TakeNewAddress(kChrome, L"www.youtube.com/watch?v=cdPlain0002", last));
    EXPECT_EQ(last, L"http://www.youtube.com/watch?v=cdPlain0002");
    // Internet Explorer's text is never completed.
    EXPECT_TRUE(TakeNewAddress(kIE, L"www.youtube.com/watch?v=cdPlain0002", last));
    EXPECT_EQ(last, L"www.youtube.com/watch?v=cdPlain0002");
    // Chrome texts that do not start with "www." stay as read.
    for (const std::wstring text : {L"https://www.youtube.com/", L"cats www.", L" www.youtube.com/", L""}) {
        EXPECT_TRUE(TakeNewAddress(kChrome, text, last)) << text;
        EXPECT_EQ(last, text);
    }
}

TEST(CaptureUpperCase, ProcessNamesCompareInUpperCase) {
    EXPECT_EQ(UpperCaseName(L"iexplore.exe"), kIEProcessName);
    EXPECT_EQ(UpperCaseName(L"Chrome.Exe"), kChromeProcessName);
    EXPECT_EQ(UpperCaseName(L"a-b_1.EXE"), L"A-B_1.EXE");
}

TEST(CaptureVideoId, OnlyVideoPagesOfTheServiceGiveAnId) {
    EXPECT_EQ(CapturedVideoId(kWatch), L"cdPlain0001");
    EXPECT_EQ(CapturedVideoId(L"http://www.youtube.com/watch?feature=x&v=cdPlain0001&t=3"), L"cdPlain0001");
    // The first "v=" counts, wherever it is.
    EXPECT_EQ(CapturedVideoId(L"http://www.youtube.com/watch?dev=1&v=cdPlain0001"), L"1&v=cdPlain");
    EXPECT_EQ(CapturedVideoId(L"http://www.youtube.com/user/someone"), L"");  // a channel page
    EXPECT_EQ(CapturedVideoId(L"http://www.example.com/watch?v=cdPlain0001"), L"");
    EXPECT_EQ(CapturedVideoId(L"http://www.YouTube.com/watch?v=cdPlain0001"), L"");
    EXPECT_EQ(CapturedVideoId(L"http://www.youtube.com?v=cdPlain0001"), L"");  // no slash after the domain
    // The secure scheme has no "http://", and the address is no bare ID.
    EXPECT_EQ(CapturedVideoId(L"https://www.youtube.com/watch?v=cdPlain0001"), L"");
}

TEST(CaptureVideoId, AnAddressMustBeAtLeast24CharactersLong) {
    const std::wstring at23 = L"http://youtube.com/?v=a";  // 23 characters
    ASSERT_EQ(at23.size(), 23u);
    EXPECT_EQ(CapturedVideoId(at23), L"");
    EXPECT_EQ(CapturedVideoId(at23 + L"b"), L"ab");  // a short remainder is still an ID
    // 11 characters that hold the domain are not read as a bare ID: too short.
    EXPECT_EQ(CapturedVideoId(L"youtube.com/"), L"");
    // Without "http://" only an address of exactly 11 characters would be an
    // ID, and none of 24 or more is.
    EXPECT_EQ(CapturedVideoId(L"www.youtube.com/watch?v=cdPlain0001"), L"");
}

TEST(CaptureHistoryItem, AVideoPageBecomesAnItemWithTheFetchedTitleAndLength) {
    ScriptedFetch fetch;
    fetch.reply = Entry(L"Salt &amp; Pepper", L"3725");
    const std::optional<VideoItem> item = HistoryItemFromAddress(kWatch + L"&feature=related", fetch.fn());
    ASSERT_TRUE(item);
    EXPECT_EQ(fetch.asked, std::vector<std::wstring>{L"cdPlain0001"});
    EXPECT_EQ(item->videoId, L"cdPlain0001");
    EXPECT_EQ(item->title, L"Salt & Pepper");
    EXPECT_EQ(item->duration, 3725);
    const VideoItem defaults;
    EXPECT_EQ(item->volume, defaults.volume);
    EXPECT_EQ(item->startPos, defaults.startPos);
    EXPECT_EQ(item->endPos, defaults.endPos);
}

TEST(CaptureHistoryItem, AnEmptyTitleIsAccepted) {
    ScriptedFetch fetch;
    fetch.reply = Entry(L"", L"8");
    const std::optional<VideoItem> item = HistoryItemFromAddress(kWatch, fetch.fn());
    ASSERT_TRUE(item);
    EXPECT_EQ(item->title, L"");
    EXPECT_EQ(item->duration, 8);
}

TEST(CaptureHistoryItem, AFailedFetchGivesNothing) {
    for (int result : {kFetchHttpStatus, kFetchNoTarget, kFetchClientError}) {
        ScriptedFetch fetch;
        fetch.result = result;
        EXPECT_FALSE(HistoryItemFromAddress(kWatch, fetch.fn())) << result;
        EXPECT_EQ(fetch.asked.size(), 1u);
    }
}

TEST(CaptureHistoryItem, NothingIsFetchedForAnAddressThatIsNoVideoPage) {
    ScriptedFetch fetch;
    fetch.reply = Entry(L"Never asked", L"1");
    for (const std::wstring address : {L"http://www.youtube.com/", L"http://www.youtube.com/user/someone",
                                       L"http://www.example.com/watch?v=cdPlain0001", L""}) {
        EXPECT_FALSE(HistoryItemFromAddress(address, fetch.fn())) << address;
    }
    EXPECT_TRUE(fetch.asked.empty());
}
