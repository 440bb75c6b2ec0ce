// libFuzzer target of the TURN and STUN binding clients and the ChannelData
// reader: see TurnFuzzCase.h for what each input goes through.
#include "rtc/fuzz/TurnFuzzCase.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pb, size_t cb)
{
    const char* pszFailed = rtc::CheckTurnInput(pb, cb);
    if (pszFailed != nullptr)
    {
        std::fprintf(stderr, "failed: %s\n", pszFailed);
        std::abort();
    }
    return 0;
}
