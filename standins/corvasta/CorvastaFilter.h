// The Corvasta server filter stand-in: a renderer with a video and an audio
// input that serves what it receives over HTTP while the graph is paused or
// running, and reports its clients to the graph as events.
#pragma once

// Winsock's headers must come before windows.h, which the kit includes.
#include "HttpServer.h"
#include "RtcEndpoint.h"

#include "standins/kit/KitPin.h"
#include "standins/kit/KitSinkFilter.h"

#include "components/Corvasta.h"

#include "IceServerList.h"
#include "IceServerStatus.h"
#include "ServerStatistics.h"
#include "ServerUrl.h"

class CCorvastaFilter : public CKitSinkFilter,
                        public IServerControl,
                        public IServerAppFilter,
                        public IFilterVersion,
                        public IIceServerStatus,
                        private IHttpServerEvents,
                        private IRtcEndpointEvents
{
public:
    // The name the harness inserts it under, and its fault-switch key.
    static const wchar_t szName[];
    static const wchar_t szVideoPin[];
    static const wchar_t szAudioPin[];
    static const wchar_t szVersion[];

    CCorvastaFilter();
    HRESULT Init() override;

    KIT_DECLARE_IUNKNOWN(CKitSinkFilter)

    // IMediaFilter. Leaving the stopped state binds the URL; the fault
    // switches "Pause" and "Run" stand in for the result of that bind.
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

    // IServerControl
    STDMETHODIMP SetUrl(BSTR bsUrl) override;
    STDMETHODIMP GetUrl(BSTR* pbsUrl) override;
    STDMETHODIMP Reserved5() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved6() override { return E_NOTIMPL; }
    STDMETHODIMP GetIceServerCount(LONG* pnCount) override;
    STDMETHODIMP AddIceServer(BSTR bsURI, BSTR bsUser, BSTR bsPwd) override;
    STDMETHODIMP GetIceServer(LONG nIndex, BSTR* pbsURI, BSTR* pbsUser, BSTR* pbsPwd) override;
    STDMETHODIMP RemoveIceServer(LONG nIndex) override;
    STDMETHODIMP GetStatistics(ServerStats* pStats) override;

    // IServerAppFilter
    STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved8() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved9() override { return E_NOTIMPL; }
    STDMETHODIMP SetAppFilter(BSTR bsNamePart, BOOL bEnable) override;
    STDMETHODIMP GetAppFilter(BSTR* pbsNamePart, BOOL* pbEnable) override;

    // IFilterVersion
    STDMETHODIMP GetType(LONG* peType) override;
    STDMETHODIMP GetOS(LONG* peOS) override;
    STDMETHODIMP GetName(BSTR* pbsName) override;
    STDMETHODIMP GetNumber(BSTR* pbsNumber) override;
    STDMETHODIMP GetDateTime(BSTR* pbsDateTime) override;

    // IIceServerStatus
    STDMETHODIMP GetIceServerStatus(BSTR* pbsText) override;

    // Pin hooks: the first input takes video, the second audio, encoded or not.
    HRESULT CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT Receive(CKitInputPin* pPin, IMediaSample* pSample) override;

    // The URL and the statistics as the property page shows them.
    std::wstring CurrentUrl();
    void CurrentStatistics(ServerStats* pStats) const { m_stats.Fill(State(), pStats); }

protected:
    ~CCorvastaFilter() override;

    void* GetInterface(REFIID riid) override;
    HRESULT OnActive() override;
    HRESULT OnInactive() override;

private:
    // IHttpServerEvents, on the server thread. They take no filter lock:
    // Stop holds it while it waits for that thread.
    void OnClientCount(UINT nCount, bool bArrived) override;
    void OnDelivered(const CDelivery& delivery) override;
    std::string GetStatus(EStatusDocument eDocument) override;
    CWhepAnswer OnWhep(const CWhepRequest& request) override;
    bool TakeWhepAnswer(uint64_t nTicket, CWhepAnswer* pAnswer) override;
    void OnWhepAbandoned(uint64_t nTicket) override;
    // IRtcEndpointEvents, on the server thread or (OnRtpSent) a streaming one.
    void OnPeerCount(UINT nCount, bool bArrived) override;
    void OnKeyFrameRequest() override;
    void OnRtpSent(EMediaKind eKind, UINT nPeers, UINT nPackets, UINT cbSent, LONGLONG llMicroseconds) override;
    // The codec of what a pin receives, for the answer to an offer; None
    // with the reason in *pstrUnsent when the pin is connected but what it
    // receives cannot go out as WebRTC media.
    rtc::EMediaCodec PinCodec(CKitInputPin* pPin, std::string* pstrUnsent);

    CKitInputPin* m_pVideoPin;
    CKitInputPin* m_pAudioPin;
    // Changes only while stopped (under the filter lock), so the server
    // thread may read it while the graph runs.
    CServerUrl m_url;
    CIceServerList m_iceServers;  // under the filter lock
    std::wstring m_strAppFilter;  // under the filter lock
    BOOL m_bAppFilter;
    CServerStatistics m_stats;
    CRtcEndpoint m_rtc;
    CHttpServer m_server;
};
