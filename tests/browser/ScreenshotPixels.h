// A screenshot file's pixels, read with the platform's imaging component, so
// that a test can look at what a browser showed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CScreenshot
{
public:
    // Any format that WIC decodes (PNG here); false when it could not.
    bool Load(const std::wstring& strPath);
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // BT.601 luma of a pixel; 0 outside the picture.
    BYTE Luma(int x, int y) const;

private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<BYTE> m_bgra; // top row first
};
