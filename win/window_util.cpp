#include "win/window_util.h"

namespace win {

RECT WorkArea(HWND window) {
    RECT area{};
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

void CenterWindow(HWND window, HWND reference) {
    if (!window) return;
    RECT self{};
    GetWindowRect(window, &self);
    const LONG width = self.right - self.left;
    const LONG height = self.bottom - self.top;

    const RECT area = WorkArea(reference && IsWindow(reference) ? reference : window);
    // A reference with an empty rectangle counts as not visible: the result
    // window sits visible at 0,0 with the size 0 x 0 during the flows, and
    // centring over it would put every window in the screen's corner.
    RECT center = area;
    RECT referenceRect{};
    if (reference && IsWindowVisible(reference) && !IsIconic(reference) &&
        GetWindowRect(reference, &referenceRect) && !IsRectEmpty(&referenceRect)) {
        center = referenceRect;
    }
    LONG left = (center.left + center.right) / 2 - width / 2;
    LONG top = (center.top + center.bottom) / 2 - height / 2;

    // Keep it on screen: first the right and bottom edges, then the left and
    // top, so that a window larger than the area shows its top-left corner.
    if (left + width > area.right) left = area.right - width;
    if (left < area.left) left = area.left;
    if (top + height > area.bottom) top = area.bottom - height;
    if (top < area.top) top = area.top;

    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace win

namespace win {

void DispatchThreadMessages() {
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void HandleMessagesFor(std::uint32_t ms) {
    DispatchThreadMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    DispatchThreadMessages();
}

}  // namespace win
