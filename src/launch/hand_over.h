#pragma once
// One program per data folder: the name the running one holds, the command
// line a second start hands to it, and the video reference in that command
// line. Pure text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace launch {

// The link scheme: "clipdeck:ID" plays the video ID in Clipdeck.
inline constexpr wchar_t kLinkScheme[] = L"clipdeck";

// The switch that removes the link registration and ends.
bool IsUnregisterSwitch(std::wstring_view argument);

// The name of the object that the program running on `folder` holds:
// "Local\Clipdeck-" and a hash of the folder, the same for every spelling
// of it that differs only in letter case, slashes or a trailing separator.
std::wstring InstanceName(std::wstring_view folder);

// Marks a WM_COPYDATA that carries a command line handed over.
inline constexpr std::uintptr_t kHandOverTag = 0x434B4431;  // "CKD1"

// The arguments as one block of text, each ended by a zero, and back.
// Decoding a block that does not end in a zero keeps its last argument.
std::wstring EncodeArguments(const std::vector<std::wstring>& arguments);
std::vector<std::wstring> DecodeArguments(std::wstring_view block);

// The video reference of a link, "clipdeck:ID" (also "clipdeck://ID/", the
// scheme in any case, the rest percent-decoded); any other text unchanged.
std::wstring ReferenceFromLink(std::wstring_view text);

// The video reference among a command line's arguments (the first one, the
// program, not counted): the first that is neither a switch of the program
// nor empty, a link reduced to its ID. Empty when there is none.
std::wstring ReferenceFromArguments(const std::vector<std::wstring>& arguments);

// The open command of the links: the program and the link, each quoted.
std::wstring LinkCommand(const std::wstring& programPath);

// The program a command line starts: its first argument, quoted or not.
std::wstring ProgramOfCommand(std::wstring_view command);

}  // namespace launch
