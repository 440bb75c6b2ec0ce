// The viewer page in headless Chromium, which runs natively beside the
// benchmark under Wine: bench/chromium-first-frame, started beforehand by
// scripts/bench, waits for the page's URL in a file of the hand-over folder
// (CORVASTA_BENCH_CHROMIUM, a Windows path), loads the page a few times and
// writes the page's own timings to another file there.
#pragma once

#include <windows.h>

// The served page at nPort on the harness's paused graph: the POST of the
// page's offer to its first decoded frame, against the same page's POST to
// its answer. Prints its line; false when it could not be measured.
bool RunChromiumFirstFrame(USHORT nPort);
