// Resource and control identifiers of the "Insert Filters" dialog.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

#define IDD_INSERT_FILTER 400

#define IDC_INSERT_SEARCH_LABEL 401
#define IDC_INSERT_SEARCH 402
#define IDC_INSERT_TREE 403
#define IDC_INSERT_CLSID_LABEL 404
#define IDC_INSERT_CLSID 405
#define IDC_INSERT_FILE_LABEL 406
#define IDC_INSERT_FILE 407
#define IDC_INSERT_MONIKER_LABEL 408
#define IDC_INSERT_MONIKER 409
#define IDC_INSERT_NOTE 410
