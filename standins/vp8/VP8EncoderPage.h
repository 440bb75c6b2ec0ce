// The VP8 encoder's property page: the library that codes, the frames so
// far, and the bit rate, key-frame interval and deadline to edit.
#pragma once

#include "KitPropertyPage.h"

#include "VP8Settings.h"
#include "components/VP8Encoder.h"

class CVP8EncoderPage : public CKitPropertyPage
{
public:
    static const WORD c_idBitrate = 101;
    static const WORD c_idKeyFrameInterval = 102;
    static const WORD c_idDeadline = 103;

    CVP8EncoderPage();

protected:
    HRESULT OnConnect(IUnknown* pObject) override;
    void OnDisconnect() override;
    void OnCreateControls() override;
    HRESULT OnApply() override;

private:
    CComPtr<IVP8Encoder> m_spEncoder;
    CComPtr<IVP8EncoderSettings> m_spSettings;
};
