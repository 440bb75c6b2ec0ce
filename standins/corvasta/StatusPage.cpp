#include "StatusPage.h"

#include "viewer/ViewerAssets.h"

#include <vector>

namespace {

// A changing line of the page: its heading, its key in the JSON and the
// page's row, and its value.
struct CFigure
{
    const char* pszName;
    const char* pszKey;
    std::string strValue;
};

std::vector<CFigure> Counts(const ServerStats& stats)
{
    return {
        {"Connections", "connections", std::to_string(stats.nConnections)},
        {"Connections served", "connectionsServed", std::to_string(stats.nConnectionsTotal)},
        {"Video samples", "videoSamples", std::to_string(stats.nVideoSamples)},
        {"Audio samples", "audioSamples", std::to_string(stats.nAudioSamples)},
        {"Packets received", "packetsReceived", std::to_string(stats.nPacks)},
        {"Bytes received", "bytesReceived", std::to_string(stats.nBytes)},
        {"Packets sent", "packetsSent", std::to_string(stats.nPacksSent)},
        {"Bytes sent", "bytesSent", std::to_string(stats.nBytesSent)},
        {"Key-frame requests", "keyFrameRequests", std::to_string(stats.nKeyFrameRequests)},
        {"Video transfer (us)", "videoTransferUs", std::to_string(stats.nRtpTransferVid)},
        {"Audio transfer (us)", "audioTransferUs", std::to_string(stats.nRtpTransferAud)},
    };
}

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

std::string Row(const char* pszName, const std::string& strValue, const char* pszKey = nullptr)
{
    std::string strRow = pszKey != nullptr ? std::string("<tr data-key=\"") + pszKey + "\">" : "<tr>";
    return strRow + "<th>" + pszName + "</th><td>" + strValue + "</td></tr>\n";
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

std::wstring FromUtf8(const std::string& str)
{
    if (str.empty())
        return std::wstring();
    int cch = ::MultiByteToWideChar(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), nullptr, 0);
    std::wstring strOut(static_cast<size_t>(cch > 0 ? cch : 0), L'\0');
    if (cch > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), &strOut[0], cch);
    return strOut;
}

std::string IceServerLine(const CIceServerStatus& server)
{
    if (!server.m_strError.empty())
        return server.m_strUri + ": " + server.m_strState + ": " + server.m_strError;
    if (!server.m_strAddress.empty())
        return server.m_strUri + ": " + server.m_strState + ", " + server.m_strAddress;
    return server.m_strUri + ": " + server.m_strState;
}

std::string JsonString(const std::string& str)
{
    std::string strOut = "\"";
    for (char ch : str)
    {
        if (static_cast<unsigned char>(ch) < 0x20)
            continue;
        if (ch == '"' || ch == '\\')
            strOut += '\\';
        strOut += ch;
    }
    return strOut + "\"";
}

std::string MakeStatusPage(LPCWSTR pszState, const CServerUrl& url, const ServerStats& stats,
                           const CPeerStatus& peers)
{
    std::string strStream = Escape(url.StreamPath());
    std::string strPage =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Corvasta</title>\n<style>\n";
    strPage += szViewerStyle;
    strPage += "</style></head>\n<body><h1>Corvasta</h1>\n<div class=\"columns\">\n";
    // The player reads where to fetch from its own element.
    strPage += "<div id=\"viewer\" data-stream=\"" + strStream + "\" data-whep=\"" + Escape(url.WhepPath()) +
               "\" data-status=\"" +
               Escape(url.StatusJsonPath()) + "\">\n" + szViewerBody + "</div>\n";
    strPage += "<table id=\"status\">\n";
    strPage += Row("State", Escape(pszState != nullptr ? pszState : L""), "state");
    strPage += Row("URL", Escape(url.Text()));
    strPage += Row("Stream", "<a href=\"" + strStream + "\">" + strStream + "</a>");
    for (const CFigure& figure : Counts(stats))
        strPage += Row(figure.pszName, figure.strValue, figure.pszKey);
    strPage += Row("Not sent", Escape(std::wstring(peers.m_strRejections.begin(), peers.m_strRejections.end())),
                   "rejected");
    // The viewer lists these from status.json.
    strPage += Row("ICE servers", "", "iceServers");
    strPage += Row("Dropped", "", "dropped");
    strPage += Row("Peers", "", "peers");
    strPage += "</table>\n</div>\n<script>\n";
    strPage += szViewerScript;
    strPage += "</script>\n</body></html>\n";
    return strPage;
}

std::string MakeStatusJson(LPCWSTR pszState, const ServerStats& stats, const CPeerStatus& peers)
{
    // The state is one of the filter's own words; the counts are numbers.
    std::string strJson = "{\"state\":\"" + ToUtf8(pszState != nullptr ? pszState : L"") + "\"";
    for (const CFigure& figure : Counts(stats))
        strJson += std::string(",\"") + figure.pszKey + "\":" + figure.strValue;
    strJson += ",\"rejected\":" + JsonString(peers.m_strRejections);
    strJson += ",\"iceServers\":[";
    for (size_t i = 0; i < peers.m_iceServers.size(); ++i)
    {
        const CIceServerStatus& server = peers.m_iceServers[i];
        strJson += std::string(i > 0 ? "," : "") + "{\"uri\":" + JsonString(server.m_strUri) +
                   ",\"state\":" + JsonString(server.m_strState) + ",\"error\":" + JsonString(server.m_strError) +
                   ",\"address\":" + JsonString(server.m_strAddress) + "}";
    }
    const CDropCounts& dropped = peers.m_dropped;
    strJson += "],\"dropped\":{\"datagrams\":" + std::to_string(dropped.m_nDatagrams) +
               ",\"rateLimited\":" + std::to_string(dropped.m_nRateLimited) +
               ",\"badChecks\":" + std::to_string(dropped.m_nBadChecks) +
               ",\"unconnected\":" + std::to_string(dropped.m_nUnconnected) +
               ",\"refused\":" + std::to_string(dropped.m_nRefused) + "}";
    return strJson + ",\"peers\":" + peers.m_strPeersJson + "}";
}
