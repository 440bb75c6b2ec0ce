// Seeking and the placement of the video window.
#include "Graph.h"

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
