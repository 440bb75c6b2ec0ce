// libFuzzer target of the session description reader: any bytes either
// parse or are refused with a reason; what parses is checked as an offer
// and its limits hold.
#include "rtc/Sdp.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pb, size_t cb)
{
    rtc::SdpSession session;
    std::string reason;
    if (!rtc::ParseSdp(reinterpret_cast<const char*>(pb), cb, &session, &reason))
    {
        if (reason.empty() || !session.media.empty())
            abort();
        return 0;
    }
    if (!reason.empty() || session.media.size() > rtc::SdpLimits::c_cMedia)
        abort();
    for (const rtc::SdpMedia& media : session.media)
    {
        if (media.formats.size() > rtc::SdpLimits::c_cFormats || media.codecs.size() > media.formats.size())
            abort();
        for (const rtc::SdpCodec& codec : media.codecs)
            if (codec.nPayloadType < 0 || codec.nPayloadType > 127 || codec.nClockRate == 0)
                abort();
        if (media.candidates.size() > rtc::SdpLimits::c_cCandidates)
            abort();
        for (const rtc::SdpCandidate& candidate : media.candidates)
            if (candidate.nComponent == 0 || candidate.nComponent > 256 || candidate.foundation.empty() ||
                candidate.address.empty() || candidate.type.empty())
                abort();
    }
    rtc::CheckWebRtcOffer(session, &reason);
    return 0;
}
