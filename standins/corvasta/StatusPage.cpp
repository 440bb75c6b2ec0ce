#include "StatusPage.h"

namespace {

std::string Escape(const std::wstring& str)
{
    std::string strOut;
    for (char ch : ToUtf8(str))
    {
        switch (ch)
        {
        case '&': strOut += "&amp;"; break;
        case '<': strOut += "&lt;"; break;
        case '>': strOut += "&gt;"; break;
        case '"': strOut += "&quot;"; break;
        default: strOut += ch; break;
        }
    }
    return strOut;
}

std::string Row(const char* pszName, const std::string& strValue)
{
    return std::string("<tr><th>") + pszName + "</th><td>" + strValue + "</td></tr>\n";
}

} // namespace

std::string ToUtf8(const std::wstring& str)
{
    if (str.empty())
        return std::string();
    int cb = ::WideCharToMultiByte(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string strOut(static_cast<size_t>(cb > 0 ? cb : 0), '\0');
    if (cb > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), &strOut[0], cb, nullptr,
                              nullptr);
    return strOut;
}

std::string MakeStatusPage(LPCWSTR pszState, const std::wstring& strUrl, const std::wstring& strStreamPath,
                           const ServerStats& stats)
{
    std::string strStream = Escape(strStreamPath);
    std::string strPage =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Corvasta</title></head>\n"
        "<body><h1>Corvasta</h1>\n<table>\n";
    strPage += Row("State", Escape(pszState != nullptr ? pszState : L""));
    strPage += Row("URL", Escape(strUrl));
    strPage += Row("Stream", "<a href=\"" + strStream + "\">" + strStream + "</a>");
    strPage += Row("Connections", std::to_string(stats.nConnections));
    strPage += Row("Connections served", std::to_string(stats.nConnectionsTotal));
    strPage += Row("Video samples", std::to_string(stats.nVideoSamples));
    strPage += Row("Audio samples", std::to_string(stats.nAudioSamples));
    strPage += Row("Packets received", std::to_string(stats.nPacks));
    strPage += Row("Bytes received", std::to_string(stats.nBytes));
    strPage += Row("Packets sent", std::to_string(stats.nPacksSent));
    strPage += Row("Bytes sent", std::to_string(stats.nBytesSent));
    strPage += Row("Key-frame requests", std::to_string(stats.nKeyFrameRequests));
    strPage += Row("Video transfer (us)", std::to_string(stats.nRtpTransferVid));
    strPage += Row("Audio transfer (us)", std::to_string(stats.nRtpTransferAud));
    strPage += "</table>\n</body></html>\n";
    return strPage;
}
