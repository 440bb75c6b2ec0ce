// libFuzzer target of the RTCP reader: any datagram is handed on whole or
// refused whole with a reason, and a NACK's lost packets stay within its
// entries' reach.
#include "rtc/Rtcp.h"

#include <cstdlib>
#include <cstring>

namespace {

class CCountingHandler : public rtc::IRtcpHandler
{
public:
    void OnReportBlock(uint32_t, const rtc::RtcpReportBlock&) override { ++cEvents; }
    void OnPictureLoss(uint32_t) override { ++cEvents; }
    void OnFullIntraRequest(uint32_t) override { ++cEvents; }
    void OnNack(uint32_t, uint16_t) override { ++cEvents; }

    size_t cEvents = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pb, size_t cb)
{
    CCountingHandler handler;
    const char* pszReason = nullptr;
    bool bParsed = rtc::ParseRtcp(pb, cb, handler, &pszReason);
    if (pszReason == nullptr || bParsed != (std::strlen(pszReason) == 0) || (!bParsed && handler.cEvents != 0))
        abort();
    // At most 17 NACKs per 4-byte entry, 1 event per 4 bytes otherwise.
    if (handler.cEvents > 17 * (cb / 4 + 1))
        abort();
    return 0;
}
