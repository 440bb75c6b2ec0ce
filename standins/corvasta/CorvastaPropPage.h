// The Corvasta stand-in's property page: the served URL, which can be
// changed while the graph is stopped, the statistics with the peers,
// refreshed while the page is open, what became of each ICE server, and
// the versions of the cryptographic libraries the filter runs with, as they
// name themselves.
#pragma once

#include "standins/kit/KitPropertyPage.h"

#include "components/Corvasta.h"

#include "IceServerStatus.h"

// {A4430640-D12E-460A-85B3-2D0541C77961}
constexpr CLSID CLSID_CorvastaPropertyPage = {
    0xa4430640, 0xd12e, 0x460a, {0x85, 0xb3, 0x2d, 0x05, 0x41, 0xc7, 0x79, 0x61}};

class CCorvastaPropPage : public CKitPropertyPage
{
public:
    static const wchar_t szTitle[];
    enum
    {
        IDC_PAGE_URL = 1001,
        IDC_PAGE_STATISTICS = 1002,
        IDC_PAGE_LIBRARIES = 1003,
        IDC_PAGE_ICE_SERVERS = 1004,
    };

    CCorvastaPropPage();

protected:
    HRESULT OnConnect(IUnknown* pObject) override;
    void OnDisconnect() override;
    void OnCreateControls() override;
    HRESULT OnApply() override;

private:
    static void CALLBACK OnRefreshTimer(HWND hwnd, UINT uMsg, UINT_PTR nId, DWORD dwTime);
    void ShowStatistics();

    CComPtr<IServerControl> m_spServer;
    CComPtr<IIceServerStatus> m_spIceStatus; // null for a filter without it
    HWND m_hwndStatistics;
    HWND m_hwndIceServers;
};
