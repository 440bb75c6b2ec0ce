// The Corvasta stand-in's COM server: the filter and its property page. The
// harness creates the filter by its class identifier; it is listed among the
// DirectShow filters so that a graph editor can insert it.
#include "CorvastaFilter.h"

#include "standins/kit/KitModule.h"

#include "CorvastaPropPage.h"

namespace {

const KIT_CLASS_ENTRY rgClasses[] = {
    {&CLSID_CorvastaFilter, CCorvastaFilter::szName, KitCreateObject<CCorvastaFilter>, &CLSID_LegacyAmFilterCategory},
    {&CLSID_CorvastaPropertyPage, L"Corvasta Property Page", KitCreateObject<CCorvastaPropPage>, nullptr},
};

} // namespace

KIT_DLL_EXPORTS(rgClasses)
