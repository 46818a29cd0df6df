#include "launch/hand_over.h"

#include "common/percent.h"
#include "common/utf8.h"
#include "core/environment.h"

namespace launch {

namespace {

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiUpper(text[i]) != AsciiUpper(prefix[i])) return false;
    }
    return true;
}

}  // namespace

bool IsUnregisterSwitch(std::wstring_view argument) {
    return argument.size() == 11 && (argument[0] == L'/' || argument[0] == L'-') &&
           StartsWithNoCase(argument.substr(1), L"unregister");
}

std::wstring InstanceName(std::wstring_view folder) {
    // FNV-1a over the folder's UTF-16 units, letters folded to upper case
    // (Windows compares file names that way; beyond ASCII the folder is
    // taken as written) and '/' read as '\'.
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.remove_suffix(1);
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (wchar_t c : folder) {
        if (c == L'/') c = L'\\';
        const auto unit = static_cast<std::uint16_t>(AsciiUpper(c));
        for (int shift = 0; shift < 16; shift += 8) {
            hash ^= (unit >> shift) & 0xFF;
            hash *= 0x100000001b3ull;
        }
    }
    std::wstring name = L"Local\\Clipdeck-";
    for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return name;
}

std::wstring EncodeArguments(const std::vector<std::wstring>& arguments) {
    std::wstring block;
    for (const std::wstring& argument : arguments) {
        block += argument;
        block += L'\0';
    }
    return block;
}

std::vector<std::wstring> DecodeArguments(std::wstring_view block) {
    std::vector<std::wstring> arguments;
    while (!block.empty()) {
        const size_t end = block.find(L'\0');
        arguments.emplace_back(block.substr(0, end));
        if (end == std::wstring_view::npos) break;
        block.remove_prefix(end + 1);
    }
    return arguments;
}

std::wstring ReferenceFromLink(std::wstring_view text) {
    const std::wstring scheme = std::wstring(kLinkScheme) + L":";
    if (!StartsWithNoCase(text, scheme)) return std::wstring(text);
    std::wstring_view rest = text.substr(scheme.size());
    // Some browsers hand a link over as if it had a host: "clipdeck://ID/".
    if (rest.substr(0, 2) == L"//") rest.remove_prefix(2);
    while (!rest.empty() && rest.back() == L'/') rest.remove_suffix(1);
    return common::Utf8ToUtf16(common::PercentDecode(common::Utf16ToUtf8(rest), false));
}

std::wstring ReferenceFromArguments(const std::vector<std::wstring>& arguments) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument.empty() || IsDebugSwitch(argument) || IsUnregisterSwitch(argument)) continue;
        return ReferenceFromLink(argument);
    }
    return {};
}

std::wstring LinkCommand(const std::wstring& programPath) {
    // A path holds no quote; the link may hold blanks.
    return L'"' + programPath + L"\" \"%1\"";
}

std::wstring ProgramOfCommand(std::wstring_view command) {
    while (!command.empty() && (command.front() == L' ' || command.front() == L'\t')) command.remove_prefix(1);
    if (!command.empty() && command.front() == L'"') {
        command.remove_prefix(1);
        return std::wstring(command.substr(0, command.find(L'"')));
    }
    return std::wstring(command.substr(0, command.find_first_of(L" \t")));
}

}  // namespace launch
