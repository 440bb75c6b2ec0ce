// Resource, command and control identifiers of the graph editor.
#pragma once

#define IDR_MAINMENU 100
#define IDR_ACCELERATORS 101
#define IDD_CONNECT 102

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// Menu commands. Programs that drive the editor post the connect command's
// number, so it is fixed.
#define ID_FILE_CONNECT 0x8034
#define ID_FILE_DISCONNECT 0x8035
#define ID_FILE_EXIT 0x8036
#define ID_GRAPH_PLAY 0x8040
#define ID_GRAPH_PAUSE 0x8041
#define ID_GRAPH_STOP 0x8042
#define ID_VIEW_REFRESH 0x8050

// Child windows of the main window.
#define IDC_CANVAS 200
#define IDC_STATUS 201

// "Connect to Graph" dialog
#define IDC_GRAPH_LIST 301
#define IDC_GRAPH_REFRESH 302
#define IDC_GRAPH_NOTE 303
