/*
 * corvastaps.dll: one class, the proxy/stub factory of every interface in
 * the IDL files here. DllRegisterServer points each interface's
 * ProxyStubClsid32 at it; DllUnregisterServer removes those keys again.
 */
#define REGISTER_PROXY_DLL
#define PROXY_DELEGATION
#define PROXY_CLSID_IS {0x57306b4d, 0x1f73, 0x40fc, {0xa2, 0xdf, 0xb2, 0xdd, 0x53, 0x1a, 0x16, 0x59}}

#include <objbase.h>
#include <rpcproxy.h>

EXTERN_PROXY_FILE(GraphInterfaces)
EXTERN_PROXY_FILE(ComponentInterfaces)

PROXYFILE_LIST_START
    REFERENCE_PROXY_FILE(GraphInterfaces),
    REFERENCE_PROXY_FILE(ComponentInterfaces),
PROXYFILE_LIST_END

DLLDATA_ROUTINES(aProxyFileList, GET_DLL_CLSID)
