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
#define ID_FILE_NEW 0x8030
#define ID_FILE_OPEN 0x8031
#define ID_FILE_SAVE 0x8032
#define ID_FILE_SAVEAS 0x8033
#define ID_FILE_CONNECT 0x8034
#define ID_FILE_DISCONNECT 0x8035
#define ID_FILE_EXIT 0x8036
#define ID_FILE_RECENT_FIRST 0x8070 // up to ID_FILE_RECENT_LAST
#define ID_FILE_RECENT_LAST 0x8073
#define ID_GRAPH_PLAY 0x8040
#define ID_GRAPH_PAUSE 0x8041
#define ID_GRAPH_STOP 0x8042
#define ID_GRAPH_INSERT 0x8043
#define ID_GRAPH_RENDER 0x8044
#define ID_GRAPH_CONNECT 0x8045   // the selected output pin, then the selected input pin
#define ID_GRAPH_DIRECT 0x8046    // connect without adding filters
#define ID_GRAPH_DELETE 0x8047
#define ID_GRAPH_PROPERTIES 0x8048
#define ID_VIEW_REFRESH 0x8050
#define ID_VIEW_EVENTS 0x8051
#define ID_VIEW_CLEAR_EVENTS 0x8052
#define ID_VIEW_NEXT_PANE 0x8053

// Child windows of the main window.
#define IDC_CANVAS 200
#define IDC_STATUS 201
#define IDC_TOOLBAR 202
#define IDC_POSITION 203
#define IDC_SEEKBAR 204
#define IDC_EVENTS 205

// "Connect to Graph" dialog
#define IDC_GRAPH_LIST 301
#define IDC_GRAPH_REFRESH 302
#define IDC_GRAPH_NOTE 303
