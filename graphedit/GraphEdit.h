// The bridge to the graph editor: the graph's Running Object Table entry and
// the editor process started for it.
#pragma once

#include "atlbase.h"

HRESULT AddGraphToRot(IUnknown* pGraph, DWORD* pdwCookie);
void RemoveGraphFromRot(DWORD dwCookie);

class CGraphEdit
{
public:
    explicit CGraphEdit(bool bCloseOnDestroy);
    ~CGraphEdit();
    CGraphEdit(const CGraphEdit&) = delete;
    CGraphEdit& operator=(const CGraphEdit&) = delete;

    // Revokes the registration and lets go of the editor; safe to call again.
    void Close();

    DWORD GetCookie() const { return m_dwCookie; }

private:
    void CloseProcess();

    DWORD m_dwCookie;
    PROCESS_INFORMATION m_rgPI;
    HWND m_hWndMain;
    HWND m_hWndListBox;
    bool m_bCloseOnDestroy;
};
