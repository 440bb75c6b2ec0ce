#include "Sdp.h"
#include "Hex.h"

#include <algorithm>

namespace rtc {

namespace {

bool IsIceChar(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '+' ||
           ch == '/';
}

bool IsTokenChar(char ch)
{
    // RFC 8866's token-char: visible ASCII but the separators it excludes.
    return ch > 0x20 && ch < 0x7F && ch != '"' && ch != '(' && ch != ')' && ch != ',' && ch != '/' &&
           ch != ':' && ch != ';' && ch != '<' && ch != '=' && ch != '>' && ch != '?' && ch != '@' &&
           ch != '[' && ch != '\\' && ch != ']' && ch != '{' && ch != '}';
}

bool IsToken(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), IsTokenChar);
}

// A decimal number of at most nDigits digits, no sign, no spaces.
bool ReadNumber(const std::string& s, uint32_t nMax, uint32_t* pn)
{
    if (s.empty() || s.size() > 10)
        return false;
    uint64_t n = 0;
    for (char ch : s)
    {
        if (ch < '0' || ch > '9')
            return false;
        n = n * 10 + static_cast<uint32_t>(ch - '0');
    }
    if (n > nMax)
        return false;
    *pn = static_cast<uint32_t>(n);
    return true;
}

// An IP address or a host name as a candidate gives it; a zone may follow
// an IPv6 address.
bool IsCandidateAddress(const std::string& s)
{
    if (s.empty() || s.size() > 255)
        return false;
    return std::all_of(s.begin(), s.end(), [](char ch) {
        return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '.' ||
               ch == '-' || ch == ':' || ch == '%' || ch == '_';
    });
}

std::vector<std::string> Split(const std::string& s, char chSeparator)
{
    std::vector<std::string> parts;
    size_t i = 0;
    for (;;)
    {
        size_t j = s.find(chSeparator, i);
        parts.push_back(s.substr(i, j == std::string::npos ? std::string::npos : j - i));
        if (j == std::string::npos)
            return parts;
        i = j + 1;
    }
}

