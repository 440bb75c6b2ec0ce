// Containers for the encoders' output, so that decoders that are not ours
// can read it: IVF for VP8, a plain Annex B stream for H.264, Ogg for Opus.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

using CodedFrames = std::vector<std::vector<BYTE>>;

// An IVF file: its 32-byte header, then each frame with its size and index.
std::vector<BYTE> MakeIvf(const CodedFrames& frames, DWORD dwFourCC, WORD wWidth, WORD wHeight,
                          DWORD dwFrameRate);
// Annex B frames already carry their start codes: they only follow each other.
std::vector<BYTE> MakeAnnexB(const CodedFrames& frames);
// An Ogg Opus file (RFC 7845): the OpusHead and OpusTags pages, then one
// page per 20 ms packet with its end at 48 kHz as the granule position.
std::vector<BYTE> MakeOggOpus(const CodedFrames& packets, BYTE bChannels, DWORD dwInputRate);

bool WriteCapture(const std::wstring& path, const std::vector<BYTE>& bytes);
bool WriteCapture(const std::wstring& path, const std::string& text);
