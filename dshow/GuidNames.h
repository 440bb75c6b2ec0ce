// Names of the GUIDs that make up a media type, for people to read: the
// platform's identifier without its prefix ("Video", "RGB32", "VideoInfo"),
// a FOURCC subtype by its four characters, anything else in braces.
#pragma once

#include <windows.h>

#include <string>

std::wstring MajorTypeName(REFGUID majortype);
std::wstring SubtypeName(REFGUID subtype);
std::wstring FormatTypeName(REFGUID formattype);

// The GUID in braces, as StringFromGUID2 writes it.
std::wstring GuidText(REFGUID guid);
// The four characters of a FOURCC, first byte first; empty when one of them
// is not printable.
std::wstring FourCCText(DWORD dwFourCC);
