// Saved graph files for tests: graphs of the stand-ins composed in a graph
// manager and saved through the grf library, and hand-made compound files.
#pragma once

#include "atlbase.h"

#include "atldshow.h"

#include <cstdint>
#include <string>
#include <vector>

struct SavedFilter
{
    const wchar_t* pszName;
    GUID clsid;
};

// From filter, its output pin, to filter, its input pin (by name).
struct SavedLink
{
    const wchar_t* pszFrom;
    const wchar_t* pszFromPin;
    const wchar_t* pszTo;
    const wchar_t* pszToPin;
};

// Adds the filters in order and connects the links directly.
HRESULT ComposeGraph(IGraphBuilder* pGraph, const std::vector<SavedFilter>& filters,
                     const std::vector<SavedLink>& links);
// Composes the graph in a graph manager of its own and saves it to pszFile.
HRESULT SaveComposedGraph(const std::wstring& file, const std::vector<SavedFilter>& filters,
                          const std::vector<SavedLink>& links);
// Saves what pGraph holds.
HRESULT SaveGraphFile(IFilterGraph* pGraph, const std::wstring& file);

// A compound file with one stream of the given bytes (none when pszStream is
// null), or a plain file of the bytes.
HRESULT WriteCompoundFile(const std::wstring& file, const wchar_t* pszStream, const std::vector<uint8_t>& bytes);
bool WritePlainFile(const std::wstring& file, const std::string& bytes);

// A path in the temporary folder, removed again by ~CTempFile.
class CTempFile
{
public:
    explicit CTempFile(const wchar_t* pszName);
    ~CTempFile();
    const std::wstring& Path() const { return m_path; }
    LPCWSTR c_str() const { return m_path.c_str(); }

private:
    std::wstring m_path;
};

// The folder of the real saved graph files (tests/fixtures/grf), as a
// Windows path ending in a separator.
std::wstring FixtureFolder();
