#include "EncoderCaptures.h"

#include <gtest/gtest.h>

namespace {

std::wstring CaptureFolder()
{
    const char szFolder[] = CORVASTA_CAPTURE_DIR;
    std::wstring folder(szFolder, szFolder + sizeof(szFolder) - 1);
    for (wchar_t& ch : folder)
        if (ch == L'/')
            ch = L'\\';
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::string Narrow(const wchar_t* psz)
{
    std::string text;
    for (; *psz != L'\0'; ++psz)
        text += static_cast<char>(*psz);
    return text;
}

void WriteCaptureFiles(const wchar_t* pszName, const wchar_t* pszExtension,
                       const std::vector<BYTE>& media, const std::string& expect)
{
    const std::wstring base = CaptureFolder() + pszName;
    std::string file = Narrow(pszName) + Narrow(pszExtension);
    EXPECT_TRUE(WriteCapture(base + pszExtension, media)) << file;
    EXPECT_TRUE(WriteCapture(base + L".expect", "file=" + file + "\n" + expect)) << file;
}

} // namespace

void WriteVideoCapture(const wchar_t* pszName, const char* pszCodec, const CodedFrames& frames,
                       const std::vector<bool>& rgKeys, int nWidth, int nHeight, int nFrameRate)
{
    std::string keys;
    for (size_t i = 0; i < rgKeys.size(); ++i)
        if (rgKeys[i])
            keys += (keys.empty() ? "" : ",") + std::to_string(i);
    std::string expect = std::string("codec=") + pszCodec + "\nframes=" + std::to_string(frames.size()) +
                         "\nwidth=" + std::to_string(nWidth) + "\nheight=" + std::to_string(nHeight) +
                         "\nkeyframes=" + keys + "\n";
    bool bVP8 = std::string(pszCodec) == "vp8";
    std::vector<BYTE> media = bVP8 ? MakeIvf(frames, MAKEFOURCC('V', 'P', '8', '0'), static_cast<WORD>(nWidth),
                                             static_cast<WORD>(nHeight), static_cast<DWORD>(nFrameRate))
                                   : MakeAnnexB(frames);
    WriteCaptureFiles(pszName, bVP8 ? L".ivf" : L".h264", media, expect);
}

void WriteAudioCapture(const wchar_t* pszName, const CodedFrames& packets, int nChannels,
                       DWORD dwInputRate, int nToneHz)
{
    std::string expect = "codec=opus\npackets=" + std::to_string(packets.size()) +
                         "\nchannels=" + std::to_string(nChannels) + "\ntone=" + std::to_string(nToneHz) + "\n";
    WriteCaptureFiles(pszName, L".opus",
                      MakeOggOpus(packets, static_cast<BYTE>(nChannels), dwInputRate), expect);
}
