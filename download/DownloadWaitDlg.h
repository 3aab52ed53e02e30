// The modal dialog shown while a worker thread fetches a file.
#pragma once
#include "framework/Dialog.h"

class CDownloadWaitDlg : public CDialog {
public:
    CDownloadWaitDlg() : CDialog(142) {}
};
