// The main dialog's slider shows the playback progress as its selection.
#pragma once

#include <windows.h>

// Makes a trackbar draw its selection range: Wine draws a themed trackbar
// without it, so there the trackbar goes without its theme.
void ShowSliderSelection(HWND hSlider);
