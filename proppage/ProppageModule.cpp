// proppage.dll's class table and exports: one class, the pin page.
#include "KitModule.h"

#include "PinPageIds.h"
#include "PinPropertyPage.h"

namespace {

const KIT_CLASS_ENTRY s_rgClasses[] = {
    {&CLSID_PinPropertyPage, L"Pin Property Page", &KitCreateObject<CPinPropertyPage>, nullptr},
};

} // namespace

KIT_DLL_EXPORTS(s_rgClasses)
