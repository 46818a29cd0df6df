#pragma once
// Where a list window goes the first time it is shown: beside the main
// window, inside the work area of the main window's monitor, covering
// neither the main window nor the other windows named. No Windows header,
// so the geometry is tested natively.

#include <vector>

// A rectangle in screen pixels, right and bottom exclusive, as RECT has it.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Box&) const = default;
};

// A `width` x `height` place touching `anchor` on its right, below, left or
// above it (tried in that order), slid along that side and then kept inside
// `work`. Of the places tried, the one that covers least of `anchor`, then
// least of each of `avoid` in turn, then lies nearest `anchor`, wins. A
// window larger than the work area starts at the work area's top left.
Box PlaceBeside(const Box& anchor, int width, int height, const Box& work, const std::vector<Box>& avoid);
