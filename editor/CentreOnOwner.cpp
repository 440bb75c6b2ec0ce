#include "CentreOnOwner.h"

#include <algorithm>

void CentreOnOwner(HWND hWnd)
{
    HWND hWndOwner = ::GetWindow(hWnd, GW_OWNER);
    RECT rc = {}, rcOwner = {};
    if (hWndOwner == nullptr || !::GetWindowRect(hWnd, &rc) || !::GetWindowRect(hWndOwner, &rcOwner))
        return;
    MONITORINFO mi = {sizeof(mi)};
    if (!::GetMonitorInfoW(::MonitorFromWindow(hWndOwner, MONITOR_DEFAULTTONEAREST), &mi))
        return;
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    int x = (rcOwner.left + rcOwner.right - cx) / 2, y = (rcOwner.top + rcOwner.bottom - cy) / 2;
    x = std::max<int>(mi.rcWork.left, std::min<int>(x, mi.rcWork.right - cx));
    y = std::max<int>(mi.rcWork.top, std::min<int>(y, mi.rcWork.bottom - cy));
    ::SetWindowPos(hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
