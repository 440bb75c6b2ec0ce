// The VP8 encoder DLL's class table and exports.
#include "KitModule.h"

#include "VP8EncoderFilter.h"
#include "VP8EncoderPage.h"

namespace {

const KIT_CLASS_ENTRY s_rgClasses[] = {
    {&CLSID_VP8Encoder, CVP8Encoder::c_szName, &KitCreateObject<CVP8Encoder>,
     &CLSID_VideoCompressorCategory},
    {&CLSID_VP8EncoderPropertyPage, L"VP8 Encoder Property Page",
     &KitCreateObject<CVP8EncoderPage>, nullptr},
};

} // namespace

KIT_DLL_EXPORTS(s_rgClasses)
