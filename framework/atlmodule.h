// Module objects: the COM module state, the window module state and the EXE
// module base.
#pragma once

#include <windows.h>
#include <vector>

#include "atldef.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace ATL {

// The module that holds the code and resources of the caller.
inline HINSTANCE AtlGetModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

class CComCriticalSection
{
public:
    CComCriticalSection() : m_bInit(false) {}
    HRESULT Init()
    {
        ::InitializeCriticalSection(&m_sec);
        m_bInit = true;
        return S_OK;
    }
    void Term()
    {
        if (m_bInit)
        {
            ::DeleteCriticalSection(&m_sec);
            m_bInit = false;
        }
    }
    void Lock() { ::EnterCriticalSection(&m_sec); }
    void Unlock() { ::LeaveCriticalSection(&m_sec); }
    bool IsInit() const { return m_bInit; }

private:
    CRITICAL_SECTION m_sec;
    bool m_bInit;
};

// What a window object leaves for its window procedure while the window is
// being created: the object is picked up by the first message on that thread.
struct _AtlCreateWndData
{
    void* m_pThis;
    DWORD m_dwThreadID;
};

class CAtlWinModule
{
public:
    CAtlWinModule();
    ~CAtlWinModule();

    void AddCreateWndData(_AtlCreateWndData* pData, void* pObject);
    void* ExtractCreateWndData();
    void AddWindowClass(ATOM atom, HINSTANCE hInst);
    // Unregisters every class the framework registered; safe to call again.
    void Term();
    bool IsTerminated() const { return !m_csWindowCreate.IsInit(); }

    CComCriticalSection m_csWindowCreate;

private:
    std::vector<_AtlCreateWndData*> m_pending;
    std::vector<ATOM> m_rgWindowClassAtoms;
    HINSTANCE m_hInstClasses;
};

class CAtlComModule
{
public:
    CAtlComModule();
    HINSTANCE m_hInstTypeLib;
};

extern CAtlWinModule _AtlWinModule;
extern CAtlComModule _AtlComModule;

class CAtlModule
{
public:
    CAtlModule() : m_nLockCnt(0) {}
    virtual ~CAtlModule() {}
    virtual LONG Lock() { return ::InterlockedIncrement(&m_nLockCnt); }
    virtual LONG Unlock() { return ::InterlockedDecrement(&m_nLockCnt); }
    LONG GetLockCount() const { return m_nLockCnt; }

protected:
    LONG m_nLockCnt;
};

extern CAtlModule* _pAtlModule;

// The program publishes no COM classes; these are the defaults of a COM
// server process, kept as ATL keeps them, and nothing acts on them.
template <class T>
class CAtlExeModuleT : public CAtlModule
{
public:
    CAtlExeModuleT()
        : m_dwMainThreadID(::GetCurrentThreadId()),
          m_hEventShutdown(nullptr),
          m_dwTimeOut(5000),
          m_dwPause(1000),
          m_bDelayShutdown(true),
          m_bActivity(false)
    {
        _pAtlModule = this;
    }
    ~CAtlExeModuleT() override
    {
        if (_pAtlModule == this) _pAtlModule = nullptr;
    }

    DWORD m_dwMainThreadID;
    HANDLE m_hEventShutdown;
    DWORD m_dwTimeOut;
    DWORD m_dwPause;
    bool m_bDelayShutdown;
    bool m_bActivity;
};

} // namespace ATL
