#include "CorvastaTest.h"

extern "C" int WINAPI wWinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/,
                               LPWSTR /*lpCmdLine*/, int /*nShowCmd*/)
{
    return CorvastaTestMain();
}
