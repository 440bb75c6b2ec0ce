#include "GraphModel.h"

#include "ErrorText.h"

#include <evcode.h>
#include <strsafe.h>

#include <string>

std::vector<ConnectionData> GraphData::Connections() const
{
    std::vector<ConnectionData> connections;
    for (int nFilter = 0; nFilter < static_cast<int>(filters.size()); ++nFilter)
    {
        const FilterData& filter = filters[nFilter];
        for (int nPin = 0; nPin < static_cast<int>(filter.pins.size()); ++nPin)
        {
            const PinData& pin = filter.pins[nPin];
            const PinData* pPeer = Pin(pin.peer);
            if (!pin.bInput && pPeer != nullptr && pPeer->bInput)
                connections.push_back({{nFilter, nPin}, pin.peer});
        }
    }
    return connections;
}

std::wstring DescribeCounts(const GraphData& graph)
{
    size_t cFilters = graph.filters.size(), cConnections = graph.Connections().size();
    return std::to_wstring(cFilters) + (cFilters == 1 ? L" filter, " : L" filters, ") +
           std::to_wstring(cConnections) + (cConnections == 1 ? L" connection" : L" connections");
}

namespace {

struct EventName
{
    long lCode;
    const wchar_t* pszName;
};

#define EVENT_NAME(code) {code, L"" #code}
const EventName c_rgEventNames[] = {
    EVENT_NAME(EC_COMPLETE),
    EVENT_NAME(EC_USERABORT),
    EVENT_NAME(EC_ERRORABORT),
    EVENT_NAME(EC_TIME),
    EVENT_NAME(EC_REPAINT),
    EVENT_NAME(EC_STREAM_ERROR_STOPPED),
    EVENT_NAME(EC_STREAM_ERROR_STILLPLAYING),
    EVENT_NAME(EC_ERROR_STILLPLAYING),
    EVENT_NAME(EC_PALETTE_CHANGED),
    EVENT_NAME(EC_VIDEO_SIZE_CHANGED),
    EVENT_NAME(EC_QUALITY_CHANGE),
    EVENT_NAME(EC_SHUTTING_DOWN),
    EVENT_NAME(EC_CLOCK_CHANGED),
    EVENT_NAME(EC_PAUSED),
    EVENT_NAME(EC_OPENING_FILE),
    EVENT_NAME(EC_BUFFERING_DATA),
    EVENT_NAME(EC_FULLSCREEN_LOST),
    EVENT_NAME(EC_ACTIVATE),
    EVENT_NAME(EC_NEED_RESTART),
    EVENT_NAME(EC_WINDOW_DESTROYED),
    EVENT_NAME(EC_DISPLAY_CHANGED),
    EVENT_NAME(EC_STARVATION),
    EVENT_NAME(EC_OLE_EVENT),
    EVENT_NAME(EC_NOTIFY_WINDOW),
    EVENT_NAME(EC_STREAM_CONTROL_STOPPED),
    EVENT_NAME(EC_STREAM_CONTROL_STARTED),
    EVENT_NAME(EC_END_OF_SEGMENT),
    EVENT_NAME(EC_SEGMENT_STARTED),
    EVENT_NAME(EC_LENGTH_CHANGED),
    EVENT_NAME(EC_DEVICE_LOST),
    EVENT_NAME(EC_STEP_COMPLETE),
    EVENT_NAME(EC_CLOCK_UNSET),
    EVENT_NAME(EC_USER),
};
#undef EVENT_NAME

// 32 bits as 8 digits (a negative value as the HRESULT it likely is), a
// pointer's 64 as 16.
std::wstring ParamText(LONG_PTR lParam)
{
    wchar_t sz[24];
    long long ll = static_cast<long long>(lParam);
    if (ll >= -0x80000000LL && ll <= 0xFFFFFFFFLL)
        ::StringCchPrintfW(sz, ARRAYSIZE(sz), L"0x%08X", static_cast<unsigned>(ll));
    else
        ::StringCchPrintfW(sz, ARRAYSIZE(sz), L"0x%016llX", static_cast<unsigned long long>(ll));
    return sz;
}

} // namespace

std::wstring DescribeEvent(const GraphEvent& event)
{
    wchar_t szCode[16];
    ::StringCchPrintfW(szCode, ARRAYSIZE(szCode), L"0x%02lX", static_cast<unsigned long>(event.lCode));
    std::wstring text;
    for (const EventName& name : c_rgEventNames)
        if (name.lCode == event.lCode)
            text = std::wstring(name.pszName) + L" (" + szCode + L")";
    if (text.empty() && event.lCode > EC_USER)
        text = L"EC_USER+" + std::to_wstring(event.lCode - EC_USER) + L" (" + szCode + L")";
    if (text.empty())
        text = szCode;
    text += L": " + ParamText(event.lParam1) + L", " + ParamText(event.lParam2);
    // These carry the failure's code first.
    switch (event.lCode)
    {
    case EC_ERRORABORT:
    case EC_STREAM_ERROR_STOPPED:
    case EC_STREAM_ERROR_STILLPLAYING:
    case EC_ERROR_STILLPLAYING:
        if (FAILED(static_cast<HRESULT>(event.lParam1)))
            text += L": " + DescribeError(static_cast<HRESULT>(event.lParam1));
        break;
    default:
        break;
    }
    return text;
}
