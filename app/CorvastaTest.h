// The application module and the program's entry logic.
#pragma once

#include "atlbase.h"

class CCorvastaTestModule : public CAtlExeModuleT<CCorvastaTestModule>
{
};

extern CCorvastaTestModule _AtlModule;

// Everything wWinMain does: initialise COM, run the main dialog, shut down.
// Returns the process exit code.
int CorvastaTestMain();