std::string Lower(std::string s)
{
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

// The state of one pass over the text: where attributes go and the first
// fault found.
class CSdpReader
{
public:
    CSdpReader(SdpSession* pSession) : m_pSession(pSession) {}

    bool Line(size_t iLine, const std::string& line);
    bool Finish();
    const std::string& Reason() const { return m_reason; }

private:
    bool Fail(const std::string& what)
    {
        m_reason = "line " + std::to_string(m_iLine) + ": " + what;
        return false;
    }
    bool MediaLine(const std::string& value);
    bool Attribute(const std::string& value);
    bool Fingerprint(const std::string& value, std::string* pHash, std::vector<uint8_t>* pBytes);
    bool Rtpmap(const std::string& value);
    bool Candidate(const std::string& value);
    bool PayloadAttribute(const std::string& value, std::string* pRest, int* pnPayloadType, bool bStar);
    SdpMedia* Media() { return m_pSession->media.empty() ? nullptr : &m_pSession->media.back(); }

    // a=fmtp and a=rtcp-fb, applied once every a=rtpmap is known.
    struct PendingAttribute
    {
        size_t iMedia;
        std::string name;
        int nPayloadType; // -1: every payload type ("*")
        std::string value;
        size_t iLine;
    };

    SdpSession* m_pSession;
    std::vector<PendingAttribute> m_pending;
    size_t m_iLine = 0;
    bool m_bVersion = false;
    bool m_bOrigin = false;
    std::string m_reason;
};

bool CSdpReader::Line(size_t iLine, const std::string& line)
{
    m_iLine = iLine;
    if (line.size() > SdpLimits::c_cchLine)
        return Fail("longer than " + std::to_string(SdpLimits::c_cchLine) + " characters");
    for (char ch : line)
        if ((static_cast<unsigned char>(ch) < 0x20 && ch != '\t') || ch == 0x7F)
            return Fail("a control character");
    if (line.size() < 2 || line[1] != '=' || line[0] < 'a' || line[0] > 'z')
        return Fail("not a type=value line");
    const char chType = line[0];
    const std::string value = line.substr(2);
    if (!m_bVersion)
    {
        if (chType != 'v' || value != "0")
            return Fail("a description starts with v=0");
        m_bVersion = true;
        return true;
    }
    switch (chType)
    {
    case 'v':
        return Fail("a second v= line");
    case 'o':
        if (Media() != nullptr || m_bOrigin)
            return Fail("o= belongs once to the session");
        if (Split(value, ' ').size() != 6)
            return Fail("o= has six fields");
        m_bOrigin = true;
        return true;
    case 'm':
        return MediaLine(value);
    case 'a':
        return Attribute(value);
    default:
        // s=, t=, c=, b= and the rest: the answer does not depend on them.
        return true;
    }
}

bool CSdpReader::MediaLine(const std::string& value)
{
    if (m_pSession->media.size() >= SdpLimits::c_cMedia)
        return Fail("more than " + std::to_string(SdpLimits::c_cMedia) + " media sections");
    std::vector<std::string> fields = Split(value, ' ');
    if (fields.size() < 4)
        return Fail("m= has a kind, a port, a protocol and formats");
    SdpMedia media;
    media.kind = fields[0];
    if (!IsToken(media.kind))
        return Fail("m= kind is not a token");
    std::string port = fields[1].substr(0, fields[1].find('/'));
    uint32_t nPort = 0;
    if (!ReadNumber(port, 65535, &nPort))
        return Fail("m= port is not a port number");
    media.nPort = static_cast<uint16_t>(nPort);
    media.proto = fields[2];
    if (fields.size() - 3 > SdpLimits::c_cFormats)
        return Fail("more than " + std::to_string(SdpLimits::c_cFormats) + " formats");
    // RTP profiles list payload types; others (a data channel's) tokens.
    bool bRtp = media.proto.find("RTP/") != std::string::npos;
    for (size_t i = 3; i < fields.size(); i++)
    {
        uint32_t nType = 0;
        if (bRtp)
        {
            if (!ReadNumber(fields[i], 127, &nType))
                return Fail("m= format \"" + fields[i].substr(0, 16) + "\" is not a payload type");
            if (std::find(media.formats.begin(), media.formats.end(), static_cast<int>(nType)) !=
                media.formats.end())
                return Fail("m= lists payload type " + fields[i] + " twice");
            media.formats.push_back(static_cast<int>(nType));
        }
        else if (!IsToken(fields[i]))
        {
            return Fail("m= format is not a token");
        }
    }
    m_pSession->media.push_back(std::move(media));
    return true;
}

bool CSdpReader::Fingerprint(const std::string& value, std::string* pHash, std::vector<uint8_t>* pBytes)
{
    size_t iSpace = value.find(' ');
    if (iSpace == std::string::npos || !IsToken(value.substr(0, iSpace)))
        return Fail("a=fingerprint is a hash name and the hexadecimal bytes");
    std::string hex = value.substr(iSpace + 1);
    std::vector<uint8_t> bytes;
    // "AB:CD:...": pairs of digits with a colon between.
    if (hex.size() % 3 != 2 || hex.size() > 3 * 64)
        return Fail("a=fingerprint bytes are not colon-separated pairs of hexadecimal digits");
    for (size_t i = 0; i < hex.size(); i += 3)
    {
        int nHigh = HexDigitValue(hex[i]), nLow = HexDigitValue(hex[i + 1]);
        if (nHigh < 0 || nLow < 0 || (i + 2 < hex.size() && hex[i + 2] != ':'))
            return Fail("a=fingerprint bytes are not colon-separated pairs of hexadecimal digits");
        bytes.push_back(static_cast<uint8_t>(nHigh * 16 + nLow));
    }
    std::string hash = Lower(value.substr(0, iSpace));
    if (hash == "sha-256" && bytes.size() != 32)
        return Fail("a=fingerprint sha-256 has 32 bytes");
    // One fingerprint is enough: the first, or a later SHA-256 over another hash.
    if (pHash->empty() || (hash == "sha-256" && *pHash != "sha-256"))
    {
        *pHash = hash;
        *pBytes = std::move(bytes);
    }
    return true;
}

// "PT rest" of a=rtpmap, a=fmtp and a=rtcp-fb: PT must be one of the
// section's formats ("*" for all where bStar).
bool CSdpReader::PayloadAttribute(const std::string& value, std::string* pRest, int* pnPayloadType, bool bStar)
{
    if (Media() == nullptr)
        return Fail("a payload type's attribute before any m= line");
    size_t iSpace = value.find(' ');
    if (iSpace == std::string::npos)
        return Fail("a payload type's attribute has a value after the type");
    std::string type = value.substr(0, iSpace);
    *pRest = value.substr(iSpace + 1);
    if (bStar && type == "*")
    {
        *pnPayloadType = -1;
        return true;
    }
    uint32_t nType = 0;
    if (!ReadNumber(type, 127, &nType))
        return Fail("\"" + type.substr(0, 16) + "\" is not a payload type");
    const std::vector<int>& formats = Media()->formats;
    if (std::find(formats.begin(), formats.end(), static_cast<int>(nType)) == formats.end())
        return Fail("payload type " + type + " is not in the m= line");
    *pnPayloadType = static_cast<int>(nType);
    return true;
}

bool CSdpReader::Rtpmap(const std::string& value)
{
    std::string rest;
    int nType = -1;
    if (!PayloadAttribute(value, &rest, &nType, false))
        return false;
    SdpMedia& media = *Media();
    if (media.Codec(nType) != nullptr)
        return Fail("a second a=rtpmap for payload type " + std::to_string(nType));
    std::vector<std::string> parts = Split(rest, '/');
    SdpCodec codec;
    codec.nPayloadType = nType;
    codec.name = parts[0];
    uint32_t nRate = 0, nChannels = 0;
    if (parts.size() < 2 || parts.size() > 3 || !IsToken(codec.name) || !ReadNumber(parts[1], 1000000000, &nRate) ||
        nRate == 0 || (parts.size() == 3 && (!ReadNumber(parts[2], 255, &nChannels) || nChannels == 0)))
        return Fail("a=rtpmap is PT name/clock rate[/channels]");
    codec.nClockRate = nRate;
    codec.nChannels = static_cast<int>(nChannels);
    media.codecs.push_back(std::move(codec));
    return true;
}

bool CSdpReader::Candidate(const std::string& value)
{
    SdpMedia& media = *Media();
    if (media.candidates.size() >= SdpLimits::c_cCandidates)
        return Fail("more than " + std::to_string(SdpLimits::c_cCandidates) + " a=candidate in a media section");
    // foundation component transport priority address port "typ" type,
    // then extensions as name and value.
    const std::vector<std::string> fields = Split(value, ' ');
    if (fields.size() < 8 || fields[6] != "typ")
        return Fail("a=candidate is foundation, component, transport, priority, address, port, typ and type");
    SdpCandidate candidate;
    candidate.foundation = fields[0];
    if (candidate.foundation.empty() || candidate.foundation.size() > 32 ||
        !std::all_of(candidate.foundation.begin(), candidate.foundation.end(), IsIceChar))
        return Fail("a=candidate foundation is 1 to 32 ICE characters");
    if (!ReadNumber(fields[1], 256, &candidate.nComponent) || candidate.nComponent == 0)
        return Fail("a=candidate component is a number from 1 to 256");
    if (!IsToken(fields[2]))
        return Fail("a=candidate transport is not a token");
    candidate.transport = Lower(fields[2]);
    if (!ReadNumber(fields[3], UINT32_MAX, &candidate.nPriority))
        return Fail("a=candidate priority is not a number from 0 to 4294967295");
    if (!IsCandidateAddress(fields[4]))
        return Fail("a=candidate address is not an IP address or a host name");
    candidate.address = fields[4];
    uint32_t nPort = 0;
    if (!ReadNumber(fields[5], 65535, &nPort))
        return Fail("a=candidate port is not a port number");
    candidate.nPort = static_cast<uint16_t>(nPort);
    candidate.type = fields[7];
    if (candidate.type != "host" && candidate.type != "srflx" && candidate.type != "prflx" &&
        candidate.type != "relay")
        return Fail("a=candidate type is host, srflx, prflx or relay");
    if ((fields.size() - 8) % 2 != 0)
        return Fail("a=candidate extension without a value");
    for (size_t i = 8; i < fields.size(); i += 2)
    {
        const std::string& name = fields[i];
        const std::string& extension = fields[i + 1];
        if (!IsToken(name) || extension.empty())
            return Fail("a=candidate extension is a name and a value");
        if (name == "raddr" && !IsCandidateAddress(extension))
            return Fail("a=candidate raddr is not an IP address or a host name");
        if (name == "rport" && !ReadNumber(extension, 65535, &nPort))
            return Fail("a=candidate rport is not a port number");
    }
    media.candidates.push_back(std::move(candidate));
    return true;
}

bool CSdpReader::Attribute(const std::string& value)
{
    size_t iColon = value.find(':');
    std::string name = value.substr(0, iColon);
    std::string arg = iColon == std::string::npos ? std::string() : value.substr(iColon + 1);
    if (!IsToken(name))
        return Fail("an attribute's name is not a token");
    SdpMedia* pMedia = Media();
    if (name == "ice-ufrag" || name == "ice-pwd")
    {
        bool bUfrag = name == "ice-ufrag";
        // RFC 8839: 4 and 22 ice-chars at least, 256 at most.
        if (arg.size() < (bUfrag ? 4u : 22u) || arg.size() > 256 || !std::all_of(arg.begin(), arg.end(), IsIceChar))
            return Fail("a=" + name + " is " + (bUfrag ? "4" : "22") + " to 256 ICE characters");
        std::string& target = bUfrag ? (pMedia ? pMedia->iceUfrag : m_pSession->iceUfrag)
                                     : (pMedia ? pMedia->icePwd : m_pSession->icePwd);
        target = arg;
        return true;
    }
    if (name == "fingerprint")
        return pMedia ? Fingerprint(arg, &pMedia->fingerprintHash, &pMedia->fingerprint)
                      : Fingerprint(arg, &m_pSession->fingerprintHash, &m_pSession->fingerprint);
    if (name == "setup")
    {
        if (arg != "actpass" && arg != "active" && arg != "passive" && arg != "holdconn")
            return Fail("a=setup is actpass, active, passive or holdconn");
        (pMedia ? pMedia->setup : m_pSession->setup) = arg;
        return true;
    }
    if (name == "group")
    {
        std::vector<std::string> parts = Split(arg, ' ');
        if (parts[0] == "BUNDLE")
        {
            if (pMedia != nullptr)
                return Fail("a=group belongs to the session");
            m_pSession->bundle.assign(parts.begin() + 1, parts.end());
        }
        return true;
    }
    if (pMedia == nullptr)
        return true;
    if (name == "mid")
    {
        if (!IsToken(arg) || arg.size() > 32)
            return Fail("a=mid is a token of at most 32 characters");
        pMedia->mid = arg;
    }
    else if (name == "sendrecv" || name == "recvonly" || name == "sendonly" || name == "inactive")
    {
        pMedia->direction = name;
    }
    else if (name == "rtcp-mux")
    {
        pMedia->bRtcpMux = true;
    }
    else if (name == "rtpmap")
    {
        return Rtpmap(arg);
    }
    else if (name == "candidate")
    {
        return Candidate(arg);
    }
    else if (name == "fmtp" || name == "rtcp-fb")
    {
        std::string rest;
        int nType = -1;
        if (!PayloadAttribute(arg, &rest, &nType, name == "rtcp-fb"))
            return false;
        // Held until the end: a=rtpmap may come after these.
        m_pending.push_back({m_pSession->media.size() - 1, name, nType, rest, m_iLine});
    }
    return true;
}

bool CSdpReader::Finish()
{
    if (!m_bVersion)
        return Fail("no v=0 line");
    if (!m_bOrigin)
        return Fail("no o= line");
    // Static payload types need no a=rtpmap (RFC 3551).
    static const struct
    {
        int nType;
        const char* pszName;
    } c_rgStatic[] = {{0, "PCMU"}, {8, "PCMA"}, {9, "G722"}};
    for (SdpMedia& media : m_pSession->media)
        for (const auto& fixed : c_rgStatic)
            if (media.Codec(fixed.nType) == nullptr &&
                std::find(media.formats.begin(), media.formats.end(), fixed.nType) != media.formats.end() &&
                media.proto.find("RTP/") != std::string::npos)
            {
                SdpCodec codec;
                codec.nPayloadType = fixed.nType;
                codec.name = fixed.pszName;
                codec.nClockRate = 8000;
                codec.nChannels = 1;
                media.codecs.push_back(codec);
            }
    for (const PendingAttribute& pending : m_pending)
    {
        m_iLine = pending.iLine;
        for (SdpCodec& codec : m_pSession->media[pending.iMedia].codecs)
        {
            if (pending.nPayloadType != -1 && codec.nPayloadType != pending.nPayloadType)
                continue;
            if (pending.name == "fmtp")
            {
                if (!codec.fmtp.empty())
                    return Fail("a second a=fmtp for payload type " + std::to_string(codec.nPayloadType));
                codec.fmtp = pending.value;
            }
            else if (codec.rtcpFb.size() >= SdpLimits::c_cFeedback)
            {
                return Fail("more than " + std::to_string(SdpLimits::c_cFeedback) + " a=rtcp-fb for payload type " +
                            std::to_string(codec.nPayloadType));
            }
            else
            {
                codec.rtcpFb.push_back(pending.value);
            }
        }
    }
    return true;
}

} // namespace

