// The pin property page's class and its controls, for the graph editor that
// opens the page and the tests that read it.
#pragma once

#include <windows.h>
#include <guiddef.h>

// The page's class is the one under which the platform's property page DLL
// registers: a program that checks for that registration finds this page.
constexpr GUID CLSID_PinPropertyPage = {
    0x29e07010, 0xbd27, 0x11ce, {0xab, 0x59, 0x00, 0xaa, 0x00, 0x57, 0x7d, 0xa1}};

const WORD IDC_PIN_NAME = 101;
const WORD IDC_PIN_DIRECTION = 102;
const WORD IDC_PIN_FILTER = 103;
const WORD IDC_PIN_CONNECTION = 104;
// A list view: the media type's fields, one a row (name, value).
const WORD IDC_PIN_FORMAT = 105;
