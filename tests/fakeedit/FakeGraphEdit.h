// Control IDs of the stand-in graph editor's connect dialog.
#pragma once

#define IDD_CONNECT 100
#define IDC_GRAPHS 1000
