// The Corvasta filter's status page, read on 127.0.0.1.
#pragma once

#include <string>

// The text of a row of the status page's table; empty when the page could
// not be read or has no such row.
std::string StatusCell(unsigned short nPort, const char* pszRow);
