// The files of a kept fuzzing corpus, for replaying it in the ordinary test
// run. The build passes the folder as a Unix path; under Wine the Unix
// root is drive Z:.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Every file in the folder, as full Windows paths.
std::vector<std::wstring> CorpusFiles(const char* pszUnixFolder);
bool ReadFileBytes(const std::wstring& file, std::vector<uint8_t>* pBytes);
