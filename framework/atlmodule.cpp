#include "atlmodule.h"

#include <algorithm>

namespace ATL {

// Constructed before any module object of the program, destroyed after it.
CAtlWinModule _AtlWinModule __attribute__((init_priority(200)));
CAtlComModule _AtlComModule __attribute__((init_priority(201)));
CAtlModule* _pAtlModule = nullptr;

CAtlComModule::CAtlComModule() : m_hInstTypeLib(AtlGetModuleInstance()) {}

CAtlWinModule::CAtlWinModule() : m_hInstClasses(AtlGetModuleInstance())
{
    m_csWindowCreate.Init();
}

CAtlWinModule::~CAtlWinModule()
{
    Term();
}

void CAtlWinModule::AddCreateWndData(_AtlCreateWndData* pData, void* pObject)
{
    pData->m_pThis = pObject;
    pData->m_dwThreadID = ::GetCurrentThreadId();
    m_csWindowCreate.Lock();
    m_pending.push_back(pData);
    m_csWindowCreate.Unlock();
}

void* CAtlWinModule::ExtractCreateWndData()
{
    void* pv = nullptr;
    DWORD dwThreadID = ::GetCurrentThreadId();
    m_csWindowCreate.Lock();
    auto it = std::find_if(m_pending.begin(), m_pending.end(),
                           [dwThreadID](_AtlCreateWndData* p) { return p->m_dwThreadID == dwThreadID; });
    if (it != m_pending.end())
    {
        pv = (*it)->m_pThis;
        m_pending.erase(it);
    }
    m_csWindowCreate.Unlock();
    return pv;
}

void CAtlWinModule::AddWindowClass(ATOM atom, HINSTANCE hInst)
{
    m_csWindowCreate.Lock();
    m_hInstClasses = hInst;
    m_rgWindowClassAtoms.push_back(atom);
    m_csWindowCreate.Unlock();
}

void CAtlWinModule::Term()
{
    if (!m_csWindowCreate.IsInit())
        return;
    for (ATOM atom : m_rgWindowClassAtoms)
        ::UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), m_hInstClasses);
    m_rgWindowClassAtoms.clear();
    m_pending.clear();
    m_csWindowCreate.Term();
}

} // namespace ATL
