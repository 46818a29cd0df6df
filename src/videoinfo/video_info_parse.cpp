#include "videoinfo/video_info_parse.h"

#include "common/number_scan.h"
#include "common/utf8.h"
#include "common/xml_text.h"

std::wstring DecodeReplyBody(std::string_view body) {
    std::wstring text = common::Utf8ToUtf16(body);
    if (!text.empty() && (text.front() == 0xFEFF || text.front() == 0xFFFE)) {
        text.erase(0, 1);
    }
    return text;
}

std::wstring ParseTitle(std::wstring_view reply) {
    const std::size_t open = reply.find(L"<title");
    if (open == std::wstring_view::npos) return {};
    const std::size_t openEnd = reply.find(L'>', open);
    if (openEnd == std::wstring_view::npos) return {};
    // Searched from the start, not from the opening tag: a "</title>" ahead
    // of the first "<title" leaves no title at all.
    const std::size_t close = reply.find(L"</title>");
    if (close == std::wstring_view::npos) return {};
    const std::size_t start = openEnd + 1;
    if (close < start) return {};
    // The feed escapes '<' and '>' in titles, so references other than
    // "&amp;" are common.
    return common::DecodeCharacterReferences(reply.substr(start, close - start));
}

int ParseDuration(std::wstring_view reply) {
    constexpr std::wstring_view kSeconds = L"seconds='";
    const std::size_t element = reply.find(L"<yt:duration");
    if (element == std::wstring_view::npos) return 0;
    const std::size_t attribute = reply.find(kSeconds, element);
    if (attribute == std::wstring_view::npos) return 0;
    const std::size_t start = attribute + kSeconds.size();
    const std::size_t end = reply.find(L"'/>", start);
    if (end == std::wstring_view::npos) return 0;
    return common::ScanLong(reply.substr(start, end - start));
}
