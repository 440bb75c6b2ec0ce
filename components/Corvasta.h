// The Corvasta server filter's control interfaces and statistics record.
// Slot order and record layout are fixed; the filter implements them as they
// stand here.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cstddef>

#include "ComponentIds.h"

#pragma pack(push, 4)
struct ServerStats
{
    UINT32 cbSize;             //  0
    UINT32 nState;             //  4 filter state at the time of the query
    UINT32 nConnections;       //  8 clients holding a stream connection
    UINT32 nConnectionsTotal;  // 12 clients served since the filter started
    UINT32 nVideoSamples;      // 16
    UINT32 nAudioSamples;      // 20
    UINT32 nKeyFrameRequests;  // 24
    UINT32 nPacks;             // 28 media packets received
    INT32 nBytes;              // 32 media bytes received
    UINT32 nPacksSent;         // 36
    INT32 nBytesSent;          // 40
    INT32 nRtpTransferVid;     // 44 video transfer time, microseconds
    INT32 nRtpTransferAud;     // 48 audio transfer time, microseconds
    UINT32 rgReserved[5];      // 52
};
#pragma pack(pop)

static_assert(sizeof(ServerStats) == 72, "ServerStats is 72 bytes");
static_assert(offsetof(ServerStats, nConnections) == 8, "nConnections at 8");
static_assert(offsetof(ServerStats, nPacks) == 28, "nPacks at 28");
static_assert(offsetof(ServerStats, nBytes) == 32, "nBytes at 32");
static_assert(offsetof(ServerStats, nRtpTransferVid) == 44, "nRtpTransferVid at 44");

struct IServerControl : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE SetUrl(BSTR bsUrl) = 0;                      // 3
    virtual HRESULT STDMETHODCALLTYPE GetUrl(BSTR* pbsUrl) = 0;                    // 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;                             // 5
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;                             // 6
    virtual HRESULT STDMETHODCALLTYPE GetIceServerCount(LONG* pnCount) = 0;        // 7
    virtual HRESULT STDMETHODCALLTYPE AddIceServer(BSTR bsURI, BSTR bsUser, BSTR bsPwd) = 0; // 8
    virtual HRESULT STDMETHODCALLTYPE GetIceServer(LONG nIndex, BSTR* pbsURI, BSTR* pbsUser,
                                                   BSTR* pbsPwd) = 0;              // 9
    virtual HRESULT STDMETHODCALLTYPE RemoveIceServer(LONG nIndex) = 0;            // 10
    virtual HRESULT STDMETHODCALLTYPE GetStatistics(ServerStats* pStats) = 0;      // 11
};
CORVASTA_UUID_DECL(IServerControl, UUID_IServerControl)

struct IServerAppFilter : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;                             // 3
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;                             // 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;                             // 5
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;                             // 6
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;                             // 7
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;                             // 8
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;                             // 9
    virtual HRESULT STDMETHODCALLTYPE SetAppFilter(BSTR bsNamePart, BOOL bEnable) = 0;   // 10
    virtual HRESULT STDMETHODCALLTYPE GetAppFilter(BSTR* pbsNamePart, BOOL* pbEnable) = 0; // 11
};
CORVASTA_UUID_DECL(IServerAppFilter, UUID_IServerAppFilter)

struct IFilterVersion : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetType(LONG* peType) = 0;      // 3: 0 debug ('D'), else release ('R')
    virtual HRESULT STDMETHODCALLTYPE GetOS(LONG* peOS) = 0;          // 4: 0 32-bit, else 64-bit
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* pbsName) = 0;     // 5
    virtual HRESULT STDMETHODCALLTYPE GetNumber(BSTR* pbsNumber) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE GetDateTime(BSTR* pbsDateTime) = 0; // 7
};
CORVASTA_UUID_DECL(IFilterVersion, UUID_IFilterVersion)
