#include "control/readouts.h"

#include <cmath>
#include <cwchar>
#include <limits>

namespace {

// Whole seconds of a player time, truncated toward zero. The values come
// from the player's replies, where "NaN" or an absurd number is possible;
// those must not reach an integer conversion unclamped.
long wholeSeconds(double seconds) {
    if (std::isnan(seconds)) return 0;
    constexpr double kLimit = static_cast<double>(std::numeric_limits<int>::max());
    if (seconds >= kLimit) return std::numeric_limits<int>::max();
    if (seconds <= -kLimit) return -std::numeric_limits<int>::max();
    return static_cast<long>(seconds);
}

int truncatedPercent(double value) { return static_cast<int>(wholeSeconds(value)); }

}  // namespace

const wchar_t* StatusText(long state) {
    switch (state) {
    case -1: return L"Unload";
    case 0: return L"End";
    case 1: return L"Play";
    case 2: return L"Pause";
    case 3: return L"Buffering";
    case 5: return L"Go Start";
    default: return L"";
    }
}

std::wstring ErrorText(long code) {
    switch (code) {
    case 100: return L"100:指定の動画が見つかりません.";
    case 101: return L"101:埋め込みプレーヤーでは再生できません.";
    case 150: return L"150:埋め込みプレーヤーでは再生できません.";
    default: {
        wchar_t text[64];
        std::swprintf(text, 64, L"%ld:未定義のエラーです。", code);
        return text;
    }
    }
}

std::wstring TimeText(double current, double duration) {
    long c = wholeSeconds(current);
    long d = wholeSeconds(duration);
    wchar_t text[64];
    std::swprintf(text, 64, L"%ld:%02ld / %ld:%02ld", c / 60, c % 60, d / 60, d % 60);
    return text;
}

std::optional<int> LoadedPercent(long loaded, long start, long total) {
    double whole = static_cast<double>(total) + static_cast<double>(start);
    if (whole < 0) return 0;
    if (whole == 0) return std::nullopt;
    return truncatedPercent((static_cast<double>(start) + static_cast<double>(loaded)) * 100.0 / whole);
}

std::optional<int> PositionPercent(double current, double duration) {
    if (duration < 0) return 0;
    if (duration == 0 || std::isnan(duration)) return std::nullopt;
    return truncatedPercent(current / duration * 100);
}

bool EndOffsetReached(int state, double current, double duration, int endOffset) {
    double remaining = duration - current;
    return state == 1 && remaining > 0 && endOffset > 0 && remaining < endOffset;
}
