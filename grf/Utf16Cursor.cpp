#include "grf/Utf16Cursor.h"

#include "grf/GrfLimits.h"

namespace grf {

namespace {

int HexValue(char16_t ch)
{
    if (ch >= u'0' && ch <= u'9')
        return ch - u'0';
    if (ch >= u'A' && ch <= u'F')
        return ch - u'A' + 10;
    if (ch >= u'a' && ch <= u'f')
        return ch - u'a' + 10;
    return -1;
}

} // namespace

bool IsSpace(char16_t ch)
{
    return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n';
}

bool IsDigit(char16_t ch)
{
    return ch >= u'0' && ch <= u'9';
}

bool Utf16Cursor::Peek(char16_t* pch) const
{
    if (Remaining() < 2)
        return false;
    *pch = static_cast<char16_t>(m_pb[m_ib] | (m_pb[m_ib + 1] << 8));
    return true;
}

bool Utf16Cursor::Next(char16_t* pch)
{
    if (!Peek(pch))
        return false;
    m_ib += 2;
    return true;
}

size_t Utf16Cursor::SkipSpace()
{
    size_t cch = 0;
    char16_t ch;
    while (Peek(&ch) && IsSpace(ch))
    {
        m_ib += 2;
        ++cch;
    }
    return cch;
}

bool Utf16Cursor::SkipWord(const char16_t* pszWord)
{
    const size_t ibStart = m_ib;
    char16_t ch;
    for (const char16_t* p = pszWord; *p; ++p)
    {
        if (!Next(&ch) || ch != *p)
        {
            m_ib = ibStart;
            return false;
        }
    }
    return true;
}

bool Utf16Cursor::ReadNumber(uint64_t nMax, uint64_t* pn)
{
    const size_t ibStart = m_ib;
    uint64_t n = 0;
    size_t cDigits = 0;
    char16_t ch;
    while (Peek(&ch) && IsDigit(ch))
    {
        // nMax is at most ten digits, so n * 10 + 9 cannot overflow.
        n = n * 10 + static_cast<uint64_t>(ch - u'0');
        if (n > nMax)
        {
            m_ib = ibStart;
            return false;
        }
        m_ib += 2;
        ++cDigits;
    }
    if (cDigits == 0)
        return false;
    *pn = n;
    return true;
}

bool Utf16Cursor::ReadGuid(Guid* pGuid)
{
    const size_t ibStart = m_ib;
    // The positions of the dashes and braces; every other one is a hex digit.
    uint8_t rgDigits[32];
    size_t cDigits = 0;
    for (size_t i = 0; i < kGuidChars; ++i)
    {
        char16_t ch;
        if (!Next(&ch))
        {
            m_ib = ibStart;
            return false;
        }
        const char16_t chFixed = i == 0 ? u'{' : i == kGuidChars - 1 ? u'}'
                               : (i == 9 || i == 14 || i == 19 || i == 24) ? u'-' : 0;
        const int nHex = HexValue(ch);
        if (chFixed ? ch != chFixed : nHex < 0)
        {
            m_ib = ibStart;
            return false;
        }
        if (!chFixed)
            rgDigits[cDigits++] = static_cast<uint8_t>(nHex);
    }
    auto bits = [&](size_t iFirst, size_t c) {
        uint32_t n = 0;
        for (size_t i = iFirst; i < iFirst + c; ++i)
            n = (n << 4) | rgDigits[i];
        return n;
    };
    pGuid->Data1 = bits(0, 8);
    pGuid->Data2 = static_cast<uint16_t>(bits(8, 4));
    pGuid->Data3 = static_cast<uint16_t>(bits(12, 4));
    for (size_t i = 0; i < 8; ++i)
        pGuid->Data4[i] = static_cast<uint8_t>(bits(16 + 2 * i, 2));
    return true;
}

bool Utf16Cursor::ReadQuoted(std::u16string* ps)
{
    const size_t ibStart = m_ib;
    char16_t ch;
    if (!Next(&ch) || ch != u'"')
    {
        m_ib = ibStart;
        return false;
    }
    std::u16string s;
    for (;;)
    {
        if (!Next(&ch) || ch == u'\r' || ch == u'\n')
        {
            m_ib = ibStart;
            return false;
        }
        if (ch == u'"')
            break;
        s.push_back(ch);
    }
    *ps = std::move(s);
    return true;
}

bool Utf16Cursor::ReadBytes(uint64_t cb, std::vector<uint8_t>* pData)
{
    if (cb > Remaining())
        return false;
    const size_t cbRead = static_cast<size_t>(cb);
    pData->assign(m_pb + m_ib, m_pb + m_ib + cbRead);
    m_ib += cbRead;
    return true;
}

} // namespace grf
