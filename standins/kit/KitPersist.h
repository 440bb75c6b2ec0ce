// The record in which a filter keeps its settings through IPersistStream (a
// saved graph carries these bytes for each filter). Little-endian:
//   offset 0  4 bytes  tag: the filter's four characters (MAKEFOURCC)
//   offset 4  2 bytes  version of the filter's values
//   offset 6  2 bytes  size of the values in bytes
//   offset 8  the values, in the order the filter writes them
// Values are 4 or 8 bytes wide, so a record's length is always even, as
// saved graph files require.
#pragma once

#include <windows.h>

#include <vector>

const ULONG c_cbKitSettingsHeader = 8;

class CKitSettingsWriter
{
public:
    void PutLong(LONG nValue);
    void PutDouble(double dValue);

    const std::vector<BYTE>& Bytes() const { return m_bytes; }

private:
    void Put(ULONGLONG ullValue, size_t cb);

    std::vector<BYTE> m_bytes;
};

// Reads the values back. A read past the end gives 0 and marks the record
// short; Finish() then refuses it, so a filter reads every field, calls
// Finish() and only then checks and applies what it read.
class CKitSettingsReader
{
public:
    CKitSettingsReader(const BYTE* pb, size_t cb, WORD wVersion)
        : m_pb(pb), m_cb(cb), m_iNext(0), m_bShort(false), m_wVersion(wVersion)
    {
    }

    // The version of the record, from 1 to the filter's own.
    WORD Version() const { return m_wVersion; }

    LONG GetLong();
    double GetDouble();
    // VFW_E_INVALID_FILE_FORMAT when a field was missing or bytes are left over.
    HRESULT Finish() const;

private:
    ULONGLONG Get(size_t cb);

    const BYTE* m_pb;
    size_t m_cb;
    size_t m_iNext;
    bool m_bShort;
    WORD m_wVersion;
};
