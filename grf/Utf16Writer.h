// Appends the stream's UTF-16LE text and raw bytes to a byte vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "grf/GrfGraph.h"

namespace grf {

class Utf16Writer
{
public:
    explicit Utf16Writer(std::vector<uint8_t>* pBytes) : m_pBytes(pBytes) {}

    void Char(char16_t ch);
    void Text(const char16_t* psz);
    void Text(const std::u16string& s);
    // Zero-padded to cDigits; the caller has checked that n fits.
    void Number(uint64_t n, size_t cDigits);
    // Upper case, in braces.
    void GuidText(const Guid& guid);
    void Bytes(const std::vector<uint8_t>& data);

private:
    std::vector<uint8_t>* m_pBytes;
};

} // namespace grf