const SdpCodec* SdpMedia::Codec(int nPayloadType) const
{
    for (const SdpCodec& codec : codecs)
        if (codec.nPayloadType == nPayloadType)
            return &codec;
    return nullptr;
}

bool ParseSdp(const char* pszText, size_t cbText, SdpSession* pSession, std::string* pReason)
{
    *pSession = SdpSession();
    pReason->clear();
    if (cbText > SdpLimits::c_cbText)
    {
        *pReason = "larger than " + std::to_string(SdpLimits::c_cbText) + " bytes";
        return false;
    }
    CSdpReader reader(pSession);
    size_t iLine = 0, i = 0;
    // Lines end in CRLF; a bare LF is taken too (RFC 8866, 5). A last line
    // without an end counts; empty lines count only at the very end.
    while (i < cbText)
    {
        size_t j = i;
        while (j < cbText && pszText[j] != '\n')
            j++;
        size_t cch = j - i;
        if (cch > 0 && pszText[i + cch - 1] == '\r')
            cch--;
        if (++iLine > SdpLimits::c_cLines)
        {
            *pReason = "more than " + std::to_string(SdpLimits::c_cLines) + " lines";
            return false;
        }
        std::string line(pszText + i, cch);
        i = j < cbText ? j + 1 : j;
        if (line.empty() && i >= cbText)
            break;
        if (!reader.Line(iLine, line))
        {
            *pReason = reader.Reason();
            *pSession = SdpSession();
            return false;
        }
    }
    if (!reader.Finish())
    {
        *pReason = reader.Reason();
        *pSession = SdpSession();
        return false;
    }
    return true;
}

bool CheckWebRtcOffer(const SdpSession& session, std::string* pReason)
{
    if (session.media.empty())
    {
        *pReason = "no media section";
        return false;
    }
    for (size_t i = 0; i < session.media.size(); i++)
    {
        const SdpMedia& media = session.media[i];
        std::string which = "media section " + std::to_string(i + 1) + " (" + media.kind + ")";
        if ((media.iceUfrag.empty() && session.iceUfrag.empty()) || (media.icePwd.empty() && session.icePwd.empty()))
        {
            *pReason = which + " has no ICE user name and password";
            return false;
        }
        if (media.fingerprint.empty() && session.fingerprint.empty())
        {
            *pReason = which + " has no DTLS fingerprint";
            return false;
        }
    }
    return true;
}

} // namespace rtc
