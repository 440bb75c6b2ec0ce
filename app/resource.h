// Resource and control identifiers of the program's dialogs.
#pragma once

#define IDS_PROJNAME 100
#define IDD_MAIN 101
#define IDD_ICE 102
#define IDI_MAIN 103

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// Main dialog
#define IDC_LOAD 201
#define IDC_GRF_FILE 202
#define IDC_SOURCE_CHECK 203
#define IDC_SOURCE 204
#define IDC_ENC_VIDEO 205
#define IDC_ENC_AUDIO 206
#define IDC_BUILD_GRAPH 207
#define IDC_SHOW_GRAPH 208
#define IDC_PP_SOURCE 210
#define IDC_PP_ENC_VIDEO 211
#define IDC_PP_ENC_AUDIO 212
#define IDC_PP_SERVER 213
#define IDC_URL 220
#define IDC_URL_SET 221
#define IDC_URL_CURRENT 222
#define IDC_FILTER_APPLY 223
#define IDC_FILTER 224
#define IDC_FILTER_ENABLED 225
#define IDC_ICE_LIST 230
#define IDC_ICE_ADD 231
#define IDC_ICE_REMOVE 232
#define IDC_STATISTIC 240
#define IDC_POSITIONS 241
#define IDC_SLIDER 242
#define IDC_PLAY 250
#define IDC_PAUSE 251
#define IDC_STOP 252
#define IDC_BROWSER 253

// "Add ICE Server" dialog
#define IDC_ICE_URI 301
#define IDC_ICE_USER 302
#define IDC_ICE_PASSWORD 303
