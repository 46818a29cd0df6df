#include "app/about_text.h"

#include <string_view>

namespace {

void ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to) {
    for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

std::wstring DashedVersion(std::wstring versionText) {
    ReplaceAll(versionText, L".:", L"??");
    ReplaceAll(versionText, L".", L"-");
    ReplaceAll(versionText, L"??", L".:");
    return versionText;
}

std::wstring AboutLabel(const std::wstring& versionText) {
    return L"Clipdeck " + DashedVersion(versionText) + L" ";
}
