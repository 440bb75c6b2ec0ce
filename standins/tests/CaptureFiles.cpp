#include "CaptureFiles.h"

#include <cstdio>

namespace {

void PutLE(std::vector<BYTE>& out, ULONGLONG ullValue, int cb)
{
    for (int i = 0; i < cb; ++i)
        out.push_back(static_cast<BYTE>(ullValue >> (8 * i)));
}

void PutText(std::vector<BYTE>& out, const char* psz)
{
    for (; *psz != '\0'; ++psz)
        out.push_back(static_cast<BYTE>(*psz));
}

// Ogg's CRC: polynomial 0x04C11DB7, no reflection, no final inversion.
DWORD OggCrc(const std::vector<BYTE>& page)
{
    DWORD dwCrc = 0;
    for (BYTE b : page)
    {
        dwCrc ^= static_cast<DWORD>(b) << 24;
        for (int i = 0; i < 8; ++i)
            dwCrc = (dwCrc & 0x80000000) ? (dwCrc << 1) ^ 0x04C11DB7 : dwCrc << 1;
    }
    return dwCrc;
}

const BYTE c_bFirstPage = 0x02;
const BYTE c_bLastPage = 0x04;
const DWORD c_dwSerial = 0x434F5256; // any number; one stream

void PutOggPage(std::vector<BYTE>& out, const std::vector<BYTE>& packet, BYTE bFlags,
                ULONGLONG ullGranule, DWORD dwSequence)
{
    std::vector<BYTE> page;
    PutText(page, "OggS");
    page.push_back(0); // version
    page.push_back(bFlags);
    PutLE(page, ullGranule, 8);
    PutLE(page, c_dwSerial, 4);
    PutLE(page, dwSequence, 4);
    PutLE(page, 0, 4); // CRC, filled below
    // Lacing: 255s then the rest; a packet of a multiple of 255 ends in 0.
    size_t cSegments = packet.size() / 255 + 1;
    page.push_back(static_cast<BYTE>(cSegments));
    for (size_t i = 0; i + 1 < cSegments; ++i)
        page.push_back(255);
    page.push_back(static_cast<BYTE>(packet.size() % 255));
    page.insert(page.end(), packet.begin(), packet.end());
    DWORD dwCrc = OggCrc(page);
    for (int i = 0; i < 4; ++i)
        page[22 + i] = static_cast<BYTE>(dwCrc >> (8 * i));
    out.insert(out.end(), page.begin(), page.end());
}

} // namespace

std::vector<BYTE> MakeIvf(const CodedFrames& frames, DWORD dwFourCC, WORD wWidth, WORD wHeight,
                          DWORD dwFrameRate)
{
    std::vector<BYTE> out;
    PutText(out, "DKIF");
    PutLE(out, 0, 2);  // version
    PutLE(out, 32, 2); // header size
    PutLE(out, dwFourCC, 4);
    PutLE(out, wWidth, 2);
    PutLE(out, wHeight, 2);
    PutLE(out, dwFrameRate, 4); // time base: 1/rate
    PutLE(out, 1, 4);
    PutLE(out, frames.size(), 4);
    PutLE(out, 0, 4);
    for (size_t i = 0; i < frames.size(); ++i)
    {
        PutLE(out, frames[i].size(), 4);
        PutLE(out, i, 8);
        out.insert(out.end(), frames[i].begin(), frames[i].end());
    }
    return out;
}

std::vector<BYTE> MakeAnnexB(const CodedFrames& frames)
{
    std::vector<BYTE> out;
    for (const auto& frame : frames)
        out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

std::vector<BYTE> MakeOggOpus(const CodedFrames& packets, BYTE bChannels, DWORD dwInputRate)
{
    // libopus's encoder delay at 48 kHz; players skip it.
    const WORD wPreSkip = 312;
    std::vector<BYTE> head;
    PutText(head, "OpusHead");
    head.push_back(1);
    head.push_back(bChannels);
    PutLE(head, wPreSkip, 2);
    PutLE(head, dwInputRate, 4);
    PutLE(head, 0, 2); // output gain
    head.push_back(0); // mapping family: mono or stereo
    std::vector<BYTE> tags;
    PutText(tags, "OpusTags");
    PutLE(tags, 9, 4);
    PutText(tags, "Corvasta");
    tags.push_back('T');
    PutLE(tags, 0, 4); // no comments

    std::vector<BYTE> out;
    DWORD dwSequence = 0;
    PutOggPage(out, head, c_bFirstPage, 0, dwSequence++);
    PutOggPage(out, tags, 0, 0, dwSequence++);
    ULONGLONG ullGranule = wPreSkip;
    for (size_t i = 0; i < packets.size(); ++i)
    {
        ullGranule += 960; // 20 ms at 48 kHz
        PutOggPage(out, packets[i], i + 1 == packets.size() ? c_bLastPage : 0, ullGranule,
                   dwSequence++);
    }
    return out;
}

bool WriteCapture(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    FILE* pFile = _wfopen(path.c_str(), L"wb");
    if (pFile == nullptr)
        return false;
    bool bOk = fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
    return fclose(pFile) == 0 && bOk;
}

bool WriteCapture(const std::wstring& path, const std::string& text)
{
    return WriteCapture(path, std::vector<BYTE>(text.begin(), text.end()));
}
