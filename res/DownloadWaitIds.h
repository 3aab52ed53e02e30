// Resource numbers of the download wait dialog.
#pragma once

#define IDD_DOWNLOAD_WAIT 142
#define IDC_DOWNLOAD_WAIT_GLOBE 1022
#define IDC_DOWNLOAD_WAIT_TEXT 1013
