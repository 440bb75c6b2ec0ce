// The graph the harness builds from components, made from the stand-ins:
// generator -> QS encoder -> Corvasta and generator -> Opus encoder ->
// Corvasta. The editor's tests show it, in their own process and in another.
#pragma once

#include "atlbase.h"

#include "atldshow.h"

#include <string>

extern const wchar_t szGenerator[];
extern const wchar_t szQSEncoder[];
extern const wchar_t szOpusEncoder[];
extern const wchar_t szCorvasta[];

HRESULT BuildCorvastaGraph(IGraphBuilder** ppGraph);
// That graph saved as a file.
HRESULT SaveCorvastaGraph(const std::wstring& file);

// The filter of that name, or null.
CComPtr<IBaseFilter> FindFilter(IFilterGraph* pGraph, LPCWSTR pszName);
