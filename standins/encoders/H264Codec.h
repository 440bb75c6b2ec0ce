// H.264 through openh264: constrained baseline in Annex B (start codes),
// the parameter sets before every IDR with fixed ids, one slice a picture,
// no skipped frames, and IDRs only where the filter asks for them.
#pragma once

#include "VideoCodec.h"

#include <atomic>

class ISVCEncoder;

class CH264Codec : public CVideoCodec
{
public:
    CH264Codec();
    ~CH264Codec() override;

    HRESULT Open(const VIDEO_CODEC_SETTINGS& settings) override;
    void Close() override;
    bool IsOpen() const override { return m_pEncoder != nullptr; }
    HRESULT Encode(const CI420Picture& picture, REFERENCE_TIME tStart, bool bKey,
                   std::vector<BYTE>* pCoded, bool* pbKey) override;
    HRESULT SetBitRate(DWORD dwBitRate) override;
    std::wstring LibraryVersion() const override;
    std::wstring LastError() const override;

    // openh264's effort for the next stream: 0 low, 1 medium, 2 high.
    void SetComplexity(int nComplexity) { m_nComplexity = nComplexity; }

private:
    ISVCEncoder* m_pEncoder;
    std::atomic<int> m_nComplexity;
    std::wstring m_lastError;
};
