#include "player/quality.h"

#include <algorithm>

namespace quality {

bool IsOffered(int index, const std::vector<std::wstring>& levels) {
    if (index == 0) return true;
    if (index < 0 || index >= kChoiceCount) return false;
    return std::find(levels.begin(), levels.end(), kNames[index]) != levels.end();
}

}  // namespace quality
