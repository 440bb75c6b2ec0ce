// The property page of a pin: its name, direction and filter, the pin it is
// connected to and the connection's media type field by field. Read once
// when the page opens; the pin may be a proxy to another process.
#pragma once

#include "KitPropertyPage.h"

class CPinPropertyPage : public CKitPropertyPage
{
public:
    CPinPropertyPage();

protected:
    HRESULT OnConnect(IUnknown* pObject) override;
    void OnDisconnect() override;
    void OnCreateControls() override;

private:
    HWND AddControl(const wchar_t* pszClass, DWORD dwStyle, WORD wId, int x, int y, int cx, int cy,
                    const wchar_t* pszText);
    void AddRow(int y, const wchar_t* pszLabel, WORD wId, const std::wstring& value);
    void AddFormatList(int y);

    CComPtr<IPin> m_spPin;
};
