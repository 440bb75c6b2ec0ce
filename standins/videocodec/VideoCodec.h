// What the video encoder filter needs of a codec library: open it for a
// picture size, frame rate and bit rate, encode pictures (a key frame when
// asked), change the bit rate while open, and say which library it is.
#pragma once

#include "I420Picture.h"

#include <strmif.h>

#include <string>
#include <vector>

struct VIDEO_CODEC_SETTINGS
{
    int nWidth;
    int nHeight;
    REFERENCE_TIME tFrame; // 100 ns units
    DWORD dwBitRate;       // bits per second
};

class CVideoCodec
{
public:
    virtual ~CVideoCodec() = default;

    virtual HRESULT Open(const VIDEO_CODEC_SETTINGS& settings) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // One picture in, its coded frame out (empty when the codec dropped the
    // picture). bKey asks for a key frame; *pbKey says whether it is one.
    virtual HRESULT Encode(const CI420Picture& picture, REFERENCE_TIME tStart, bool bKey,
                           std::vector<BYTE>* pCoded, bool* pbKey) = 0;
    virtual HRESULT SetBitRate(DWORD dwBitRate) = 0;
    // The library and its version as it reports them at run time.
    virtual std::wstring LibraryVersion() const = 0;
    // The library's words for its last failure.
    virtual std::wstring LastError() const = 0;
};
