// Seeking and the placement of the video window.
#include "Graph.h"

HRESULT CGraph::GetDuration(LONGLONG* pllDuration)
{
    ATLASSERT(pllDuration != 0);
    if (pllDuration == nullptr)
        return E_POINTER;
    *pllDuration = 0;
    if (m_spGraph == nullptr)
        return E_FAIL;
    CComQIPtr<IMediaSeeking> spMediaSeeking(m_spGraph);
    ATLASSERT(spMediaSeeking != 0);
    if (spMediaSeeking == nullptr)
        return E_NOINTERFACE;
    // E_NOTIMPL (nothing seekable) goes back as it is: an open-ended duration.
    return spMediaSeeking->GetDuration(pllDuration);
}

HRESULT CGraph::GetPosition(LONGLONG* pllPosition)
{
    ATLASSERT(pllPosition != 0);
    if (pllPosition == nullptr)
        return E_POINTER;
    *pllPosition = 0;
    if (m_spGraph == nullptr)
        return E_FAIL;
    CComQIPtr<IMediaSeeking> spMediaSeeking(m_spGraph);
    ATLASSERT(spMediaSeeking != 0);
    if (spMediaSeeking == nullptr)
        return E_NOINTERFACE;
    return spMediaSeeking->GetCurrentPosition(pllPosition);
}

HRESULT CGraph::SetPosition(LONGLONG llPos)
{
    if (m_spGraph == nullptr)
        return E_FAIL;
    CComQIPtr<IMediaSeeking> spMediaSeeking(m_spGraph);
    ATLASSERT(spMediaSeeking != 0);
    if (spMediaSeeking == nullptr)
        return E_NOINTERFACE;
    // The stop position is left as it is.
    return spMediaSeeking->SetPositions(&llPos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT CGraph::SeekToRatio(double dRatio)
{
    if (m_spGraph == nullptr)
        return E_FAIL;
    if (dRatio < 0.0)
        dRatio = 0.0;
    else if (dRatio > 1.0)
        dRatio = 1.0;
    CComQIPtr<IMediaSeeking> spMediaSeeking(m_spGraph);
    if (spMediaSeeking == nullptr)
        return E_NOTIMPL;
    LONGLONG llPos = 0;
    HRESULT hr = spMediaSeeking->GetDuration(&llPos);
    if (hr != S_OK)
        return hr;
    llPos = static_cast<LONGLONG>(static_cast<double>(llPos) * dRatio);
    return spMediaSeeking->SetPositions(&llPos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT CGraph::PlaceVideoWindow(HWND hWnd)
{
    ATLASSERT(::IsWindow(hWnd));
    ATLASSERT(m_spGraph != 0);
    if (m_spGraph == nullptr)
        return E_FAIL;
    CComQIPtr<IVideoWindow> spVideoWindow(m_spGraph);
    if (spVideoWindow == nullptr)
        return S_FALSE;

    RECT rcArea = {}, rc = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcArea, 0);
    ::GetWindowRect(hWnd, &rc);

    long nHeight = 0, nWidth = 0;
    HRESULT hr = spVideoWindow->get_Height(&nHeight);
    if (hr != S_OK)
        return hr;
    if ((hr = spVideoWindow->get_Width(&nWidth)) != S_OK)
        return hr;

    // Bottom edge on the dialog's top edge, centred across the work area's
    // width (its left edge is deliberately not added).
    long nTop = rc.top - nHeight;
    if (nTop < 0)
        nTop = 0;
    if ((hr = spVideoWindow->put_Top(nTop)) != S_OK)
        return hr;
    if ((hr = spVideoWindow->put_Left((rcArea.right - rcArea.left - nWidth) / 2)) != S_OK)
        return hr;

    hr = spVideoWindow->put_Visible(OATRUE);
    ATLASSERT(hr == ((HRESULT)0L));
    return hr;
}
