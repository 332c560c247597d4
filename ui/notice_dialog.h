// The modal Yes/No notice. Every notice reports a problem; Yes (1) asks the
// caller to open the notice's help topic, No (2) ends the matter.
#pragma once

#include <windows.h>

#include "win/dialog.h"

namespace ui {

// The notices, by the code that picks their text.
enum NoticeCode : int {
    kNoticeAssignFailed = 1,       // the address setup ended without an address
    kNoticeOpenFailed = 3,         // the shell could not open the setup page
    kNoticeRescanNotFound = 4,     // a rescan listed no converter
    kNoticeNotFound = 5,           // the start-up scan failed or listed none
    kNoticeSeveral = 6,            // the start-up scan listed more than one
    kNoticeIncompleteAddress = 7,  // the address setup's address is incomplete
};

// NoticeCode -> string identifier of its text; 0 for a code outside the table.
UINT NoticeTextId(int code);

class NoticeDialog : public win::Dialog {
public:
    NoticeDialog();

    // Set by the caller before the modal run.
    int code = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override { EndDialog(1); }
    void OnCancel() override { EndDialog(2); }
};

}  // namespace ui
