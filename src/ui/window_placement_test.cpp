#include "ui/window_placement.h"

#include <cstdint>

#include "test/doctest_main.h"

TEST_CASE("a window is centred on its reference and kept inside the work area") {
    const ScreenRect screen = {0, 0, 1024, 768};
    const ScreenRect taskbarLeft = {60, 0, 1024, 768};
    const ScreenRect secondMonitor = {-1280, -200, 0, 824};
    struct Case {
        const char* what;
        int32_t width, height;
        ScreenRect reference, workArea;
        ScreenPoint expected;
    };
    const Case cases[] = {
        {"centred in the work area", 300, 100, screen, screen, {362, 334}},
        {"odd remainders round towards the top-left", 301, 101, screen, screen, {361, 333}},
        {"work area that does not start at 0", 300, 100, taskbarLeft, taskbarLeft, {392, 334}},
        {"monitor left of and above the primary one", 300, 100, secondMonitor, secondMonitor, {-790, 262}},
        {"centred on an owner", 300, 100, {100, 100, 500, 400}, screen, {150, 200}},
        {"owner smaller than the window", 300, 100, {400, 300, 500, 340}, screen, {300, 270}},
        {"owner at the right edge: pushed back in", 300, 100, {900, 300, 1024, 400}, screen, {724, 300}},
        {"owner at the bottom edge: pushed back up", 300, 100, {400, 700, 600, 768}, screen, {350, 668}},
        {"owner partly off the left and top", 300, 100, {-300, -80, 100, 20}, screen, {0, 0}},
        {"owner entirely off screen", 300, 100, {5000, 5000, 5200, 5100}, screen, {724, 668}},
        {"owner on another monitor than the work area", 300, 100, {-1000, 0, -600, 300}, taskbarLeft, {60, 100}},
        {"window larger than the work area keeps its top-left corner in", 1200, 900, screen, screen, {0, 0}},
        {"larger than a shifted work area", 1200, 900, taskbarLeft, taskbarLeft, {60, 0}},
        {"extreme owner coordinates do not overflow", 300, 100, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, screen,
         {0, 0}},
        {"extreme far owner", 300, 100, {INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX}, screen, {724, 668}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        const ScreenPoint at = CentredPosition(c.width, c.height, c.reference, c.workArea);
        CHECK(at.x == c.expected.x);
        CHECK(at.y == c.expected.y);
    }
}
