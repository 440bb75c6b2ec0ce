#include "ScreenshotPixels.h"

#include <wincodec.h>

#include "atlbase.h"

bool CScreenshot::Load(const std::wstring& strPath)
{
    m_nWidth = m_nHeight = 0;
    m_bgra.clear();
    CComPtr<IWICImagingFactory> spFactory;
    CComPtr<IWICBitmapDecoder> spDecoder;
    CComPtr<IWICBitmapFrameDecode> spFrame;
    CComPtr<IWICBitmapSource> spBgra;
    UINT cx = 0, cy = 0;
    if (FAILED(spFactory.CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER)) ||
        FAILED(spFactory->CreateDecoderFromFilename(strPath.c_str(), nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand, &spDecoder)) ||
        FAILED(spDecoder->GetFrame(0, &spFrame)) ||
        FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, spFrame, &spBgra)) ||
        FAILED(spBgra->GetSize(&cx, &cy)) || cx == 0 || cy == 0)
        return false;
    std::vector<BYTE> bgra(static_cast<size_t>(cx) * cy * 4);
    if (FAILED(spBgra->CopyPixels(nullptr, cx * 4, static_cast<UINT>(bgra.size()), bgra.data())))
        return false;
    m_nWidth = static_cast<int>(cx);
    m_nHeight = static_cast<int>(cy);
    m_bgra.swap(bgra);
    return true;
}

BYTE CScreenshot::Luma(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return 0;
    const BYTE* pb = &m_bgra[(static_cast<size_t>(y) * m_nWidth + x) * 4];
    return static_cast<BYTE>((29 * pb[0] + 150 * pb[1] + 77 * pb[2]) >> 8);
}
