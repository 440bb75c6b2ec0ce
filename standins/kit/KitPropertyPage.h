// The kit's property page: IPropertyPage over a plain child window that a
// concrete page fills with controls. The filter lists the page's class id
// (CKitFilter::AddPropertyPage) and the DLL registers the page class.
#pragma once

#include "KitCore.h"

#include <ocidl.h>

#include <string>

class CKitPropertyPage : public IPropertyPage
{
public:
    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPropertyPage
    STDMETHODIMP SetPageSite(IPropertyPageSite* pPageSite) override;
    STDMETHODIMP Activate(HWND hWndParent, LPCRECT pRect, BOOL bModal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    STDMETHODIMP SetObjects(ULONG cObjects, IUnknown** ppUnk) override;
    STDMETHODIMP Show(UINT nCmdShow) override;
    STDMETHODIMP Move(LPCRECT pRect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR pszHelpDir) override;
    STDMETHODIMP TranslateAccelerator(MSG* pMsg) override;

    virtual HRESULT Init() { return S_OK; }

protected:
    CKitPropertyPage(const wchar_t* pszTitle, int cx, int cy);
    virtual ~CKitPropertyPage();

    // The page's object: take the filter's interface here (E_NOINTERFACE
    // when it is not the right filter); null on disconnection.
    virtual HRESULT OnConnect(IUnknown* pObject) = 0;
    virtual void OnDisconnect() = 0;
    // The window exists: create and fill the controls.
    virtual void OnCreateControls() = 0;
    // Writes the controls' values to the filter.
    virtual HRESULT OnApply() { return S_OK; }
    // A control's notification; by default an edit's change makes the page dirty.
    virtual void OnCommand(WORD wId, WORD wNotify);

    HWND PageWindow() const { return m_hwnd; }
    HWND AddLabel(int x, int y, int cx, int cy, const wchar_t* pszText);
    HWND AddEdit(WORD wId, int x, int y, int cx, int cy, const wchar_t* pszText);
    std::wstring ControlText(WORD wId) const;
    void SetDirty(bool bDirty);

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    HWND AddControl(const wchar_t* pszClass, DWORD dwStyle, WORD wId, int x, int y, int cx, int cy,
                    const wchar_t* pszText);

    LONG m_cRef;
    std::wstring m_title;
    SIZE m_size;
    HWND m_hwnd;
    bool m_bDirty;
    bool m_bFilling; // controls are being filled: their changes are not edits
    CComPtr<IPropertyPageSite> m_spSite;
};
