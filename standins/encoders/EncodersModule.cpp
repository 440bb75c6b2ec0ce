// The encoder DLL's class table and exports.
#include "KitModule.h"

#include "EncoderPages.h"
#include "G711EncoderFilter.h"
#include "OpusEncoderFilter.h"
#include "QSEncoderFilter.h"

namespace {

const KIT_CLASS_ENTRY s_rgClasses[] = {
    {&CLSID_OrmidexQSEncoder, CQSEncoder::c_szName, &KitCreateObject<CQSEncoder>,
     &CLSID_VideoCompressorCategory},
    {&CLSID_OrmidexOpusEncoder, COpusEncoder::c_szName, &KitCreateObject<COpusEncoder>,
     &CLSID_AudioCompressorCategory},
    {&CLSID_CCITTALawEncoder, CALawEncoder::c_szName, &KitCreateObject<CALawEncoder>,
     &CLSID_AudioCompressorCategory},
    {&CLSID_CCITTMuLawEncoder, CMuLawEncoder::c_szName, &KitCreateObject<CMuLawEncoder>,
     &CLSID_AudioCompressorCategory},
    {&CLSID_QSEncoderPropertyPage, L"QS Encoder Property Page", &KitCreateObject<CQSEncoderPage>,
     nullptr},
    {&CLSID_OpusEncoderPropertyPage, L"Opus Encoder Property Page",
     &KitCreateObject<COpusEncoderPage>, nullptr},
};

} // namespace

KIT_DLL_EXPORTS(s_rgClasses)
