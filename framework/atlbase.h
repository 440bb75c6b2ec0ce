// The subset of ATL that the program is written against.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <ole2.h>

#include "atldef.h"
#include "atltrace.h"
#include "atlcomcli.h"
#include "atlmodule.h"
#include "atlreg.h"

using namespace ATL;
