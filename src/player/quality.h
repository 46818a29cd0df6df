#pragma once
// Quality names the program offers, in the order of the quality dialog's
// radio buttons. Pure data, no Windows header.

#include <string>
#include <string_view>
#include <vector>

namespace quality {

inline constexpr int kChoiceCount = 5;

// The name sent for each radio button index: "default", then the player's
// levels small, medium, large and hd720. Empty for an index out of range.
std::wstring_view ChoiceName(int index);

// Whether the radio button `index` is offered for this level list: "default"
// always, the others only when the player lists them (exact spelling).
bool IsOffered(int index, const std::vector<std::wstring>& levels);

}  // namespace quality
