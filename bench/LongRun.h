// Long runs of the main dialog in this process: build / play / stop /
// release cycles, and display refreshes on a running graph, with what the
// process holds (handles, USER and GDI objects, windows, threads, private
// bytes) after a warm-up and at the end. It reports; it judges nothing.
#pragma once

// Needs COM initialised as a single-threaded apartment on this thread.
void RunLongRuns(int nCycles, int nRefreshes);
