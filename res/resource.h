// Resource identifiers of the Windows program.
#pragma once

#define IDD_DROPWINDOW 101
#define IDI_TEVLIN 105
#define IDB_DROPHINT 106
#define IDC_PROGRESS 1001
#define IDC_STATUS 1002
#define IDC_WEBLINK 1006
#define IDC_PICTURE 1007

// The product's web address: the link's text in the drop window and what a click opens.
#define TEVLIN_WEB_ADDRESS "https://tevlin.org/"
