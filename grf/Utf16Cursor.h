// Reads the stream's UTF-16LE text and raw bytes. Text may start at an odd
// offset (after an odd-length blob), so characters are assembled from bytes.
// Every read checks the remaining bytes first, and a failed read leaves the
// position where it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "grf/GrfGraph.h"

namespace grf {

class Utf16Cursor
{
public:
    Utf16Cursor(const uint8_t* pb, size_t cb) : m_pb(pb), m_cb(cb) {}

    size_t Offset() const { return m_ib; }
    size_t Remaining() const { return m_cb - m_ib; }

    // False at the end of the stream (fewer than two bytes left).
    bool Peek(char16_t* pch) const;
    bool Next(char16_t* pch);

    // Skips spaces, tabs, CR and LF; returns how many characters it skipped.
    size_t SkipSpace();
    // Consumes the characters of pszWord if they come next.
    bool SkipWord(const char16_t* pszWord);

    // One or more decimal digits, leading zeros allowed, up to nMax.
    bool ReadNumber(uint64_t nMax, uint64_t* pn);
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, hex digits of either case.
    bool ReadGuid(Guid* pGuid);
    // "text": anything but a quote or a line break between two quotes.
    bool ReadQuoted(std::u16string* ps);
    // cb raw bytes; refused before allocating when fewer remain.
    bool ReadBytes(uint64_t cb, std::vector<uint8_t>* pData);

private:
    const uint8_t* m_pb;
    size_t m_cb;
    size_t m_ib = 0;
};

bool IsSpace(char16_t ch);
bool IsDigit(char16_t ch);

} // namespace grf
