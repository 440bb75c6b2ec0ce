// The harness's ICE servers set from another process through its main
// dialog, as a user sets them: "Remove" on each line, then "Add..." with
// each server typed into the "Add ICE Server" dialog.
#pragma once

#include "tests/support/TestIceServers.h" // first: it brings winsock2.h

#include <string>
#include <vector>

class CProgram;

// The filter's list becomes the servers, in order; false with the reason
// when the dialog did not take them.
bool SetHarnessIceServers(CProgram& harness, const std::vector<CIceServer>& servers, std::string* pReason);
