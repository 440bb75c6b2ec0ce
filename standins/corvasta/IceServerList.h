// The ICE (STUN and TURN) servers that the Corvasta stand-in hands to its
// web clients, in the order they were added.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

// One server as gathering uses it: UTF-8, an absent user or password empty.
struct CIceServerConfig
{
    std::string m_strUri;
    std::string m_strUser;
    std::string m_strPassword;
};

class CIceServerList
{
public:
    static const size_t nMaxLength = 255;

    // "host:port", or a stun:, stuns:, turn: or turns: URI with an optional
    // port (turn and turns may add "?transport=udp" or "?transport=tcp").
    // Hosts are names, dotted IPv4 addresses or bracketed IPv6 addresses.
    // A known scheme decides the form: "stun:3478" is a URI with a bad host,
    // not the host "stun".
    static bool IsValidUri(LPCWSTR pszUri);

    // E_INVALIDARG for a NULL, empty or malformed URI, or credentials with
    // control characters. An empty user or password counts as none.
    HRESULT Add(BSTR bsUri, BSTR bsUser, BSTR bsPwd);
    LONG Count() const { return static_cast<LONG>(m_entries.size()); }
    // Each output is set to NULL first; an absent user or password stays
    // NULL. E_INVALIDARG for an index out of range.
    HRESULT Get(LONG nIndex, BSTR* pbsUri, BSTR* pbsUser, BSTR* pbsPwd) const;
    // The later entries move up by one.
    HRESULT Remove(LONG nIndex);
    // The servers as they are now, in order, for the next peer's gathering.
    std::vector<CIceServerConfig> Configs() const;

private:
    struct CEntry
    {
        std::wstring m_strUri;
        std::wstring m_strUser; // empty: none
        std::wstring m_strPwd;  // empty: none
    };

    bool IsIndex(LONG nIndex) const { return nIndex >= 0 && nIndex < Count(); }

    std::vector<CEntry> m_entries;
};
