// The Corvasta stand-in's COM server: the filter and its property page. The
// harness creates the filter by its class identifier, so it needs no device
// category.
#include "CorvastaFilter.h"

#include "standins/kit/KitModule.h"

#include "CorvastaPropPage.h"

namespace {

const KIT_CLASS_ENTRY rgClasses[] = {
    {&CLSID_CorvastaFilter, CCorvastaFilter::szName, KitCreateObject<CCorvastaFilter>, nullptr},
    {&CLSID_CorvastaPropertyPage, L"Corvasta Property Page", KitCreateObject<CCorvastaPropPage>, nullptr},
};

} // namespace

KIT_DLL_EXPORTS(rgClasses)
