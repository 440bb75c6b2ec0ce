// An object's IPersistStream data as bytes, through a memory stream: what a
// saved graph keeps for each filter.
#pragma once

#include <objidl.h>

#include <cstdint>
#include <vector>

// The bytes that Save writes into a fresh stream; E_NOINTERFACE without
// IPersistStream.
HRESULT SavePersistBytes(IUnknown* pUnk, std::vector<uint8_t>* pBytes, BOOL fClearDirty = TRUE);
// Load from a stream that holds just the bytes; E_NOINTERFACE without
// IPersistStream.
HRESULT LoadPersistBytes(IUnknown* pUnk, const std::vector<uint8_t>& bytes);
