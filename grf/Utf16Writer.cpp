#include "grf/Utf16Writer.h"

namespace grf {

void Utf16Writer::Char(char16_t ch)
{
    m_pBytes->push_back(static_cast<uint8_t>(ch & 0xFF));
    m_pBytes->push_back(static_cast<uint8_t>(ch >> 8));
}

void Utf16Writer::Text(const char16_t* psz)
{
    for (; *psz; ++psz)
        Char(*psz);
}

void Utf16Writer::Text(const std::u16string& s)
{
    for (char16_t ch : s)
        Char(ch);
}

void Utf16Writer::Number(uint64_t n, size_t cDigits)
{
    char16_t rgch[20];
    for (size_t i = cDigits; i-- > 0;)
    {
        rgch[i] = static_cast<char16_t>(u'0' + n % 10);
        n /= 10;
    }
    for (size_t i = 0; i < cDigits; ++i)
        Char(rgch[i]);
}

void Utf16Writer::GuidText(const Guid& guid)
{
    auto hex = [this](uint64_t n, int cDigits) {
        for (int i = cDigits - 1; i >= 0; --i)
            Char(u"0123456789ABCDEF"[(n >> (4 * i)) & 0xF]);
    };
    Char(u'{');
    hex(guid.Data1, 8);
    Char(u'-');
    hex(guid.Data2, 4);
    Char(u'-');
    hex(guid.Data3, 4);
    Char(u'-');
    hex(guid.Data4[0], 2);
    hex(guid.Data4[1], 2);
    Char(u'-');
    for (int i = 2; i < 8; ++i)
        hex(guid.Data4[i], 2);
    Char(u'}');
}

void Utf16Writer::Bytes(const std::vector<uint8_t>& data)
{
    m_pBytes->insert(m_pBytes->end(), data.begin(), data.end());
}

} // namespace grf
