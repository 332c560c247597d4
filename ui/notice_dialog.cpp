#include "ui/notice_dialog.h"

#include "res/resource.h"
#include "win/language.h"

namespace ui {

UINT NoticeTextId(int code) {
    switch (code) {
        case kNoticeAssignFailed: return IDS_NOTICE_ASSIGN_FAILED;
        case kNoticeOpenFailed: return IDS_NOTICE_OPEN_FAILED;
        case kNoticeRescanNotFound: return IDS_NOTICE_NOT_DETECTED_RESCAN;
        case kNoticeNotFound: return IDS_NOTICE_NOT_DETECTED;
        case kNoticeSeveral: return IDS_NOTICE_SEVERAL;
        case kNoticeIncompleteAddress: return IDS_NOTICE_INCOMPLETE_ADDRESS;
        default: return 0;
    }
}

NoticeDialog::NoticeDialog() : win::Dialog(IDD_NOTICE) {}

BOOL NoticeDialog::OnInitDialog() {
    win::Dialog::OnInitDialog();
    SetTitle(win::LoadText(IDS_ERROR));
    // A code outside the table shows no text rather than a wrong one.
    const UINT textId = NoticeTextId(code);
    SetItemText(IDC_NOTICE_TEXT, textId ? win::LoadText(textId) : std::wstring());
    SetItemText(IDOK, win::LoadText(IDS_YES));
    SetItemText(IDCANCEL, win::LoadText(IDS_NO));
    return TRUE;  // the default push button, Yes, takes the focus
}

}  // namespace ui
