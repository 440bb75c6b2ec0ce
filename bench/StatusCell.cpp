#include "StatusCell.h"

#include "tests/support/LoopbackClient.h"

std::string StatusCell(unsigned short nPort, const char* pszRow)
{
    std::string strPage = HttpGet(nPort, "/");
    std::string strCell = std::string("<th>") + pszRow + "</th><td>";
    size_t n = strPage.find(strCell);
    if (n == std::string::npos)
        return std::string();
    n += strCell.size();
    return strPage.substr(n, strPage.find('<', n) - n);
}
