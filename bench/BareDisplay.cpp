// The benchmark's reference host that keeps the harness's graph running.
#include "BareHost.h"

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    return BareHostMain(eBareRunning);
}
