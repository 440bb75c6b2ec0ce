// The generator DLL's class table and exports.
#include "KitModule.h"

#include "GeneratorFilter.h"

namespace {

const KIT_CLASS_ENTRY s_rgClasses[] = {
    {&CLSID_OrmidexVideoGenerator, COrmidexGenerator::c_szName,
     &KitCreateObject<COrmidexGenerator>, &CLSID_VideoInputDeviceCategory},
};

} // namespace

KIT_DLL_EXPORTS(s_rgClasses)
