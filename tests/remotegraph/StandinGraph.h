// The graph that the cross-process tests read on both sides of the process
// boundary: the generator's video connected to the QS encoder, its audio
// left open, the VP8 encoder and the Corvasta server filter on their own.
#pragma once

#include "atlbase.h"
#include "atldshow.h"

extern const wchar_t szGeneratorFilter[];
extern const wchar_t szQSEncoderFilter[];
extern const wchar_t szVP8EncoderFilter[];
extern const wchar_t szCorvastaFilter[];

// The event that the graph's owner queues before it publishes the graph:
// EC_USER + 1 with this first parameter and its process id as the second.
const LONG lRemoteEventCode = EC_USER + 1;
const LONG_PTR lRemoteEventParam = 0x5EED;

HRESULT BuildStandinGraph(IGraphBuilder* pGraph);

// The named pin of the named filter.
HRESULT FindFilterPin(IFilterGraph* pGraph, LPCWSTR pszFilter, LPCWSTR pszPin, IPin** ppPin);
