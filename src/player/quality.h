#pragma once
// Quality names the program offers, in the order of the quality dialog's
// radio buttons. Pure data, no Windows header.

#include <string>
#include <vector>

namespace quality {

inline constexpr int kChoiceCount = 5;
// The name sent for each radio button index.
inline const wchar_t* const kNames[kChoiceCount] = {L"default", L"small", L"medium", L"large", L"hd720"};

// Whether the radio button `index` is offered for this level list: "default"
// always, the others only when the player lists them (exact spelling).
bool IsOffered(int index, const std::vector<std::wstring>& levels);

}  // namespace quality
