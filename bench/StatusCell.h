// The Corvasta filter's status page and status.json, read on 127.0.0.1.
#pragma once

#include <string>

// The text of a row of the status page's table; empty when the page could
// not be read or has no such row.
std::string StatusCell(unsigned short nPort, const char* pszRow);

// status.json as served at the port's root path; empty when unread.
std::string StatusJson(unsigned short nPort);
// A number of that JSON by its key, or -1.
long long JsonNumber(const std::string& strJson, const char* pszKey);
