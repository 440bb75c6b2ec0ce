// Data for the saved-graph format tests: the real files of the fixtures
// folder (tests/fixtures/grf), the kept fuzzing
// corpus (grf/fuzz/corpus), and hand-made streams.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "grf/GrfGraph.h"
#include "tests/support/CorpusFiles.h"

std::wstring GrfFixturePath(const wchar_t* pszFile);
// The ActiveMovieGraph stream of a compound file, through the platform's
// structured storage.
HRESULT ReadGraphStream(const std::wstring& file, std::vector<uint8_t>* pBytes);

// Every file of the kept fuzzing corpus, as full paths.
std::vector<std::wstring> GrfCorpusFiles();

// Each character of text as one UTF-16LE unit (text is ASCII; "\0" inside a
// std::string literal with its length gives U+0000).
std::vector<uint8_t> Utf16(const std::string& text);
std::vector<uint8_t>& operator+=(std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

grf::Guid ToGrfGuid(REFGUID guid);
// A GUID from its text, through the platform's parser.
grf::Guid GuidFromText(const wchar_t* pszGuid);
