// The encoders' output kept for decoders that are not ours: each capture is
// a media file and NAME.expect beside it (key=value lines of what a decoder
// must find), in the build's captures folder; tests/codecs/check-captures
// reads them after the stand-in tests.
#pragma once

#include "CaptureFiles.h"

// NAME.ivf (VP8) or NAME.h264 (Annex B): frames of that size, key frames at
// the given indexes.
void WriteVideoCapture(const wchar_t* pszName, const char* pszCodec, const CodedFrames& frames,
                       const std::vector<bool>& rgKeys, int nWidth, int nHeight, int nFrameRate);
// NAME.opus: the packets in Ogg, coded from a tone of nToneHz.
void WriteAudioCapture(const wchar_t* pszName, const CodedFrames& packets, int nChannels,
                       DWORD dwInputRate, int nToneHz);
