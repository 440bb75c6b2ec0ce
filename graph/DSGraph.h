// Free DirectShow helpers.
#pragma once

#include "atlbase.h"

#include "atldshow.h"

// Loads a saved graph (.grf) into the graph manager.
HRESULT BuildFromGRF(IGraphBuilder* pGraph, LPCWSTR pszFile);
