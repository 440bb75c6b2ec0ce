// libFuzzer target of one session's gatherer: see GatherFuzzCase.h for
// what each input does to it.
#include "rtc/fuzz/GatherFuzzCase.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pb, size_t cb)
{
    const char* pszFailed = rtc::CheckGatherInput(pb, cb);
    if (pszFailed != nullptr)
    {
        std::fprintf(stderr, "failed: %s\n", pszFailed);
        std::abort();
    }
    return 0;
}
