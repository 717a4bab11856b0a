#include "ui/centre_window_win.h"

#include "ui/window_placement.h"

namespace {

ScreenRect ToScreenRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CentreWindow(HWND window) {
    RECT own;
    if (!::GetWindowRect(window, &own)) return;
    HWND owner = ::GetWindow(window, GW_OWNER);
    RECT ownerRect;
    const bool onOwner =
        owner && ::IsWindowVisible(owner) && !::IsIconic(owner) && ::GetWindowRect(owner, &ownerRect);

    RECT workArea;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromWindow(onOwner ? owner : window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        workArea = monitor.rcWork;
    } else if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
        return;
    }
    const ScreenPoint at = CentredPosition(own.right - own.left, own.bottom - own.top,
                                           ToScreenRect(onOwner ? ownerRect : workArea), ToScreenRect(workArea));
    ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

