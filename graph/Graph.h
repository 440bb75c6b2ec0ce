// The graph object: the one filter graph around the Corvasta filter, the
// filters that play a role in it and the connection count it reports.
#pragma once

#include "atlbase.h"

#include "atldshow.h"

#include "components/Corvasta.h"
#include "graphedit/GraphEdit.h"

// The local machine's IPv4 address in dotted form (at most 16 units).
HRESULT GetHostAddr(LPWSTR pszAddr, UINT cchAddr);

// Filter roles, single bits so that a set of them forms a mask.
enum EFilter
{
    eFltSource = 1,
    eFltEncoderVid = 2,
    eFltEncoderAud = 4,
    eFltServer = 8,
};

class CGraph
{
public:
    CGraph();
    CGraph(const CGraph&) = delete;
    CGraph& operator=(const CGraph&) = delete;

    static bool IsFilter(EFilter eFlt);

    HRESULT BuildGraph(LPCWSTR pszName, HWND hWnd, UINT uMsg, LPCWSTR pszEncVid, LPCWSTR pszEncAud,
                       LPCWSTR pszUrl);
    void ReleaseGraph();

    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();
    bool IsStopped();
    bool IsEmpty() const { return m_spGraph == nullptr; }
    bool HasGraph() const { return m_spGraph != nullptr; }

    long GetGraphEvent();
    HRESULT ForceKeyFrame();
    int GetConnections();

    unsigned int GetPropPageMask();

    // Building from components.
    static HRESULT CreateFilterByName(LPCWSTR pszFriendlyName, REFCLSID clsidCategory, IBaseFilter** ppFilter);
    static HRESULT CollectPins(IBaseFilter* pFilter, EFilter eFlt, IPin** ppPin1, IPin** ppPin2);

    // Server settings and status.
    HRESULT GetVersion(CComBSTR& cbsVersion);
    HRESULT SetURL(LPCWSTR pszUrl);
    HRESULT GetURL(LPWSTR pszUrl, UINT cchUrl);
    static HRESULT ResolveUrl(LPWSTR pszOut, UINT cchOut, LPCWSTR pszUrl, LPCWSTR pszAddr);
    int GetIceServerCount();
    HRESULT GetIceServer(LONG nIndex, BSTR* pbsURI, BSTR* pbsUser, BSTR* pbsPwd);
    HRESULT AddIceServer(BSTR bsURI, BSTR bsUser, BSTR bsPwd);
    HRESULT RemoveIceServer(LONG nIndex);
    HRESULT SetFilter(LPCWSTR pszNamePart, bool bEnable);
    HRESULT GetFilter(LPWSTR pszNamePart, UINT cchNamePart, bool* pbEnable);
    HRESULT GetStatistics(ServerStats* pStats);

    // Seeking and the video window.
    HRESULT GetDuration(LONGLONG* pllDuration);
    HRESULT GetPosition(LONGLONG* pllPosition);
    HRESULT SetPosition(LONGLONG llPos);
    HRESULT SeekToRatio(double dRatio);
    HRESULT PlaceVideoWindow(HWND hWnd);

    // Property pages, browser and graph editor.
    HRESULT ShowPropertyPage(EFilter eFlt, HWND hWndOwner);
    HRESULT ShowBrowser();
    HRESULT ShowGraph();

private:
    CComQIPtr<IMediaControl> GetMediaControl() const;
    HRESULT CreateGraph(LPCWSTR pszSource, LPCWSTR pszEncVid, LPCWSTR pszEncAud);
    HRESULT BuildVideoChain(LPCWSTR pszEncVid, IPin* pSrcVidOut, IPin* pServerVidIn);
    HRESULT BuildAudioChain(LPCWSTR pszEncAud, struct IVideoGenerator* pVidGen, IPin* pSrcAudOut,
                            IPin* pServerAudIn);
    HRESULT FindSource();
    HRESULT FindServer();
    HRESULT FindEncoder(bool bVideo);

    friend struct CGraphInspector; // tests look at the members

    CComPtr<IGraphBuilder> m_spGraph;
    CComPtr<IServerControl> m_spServer;
    CComPtr<IBaseFilter> m_spSource;
    CComPtr<IBaseFilter> m_spEncoderVid;
    CComPtr<IBaseFilter> m_spEncoderAud;
    CGraphEdit m_graphEdit;
    int m_nConnections;
};
