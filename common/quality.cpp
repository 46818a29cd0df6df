#include "common/quality.h"

#include <algorithm>
#include <array>
#include <string>

namespace common {

namespace {

constexpr std::array<std::string_view, kQualityCount> kNames = {"small",  "medium", "large",
                                                                "hd720",  "hd1080", "highres"};

const std::array<std::wstring, kQualityCount>& WideNames() {
    static const std::array<std::wstring, kQualityCount> names = [] {
        std::array<std::wstring, kQualityCount> wide;
        for (int i = 0; i < kQualityCount; ++i) wide[i].assign(kNames[i].begin(), kNames[i].end());
        return wide;
    }();
    return names;
}

template <typename Char>
std::optional<Quality> FromName(std::basic_string_view<Char> name) {
    for (int i = 0; i < kQualityCount; ++i) {
        if (std::equal(name.begin(), name.end(), kNames[i].begin(), kNames[i].end())) {
            return static_cast<Quality>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

std::string_view QualityName(Quality quality) { return kNames[static_cast<int>(quality)]; }

std::wstring_view QualityWideName(Quality quality) { return WideNames()[static_cast<int>(quality)]; }

std::optional<Quality> QualityFromName(std::string_view name) { return FromName(name); }

std::optional<Quality> QualityFromName(std::wstring_view name) { return FromName(name); }

}  // namespace common
