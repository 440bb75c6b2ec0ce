// A failure described for a message: its text and its code.
#pragma once

#include <windows.h>

#include <string>

// "The RPC server is unavailable. (0x800706BA)": DirectShow's text for its
// own codes, the system's for the rest, the bare code when neither knows it.
std::wstring DescribeError(HRESULT hr);
