#include "SliderSelection.h"

#include <uxtheme.h>

void ShowSliderSelection(HWND hSlider)
{
    HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    if (hNtdll != nullptr && ::GetProcAddress(hNtdll, "wine_get_version") != nullptr)
        ::SetWindowTheme(hSlider, L" ", L" ");
}
