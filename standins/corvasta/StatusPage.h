// The small HTML page that the Corvasta stand-in serves at its URL's path.
#pragma once

#include "components/Corvasta.h"

#include <string>

// UTF-8 HTML with the state, the served URL, a link to the stream, the
// connection count and the statistics.
std::string MakeStatusPage(LPCWSTR pszState, const std::wstring& strUrl, const std::wstring& strStreamPath,
                           const ServerStats& stats);

// HTTP speaks bytes; texts of the filter go out as UTF-8.
std::string ToUtf8(const std::wstring& str);
