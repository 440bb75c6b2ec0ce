// What each encoder stand-in costs while the generator feeds it in a graph,
// against its codec library coding the same pictures in a loop: the limit
// that the filter around the library can approach.
#pragma once

// Prints one line per encoder; false when a side could not be measured.
bool RunEncoderLoad();
