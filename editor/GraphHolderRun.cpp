// The running graph: its events, its position, seeking.
#include "GraphHolder.h"

HRESULT CGraphHolder::TakeEvents(std::vector<GraphEvent>* pEvents)
{
    if (pEvents == nullptr)
        return E_POINTER;
    pEvents->clear();
    // Another program's events are its own: it acts on them, and what is
    // taken here it never sees.
    if (!IsAttached() || !IsOwn())
        return S_FALSE;
    CComQIPtr<IMediaEvent> spEvent(m_spGraph);
    if (spEvent == nullptr)
        return S_FALSE;
    for (;;)
    {
        GraphEvent event;
        // E_ABORT when there is none.
        if (FAILED(spEvent->GetEvent(&event.lCode, &event.lParam1, &event.lParam2, 0)))
            break;
        spEvent->FreeEventParams(event.lCode, event.lParam1, event.lParam2);
        pEvents->push_back(event);
    }
    return S_OK;
}

HRESULT CGraphHolder::GetPosition(LONGLONG* pllPosition, LONGLONG* pllDuration)
{
    if (pllPosition == nullptr || pllDuration == nullptr)
        return E_POINTER;
    *pllPosition = 0;
    *pllDuration = 0;
    if (!IsAttached())
        return S_FALSE;
    CComQIPtr<IMediaSeeking> spSeeking(m_spGraph);
    if (spSeeking == nullptr)
        return S_FALSE;
    DWORD caps = AM_SEEKING_CanSeekAbsolute;
    HRESULT hr = spSeeking->CheckCapabilities(&caps);
    if (IsPeerGone(hr))
        return Checked(hr);
    if (hr != S_OK)
        return S_FALSE;
    LONGLONG llDuration = 0, llPosition = 0;
    if (FAILED(hr = spSeeking->GetDuration(&llDuration)))
        return IsPeerGone(hr) ? Checked(hr) : S_FALSE;
    if (FAILED(hr = spSeeking->GetCurrentPosition(&llPosition)))
        return IsPeerGone(hr) ? Checked(hr) : S_FALSE;
    *pllPosition = llPosition;
    *pllDuration = llDuration;
    return S_OK;
}

HRESULT CGraphHolder::Seek(LONGLONG llPosition)
{
    if (!IsAttached())
        return E_UNEXPECTED;
    CComQIPtr<IMediaSeeking> spSeeking(m_spGraph);
    if (spSeeking == nullptr)
        return E_NOINTERFACE;
    HRESULT hr = spSeeking->SetPositions(&llPosition, AM_SEEKING_AbsolutePositioning, nullptr,
                                         AM_SEEKING_NoPositioning);
    return FAILED(hr) ? Checked(hr) : hr;
}
