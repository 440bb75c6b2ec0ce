// The settings record (KitPersist.h) and CKitFilter's IPersistStream.
#include "KitFilter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

void StoreLE(BYTE* pb, ULONGLONG ullValue, size_t cb)
{
    for (size_t i = 0; i < cb; ++i)
        pb[i] = static_cast<BYTE>(ullValue >> (8 * i));
}

ULONGLONG LoadLE(const BYTE* pb, size_t cb)
{
    ULONGLONG ullValue = 0;
    for (size_t i = 0; i < cb; ++i)
        ullValue |= static_cast<ULONGLONG>(pb[i]) << (8 * i);
    return ullValue;
}

// A stream that ends early holds a truncated record, not a failed read.
HRESULT ReadExactly(IStream* pStm, BYTE* pb, ULONG cb)
{
    ULONG cbRead = 0;
    HRESULT hr = pStm->Read(pb, cb, &cbRead);
    if (FAILED(hr))
        return hr;
    return cbRead == cb ? S_OK : VFW_E_INVALID_FILE_FORMAT;
}

} // namespace

void CKitSettingsWriter::Put(ULONGLONG ullValue, size_t cb)
{
    m_bytes.resize(m_bytes.size() + cb);
    StoreLE(m_bytes.data() + m_bytes.size() - cb, ullValue, cb);
}

void CKitSettingsWriter::PutLong(LONG nValue)
{
    Put(static_cast<ULONG>(nValue), 4);
}

void CKitSettingsWriter::PutDouble(double dValue)
{
    static_assert(sizeof(double) == sizeof(ULONGLONG), "an IEEE double is 8 bytes");
    ULONGLONG ullValue = 0;
    memcpy(&ullValue, &dValue, sizeof(ullValue));
    Put(ullValue, 8);
}

ULONGLONG CKitSettingsReader::Get(size_t cb)
{
    if (m_bShort || m_cb - m_iNext < cb)
    {
        m_bShort = true;
        return 0;
    }
    ULONGLONG ullValue = LoadLE(m_pb + m_iNext, cb);
    m_iNext += cb;
    return ullValue;
}

LONG CKitSettingsReader::GetLong()
{
    return static_cast<LONG>(static_cast<ULONG>(Get(4)));
}

double CKitSettingsReader::GetDouble()
{
    ULONGLONG ullValue = Get(8);
    double dValue = 0;
    memcpy(&dValue, &ullValue, sizeof(dValue));
    return dValue;
}

HRESULT CKitSettingsReader::Finish() const
{
    return m_bShort || m_iNext != m_cb ? VFW_E_INVALID_FILE_FORMAT : S_OK;
}

void CKitFilter::KeepSettings(DWORD dwTag, WORD wVersion)
{
    m_dwSettingsTag = dwTag;
    m_wSettingsVersion = wVersion;
    m_cleanSettings = SettingsRecord();
}

std::vector<BYTE> CKitFilter::SettingsRecord()
{
    CKitSettingsWriter values;
    SaveSettings(values);
    const std::vector<BYTE>& bytes = values.Bytes();
    ATLASSERT(bytes.size() <= 0xFFFF);
    std::vector<BYTE> record(c_cbKitSettingsHeader + bytes.size());
    StoreLE(&record[0], m_dwSettingsTag, 4);
    StoreLE(&record[4], m_wSettingsVersion, 2);
    StoreLE(&record[6], bytes.size(), 2);
    std::copy(bytes.begin(), bytes.end(), record.begin() + c_cbKitSettingsHeader);
    return record;
}

HRESULT CKitFilter::ReadSettingsRecord(IStream* pStm, WORD* pwVersion, std::vector<BYTE>* pValues)
{
    BYTE rgbHeader[c_cbKitSettingsHeader];
    HRESULT hr = ReadExactly(pStm, rgbHeader, sizeof(rgbHeader));
    if (FAILED(hr))
        return hr;
    // Records of earlier versions are read too: graphs saved before a filter
    // kept more settings must still load.
    *pwVersion = static_cast<WORD>(LoadLE(&rgbHeader[4], 2));
    if (LoadLE(&rgbHeader[0], 4) != m_dwSettingsTag || *pwVersion == 0 ||
        *pwVersion > m_wSettingsVersion)
        return VFW_E_INVALID_FILE_FORMAT;
    pValues->resize(static_cast<size_t>(LoadLE(&rgbHeader[6], 2)));
    if (pValues->empty())
        return S_OK;
    return ReadExactly(pStm, pValues->data(), static_cast<ULONG>(pValues->size()));
}

// Settings compare with the record of the last Save or Load: a value set
// back to what was saved leaves the filter clean.
STDMETHODIMP CKitFilter::IsDirty()
{
    CKitAutoLock lock(m_csFilter);
    return SettingsRecord() == m_cleanSettings ? S_FALSE : S_OK;
}

// Saved graphs are loaded into stopped filters; a running filter keeps the
// format its pins stream with.
STDMETHODIMP CKitFilter::Load(IStream* pStm)
{
    if (pStm == nullptr)
        return E_POINTER;
    KIT_FAULT(L"Load");
    CKitAutoLock lock(m_csFilter);
    if (m_state != State_Stopped)
        return VFW_E_WRONG_STATE;
    std::vector<BYTE> values;
    WORD wVersion = 0;
    HRESULT hr = ReadSettingsRecord(pStm, &wVersion, &values);
    if (FAILED(hr))
        return hr;
    CKitSettingsReader reader(values.data(), values.size(), wVersion);
    if (FAILED(hr = LoadSettings(reader)))
        return hr;
    m_cleanSettings = SettingsRecord();
    return S_OK;
}

STDMETHODIMP CKitFilter::Save(IStream* pStm, BOOL fClearDirty)
{
    if (pStm == nullptr)
        return E_POINTER;
    KIT_FAULT(L"Save");
    CKitAutoLock lock(m_csFilter);
    std::vector<BYTE> record = SettingsRecord();
    ULONG cbWritten = 0;
    HRESULT hr = pStm->Write(record.data(), static_cast<ULONG>(record.size()), &cbWritten);
    if (FAILED(hr))
        return hr;
    if (cbWritten != record.size())
        return STG_E_MEDIUMFULL;
    if (fClearDirty)
        m_cleanSettings = std::move(record);
    return S_OK;
}

STDMETHODIMP CKitFilter::GetSizeMax(ULARGE_INTEGER* pcbSize)
{
    if (pcbSize == nullptr)
        return E_POINTER;
    CKitAutoLock lock(m_csFilter);
    pcbSize->QuadPart = SettingsRecord().size();
    return S_OK;
}
