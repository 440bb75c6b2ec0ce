// The stand-in's own interface for its property page: what became of each
// ICE server at the last gathering, one line per server. Not part of the
// filter's published interfaces; only this DLL knows it.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "components/ComponentIds.h"

// {B3519B1D-E4AF-44D3-81EA-9D21E1656B96}
#define UUID_IIceServerStatus 0xb3519b1d, 0xe4af, 0x44d3, 0x81, 0xea, 0x9d, 0x21, 0xe1, 0x65, 0x6b, 0x96

struct IIceServerStatus : public IUnknown
{
    // Lines separated by CRLF; "none" when the filter has no ICE server.
    virtual HRESULT STDMETHODCALLTYPE GetIceServerStatus(BSTR* pbsText) = 0;
};
CORVASTA_UUID_DECL(IIceServerStatus, UUID_IIceServerStatus)
