// What the format carries, shared by the reader and the writer: the writer
// refuses a description outside these limits, so the reader refuses a stream
// outside them, and whatever is read can be written back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace grf {

// Filter ids are written in four digits; 0000 is the CLOCK line's "no
// filter", so no filter can have it.
constexpr int kMinFilterId = 1;
constexpr int kMaxFilterId = 9999;
constexpr int kMaxVersion = 9999;

// Byte lengths, sample sizes and byte counts are written in ten digits.
constexpr uint64_t kMaxLength = 9999999999ULL;

// A connection's byte count runs from the major type's brace to the end of
// the format bytes; with one space between fields that is the text of three
// GUIDs, two flags, two ten-digit numbers and their separators.
constexpr uint64_t kMediaTypeTextBytes = 286;

// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
constexpr size_t kGuidChars = 38;

// The filter ids met so far; an id outside the range is never in it.
class FilterIdSet
{
public:
    bool Has(int nId) const { return IsInRange(nId) && m_rgbSeen[static_cast<size_t>(nId)]; }
    // False when the id is out of range or already there.
    bool Add(int nId)
    {
        if (!IsInRange(nId) || Has(nId))
            return false;
        m_rgbSeen[static_cast<size_t>(nId)] = true;
        return true;
    }
    static bool IsInRange(int nId) { return nId >= kMinFilterId && nId <= kMaxFilterId; }

private:
    std::vector<bool> m_rgbSeen = std::vector<bool>(kMaxFilterId + 1, false);
};

} // namespace grf
