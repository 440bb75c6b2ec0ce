// Free DirectShow helpers.
#pragma once

#include "atlbase.h"

#include "atldshow.h"

// Loads a saved graph (.grf) into the graph manager.
HRESULT BuildFromGRF(IGraphBuilder* pGraph, LPCWSTR pszFile);

// Opens the platform's modal property frame with the pages of one filter.
HRESULT ShowPropertyPages(IUnknown* pUnknown, HWND hWndOwner);
