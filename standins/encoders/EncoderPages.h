// Property pages of the QS encoder (settings, editable bit rate and target
// usage) and of the Opus encoder (its connected format, editable bit rate),
// each naming the library that codes.
#pragma once

#include "KitPropertyPage.h"

#include "EncoderIds.h"
#include "OpusSettings.h"
#include "components/Ormidex.h"

class CQSEncoderPage : public CKitPropertyPage
{
public:
    static const WORD c_idBitrate = 101;
    static const WORD c_idTargetUsage = 102;

    CQSEncoderPage();

protected:
    HRESULT OnConnect(IUnknown* pObject) override;
    void OnDisconnect() override;
    void OnCreateControls() override;
    HRESULT OnApply() override;

private:
    CComPtr<IQSEncoder> m_spEncoder;
    CComPtr<IQSEncoderStatus> m_spStatus;
};

class COpusEncoderPage : public CKitPropertyPage
{
public:
    static const WORD c_idBitrate = 101;

    COpusEncoderPage();

protected:
    HRESULT OnConnect(IUnknown* pObject) override;
    void OnDisconnect() override;
    void OnCreateControls() override;
    HRESULT OnApply() override;

private:
    CComPtr<IBaseFilter> m_spFilter;
    CComPtr<IOpusEncoderSettings> m_spSettings;
};
