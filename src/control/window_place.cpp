#include "control/window_place.h"

#include <algorithm>
#include <tuple>

namespace {

long long Overlap(const Box& a, const Box& b) {
    const long long w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const long long h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// The gap between two boxes, 0 when they touch or overlap.
long long Gap(const Box& a, const Box& b) {
    const long long dx = std::max({0, a.left - b.right, b.left - a.right});
    const long long dy = std::max({0, a.top - b.bottom, b.top - a.bottom});
    return dx + dy;
}

// The start that keeps [start, start + size) inside [low, high), the low end
// first when it cannot fit.
int Inside(int start, int size, int low, int high) { return std::max(low, std::min(start, high - size)); }

}  // namespace

Box PlaceBeside(const Box& anchor, int width, int height, const Box& work, const std::vector<Box>& avoid) {
    // Along a side, a place lines up with the anchor's ends, slides just
    // past one of the windows to avoid, or meets the work area's ends.
    auto starts = [&](int anchorLow, int anchorHigh, int size, int Box::*low, int Box::*high, int workLow,
                      int workHigh) {
        std::vector<int> at = {anchorLow, anchorHigh - size, workLow, workHigh - size};
        for (const Box& b : avoid) {
            at.push_back(b.*high);
            at.push_back(b.*low - size);
        }
        return at;
    };
    std::vector<Box> places;
    auto add = [&](int x, int y) {
        x = Inside(x, width, work.left, work.right);
        y = Inside(y, height, work.top, work.bottom);
        places.push_back({x, y, x + width, y + height});
    };
    const std::vector<int> ys =
        starts(anchor.top, anchor.bottom, height, &Box::top, &Box::bottom, work.top, work.bottom);
    const std::vector<int> xs =
        starts(anchor.left, anchor.right, width, &Box::left, &Box::right, work.left, work.right);
    for (int y : ys) add(anchor.right, y);
    for (int x : xs) add(x, anchor.bottom);
    for (int y : ys) add(anchor.left - width, y);
    for (int x : xs) add(x, anchor.top - height);

    auto cost = [&](const Box& place) {
        std::vector<long long> c = {Overlap(place, anchor)};
        for (const Box& b : avoid) c.push_back(Overlap(place, b));
        c.push_back(Gap(place, anchor));
        return c;
    };
    // The first of equal places wins: the sides' order is the preference.
    return *std::min_element(places.begin(), places.end(),
                             [&](const Box& a, const Box& b) { return cost(a) < cost(b); });
}
