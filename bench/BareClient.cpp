// The benchmark's reference host that keeps the harness's graph paused, for
// the Corvasta filter to report its clients.
#include "BareHost.h"

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    return BareHostMain(eBarePaused);
}
