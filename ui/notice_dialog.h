// The modal Yes/No notice. Every notice reports a problem; Yes (1) asks the
// caller to open the notice's help topic, No (2) ends the matter.
#pragma once

#include <windows.h>

#include <string>

#include "findings/finding_codes.h"
#include "win/dialog.h"

namespace ui {

using findings::Notice;

// The string identifier of the notice's text; 0 for a code outside the table.
UINT NoticeTextId(Notice notice);

// Notices 1, 3, 4, 5 and 6 can say why (findings::ShowsFindings): they show
// their findings, when they have any, in a read-only box below their own text.
// The box shows this many lines at most and scrolls beyond them.
constexpr int kFindingsLines = 12;

class NoticeDialog : public win::Dialog {
public:
    NoticeDialog();

    // Set by the caller before the modal run: the notice, and what was found
    // out (one finding a line, in the program's language; empty: none).
    Notice code = Notice::kNone;
    std::wstring findings;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override { EndDialog(1); }
    void OnCancel() override { EndDialog(2); }

private:
    // The notice grows by the box's height, its buttons move down with it.
    void AddFindingsBox();
};

}  // namespace ui
