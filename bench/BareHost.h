// The benchmark's references for the graph: the harness's graph built by the
// same platform calls, without the dialog, in a hidden window of a process
// of its own, which the benchmark drives as it drives the harness.
#pragma once

#include <windows.h>

// The host window's class; WM_COMMAND IDCANCEL ends the host.
const wchar_t szBareHostClass[] = L"CorvastaBareHost";
// Sent by the benchmark: releases the graph and builds it anew; answers the
// build's HRESULT. With wParam 1 the build also looks up the machine's
// address as the harness's build must, to show the served URL.
const UINT WM_BAREBUILD = WM_APP + 1;

enum EBareStart
{
    eBareIdle,    // builds only when asked
    eBarePaused,  // builds and pauses the graph at once
    eBareRunning, // builds and runs the graph at once
};

// A host program's whole life: COM, the hidden window and its message loop
// until the benchmark closes it. Returns the exit code.
int BareHostMain(EBareStart eStart);
