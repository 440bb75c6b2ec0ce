// The harness's graph of the preselected components, built by the platform
// calls that the harness makes, without anything of the dialog.
#pragma once

#include "atlbase.h"

#include "atldshow.h"

// Releases the graph held in spGraph (as the harness does before a build),
// then builds it anew with its events posted to hWnd as uMsg.
HRESULT BuildBareGraph(CComPtr<IGraphBuilder>& spGraph, HWND hWnd, UINT uMsg);

// Stops notifying and releases the graph.
void ReleaseBareGraph(CComPtr<IGraphBuilder>& spGraph);
