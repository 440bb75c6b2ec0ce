// Fault switches and settings of a stand-in filter, read once when the filter
// is created from HKCU\Software\CorvastaTest\Faults\<filter name>.
//
// DWORD values of that key:
//   "<Method>"             = HRESULT   the named call returns this instead of
//                                      doing its work (e.g. "SelectEncoder",
//                                      "SetSamplingRate", "GetClassID")
//   "NoPin:<pin name>"     = 1         the filter is created without that pin
//   "NoInterface:<IName>"  = 1         QueryInterface denies that interface
//   "<Setting>"            = value     a setting of the filter (for instance
//                                      "ClipLength" of the generator, in ms,
//                                      or "SupportedEncoders" of the QS
//                                      encoder); each filter documents its own
// Names compare without regard to case, as registry value names do.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

extern const wchar_t c_szKitFaultsKey[]; // Software\CorvastaTest\Faults

class CKitFaults
{
public:
    void Load(const wchar_t* pszFilterName);

    // S_OK when the call is not switched to fail.
    HRESULT Fault(const wchar_t* pszMethod) const;
    bool HidesPin(const wchar_t* pszPin) const;
    bool HidesInterface(const wchar_t* pszInterface) const;
    DWORD Setting(const wchar_t* pszName, DWORD dwDefault) const;

private:
    const DWORD* Find(const wchar_t* pszPrefix, const wchar_t* pszName) const;

    std::vector<std::pair<std::wstring, DWORD>> m_rgValues;
};


// Inside a method: returns the switched HRESULT when the call is set to fail.
#define KIT_FAULT(name)                                                                 \
    do                                                                                  \
    {                                                                                   \
        HRESULT hrFault_ = Faults().Fault(name);                                        \
        if (hrFault_ != S_OK)                                                           \
            return hrFault_;                                                            \
    } while (0)
