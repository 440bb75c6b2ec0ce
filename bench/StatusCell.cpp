#include "StatusCell.h"

#include <cstdlib>

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

std::string StatusJson(unsigned short nPort)
{
    std::string strResponse = HttpGet(nPort, "/status.json");
    size_t nBody = strResponse.find("\r\n\r\n");
    return HttpStatus(strResponse) == 200 && nBody != std::string::npos ? strResponse.substr(nBody + 4)
                                                                         : std::string();
}

long long JsonNumber(const std::string& strJson, const char* pszKey)
{
    std::string strKey = std::string("\"") + pszKey + "\":";
    size_t n = strJson.find(strKey);
    if (n == std::string::npos || n + strKey.size() >= strJson.size())
        return -1;
    const char* psz = strJson.c_str() + n + strKey.size();
    if (*psz < '0' || *psz > '9')
        return -1;
    return std::atoll(psz);
}
