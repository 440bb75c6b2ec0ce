// What the pin page shows, read from the pin with one call at a time and no
// null out-pointer, so that a proxy to a pin in another process answers it
// as the pin itself does.
#pragma once

#include "atlbase.h"
#include "atldshow.h"
#include "dshow/MediaTypeText.h"

#include <string>
#include <vector>

struct PinProperties
{
    std::wstring name;
    std::wstring direction;  // "Input" or "Output"
    std::wstring filter;     // the filter's name in its graph
    std::wstring connection; // "<filter>: <pin>" of the peer, or "not connected"
    std::vector<MediaTypeField> format; // empty when not connected
};

extern const wchar_t szNotConnected[];

// Fails with the first call that failed; what was read before stays.
HRESULT ReadPinProperties(IPin* pPin, PinProperties* pProps);
