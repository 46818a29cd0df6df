// Where a list window goes the first time: beside the main window, inside
// the work area, off the main window, the player window and the other list.
#include "control/window_place.h"

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const Box& b, std::ostream* out) {
    *out << "{" << b.left << ", " << b.top << ", " << b.right << ", " << b.bottom << "}";
}

namespace {

const Box kWork{0, 0, 1280, 800};
const Box kMain{0, 0, 403, 268};

}  // namespace

TEST(WindowPlace, BesideTheMainWindowAndOffThePlayerWindow) {
    // Right of the main window, level with its top, when that is free.
    EXPECT_EQ(PlaceBeside(kMain, 660, 300, kWork, {{440, 300, 840, 500}}), (Box{403, 0, 1063, 300}));
    // The player window in the way: slid down past it along the same side.
    EXPECT_EQ(PlaceBeside(kMain, 660, 300, kWork, {{450, 200, 850, 430}}), (Box{403, 430, 1063, 730}));
    // The other list window right of the main window already: just below it.
    EXPECT_EQ(PlaceBeside(kMain, 507, 282, kWork, {{403, 0, 1063, 300}}), (Box{403, 300, 910, 582}));
}

TEST(WindowPlace, StaysInsideTheWorkAreaOfTheMainWindowsMonitor) {
    // No room on the right: below; nor below: on the left.
    EXPECT_EQ(PlaceBeside({900, 100, 1280, 368}, 660, 300, kWork, {}), (Box{620, 368, 1280, 668}));
    EXPECT_EQ(PlaceBeside({900, 500, 1280, 768}, 660, 300, kWork, {}), (Box{240, 500, 900, 800}));
    // A monitor left of the primary one, the main window low on it.
    EXPECT_EQ(PlaceBeside({-600, 700, -197, 968}, 660, 300, {-1920, 0, 0, 1080}, {}),
              (Box{-1260, 700, -600, 1000}));
    // Larger than the work area: from its top left.
    EXPECT_EQ(PlaceBeside({0, 0, 300, 200}, 700, 500, {0, 0, 600, 400}, {}), (Box{0, 0, 700, 500}));
}
