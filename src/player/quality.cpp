#include "player/quality.h"

#include <algorithm>

#include "common/quality.h"

namespace quality {

std::wstring_view ChoiceName(int index) {
    if (index == 0) return L"default";
    if (index < 0 || index >= kChoiceCount) return {};
    // The buttons after "default" follow the player's levels from the lowest.
    return common::QualityWideName(static_cast<common::Quality>(index - 1));
}

bool IsOffered(int index, const std::vector<std::wstring>& levels) {
    if (index == 0) return true;
    if (index < 0 || index >= kChoiceCount) return false;
    return std::find(levels.begin(), levels.end(), ChoiceName(index)) != levels.end();
}

}  // namespace quality
