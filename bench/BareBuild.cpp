// The benchmark's reference host that builds the harness's graph anew
// whenever the benchmark asks.
#include "BareHost.h"

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    return BareHostMain(eBareIdle);
}
