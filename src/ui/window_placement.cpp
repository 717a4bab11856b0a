#include "ui/window_placement.h"

namespace {

// 64-bit arithmetic: coordinates from a broken owner window may be anywhere
// in the 32-bit range.
int32_t Place(int64_t size, int64_t referenceStart, int64_t referenceEnd, int64_t areaStart, int64_t areaEnd) {
    int64_t start = referenceStart + (referenceEnd - referenceStart - size) / 2;
    if (start + size > areaEnd) start = areaEnd - size;
    if (start < areaStart) start = areaStart;
    return static_cast<int32_t>(start);
}

}  // namespace

ScreenPoint CentredPosition(int32_t width, int32_t height, const ScreenRect& reference, const ScreenRect& workArea) {
    return {Place(width, reference.left, reference.right, workArea.left, workArea.right),
            Place(height, reference.top, reference.bottom, workArea.top, workArea.bottom)};
}
