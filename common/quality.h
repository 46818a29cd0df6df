#pragma once
// The player's playback quality levels and their names.

#include <optional>
#include <string_view>

namespace common {

// Lowest first, so levels compare by size.
enum class Quality { Small, Medium, Large, Hd720, Hd1080, Highres };
inline constexpr int kQualityCount = 6;

// "small", "medium", "large", "hd720", "hd1080", "highres".
std::string_view QualityName(Quality quality);
std::wstring_view QualityWideName(Quality quality);

// The level of an exact, case-sensitive name; nothing for any other text.
std::optional<Quality> QualityFromName(std::string_view name);
std::optional<Quality> QualityFromName(std::wstring_view name);

}  // namespace common
