#pragma once

#include <cstdint>

// Screen coordinates of a rectangle; right and bottom lie just outside it.
struct ScreenRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

// The top-left corner for a window of the given size centred on `reference`,
// then moved as little as needed to lie inside `workArea`. A window larger
// than the work area keeps the work area's top or left edge, so that its
// caption stays reachable.
ScreenPoint CentredPosition(int32_t width, int32_t height, const ScreenRect& reference, const ScreenRect& workArea);
