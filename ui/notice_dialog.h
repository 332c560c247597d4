// The modal Yes/No notice. Every notice reports a problem; Yes (1) asks the
// caller to open the notice's help topic, No (2) ends the matter.
#pragma once

#include <windows.h>

#include <string>

#include "findings/finding_codes.h"
#include "win/dialog.h"
#include "win/tool_tip.h"

namespace ui {

using findings::Notice;

// The string identifier of the notice's text; 0 for a code outside the table.
UINT NoticeTextId(Notice notice);

// Notices 1, 3, 4, 5 and 6 can say why (findings::ShowsFindings): they show
// their findings, when they have any, in a read-only box below their own text.
// The box shows this many lines at most and scrolls beyond them.
constexpr int kFindingsLines = 12;

// Notices 4 and 5 also offer Scan Again, left of Yes: the user who switched
// the converter on or plugged the cable in after reading them searches
// again without starting the program again. Its result:
bool NoticeOffersScanAgain(Notice code);
constexpr INT_PTR kNoticeScanAgain = 3;

// With the finding that Windows Firewall may drop the converter's answers,
// notices 4 and 5 also offer Allow in Firewall, with the User Account
// Control shield, left of Scan Again: it starts the program elevated to add
// the rules (ui::StartAllowInFirewall); once they are there the notice ends
// as Scan Again ends it, otherwise it stays with a line below the findings
// that says why.
struct NoticeFindings {
    std::wstring text;  // one finding a line, in the program's language; empty: none
    bool firewallMayBlock = false;
};
bool NoticeOffersAllowInFirewall(Notice code, const NoticeFindings& findings);

// A notice with findings or with a third button is this wide (dialog
// units), at most the work area's width, its buttons in one row; any other
// is exactly its template.
constexpr int kWideNoticeWidth = 350;

// Its result: 1 Yes, 2 No, kNoticeScanAgain.
class NoticeDialog : public win::Dialog {
public:
    NoticeDialog();

    // The Scan Again button's tip learns of the pointer here.
    bool PreTranslateMessage(MSG* message) override;

    // Set by the caller before the modal run: the notice, and what was found
    // out.
    Notice code = Notice::kNone;
    NoticeFindings findings;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override { EndDialog(1); }
    void OnCancel() override { EndDialog(2); }
    bool DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void Widen();
    void AddScanAgainButton();
    // As wide as its text and the shield need, at least as wide as Yes.
    void AddAllowInFirewallButton();
    // The notice grows by the box's height, its buttons move down with it.
    void AddFindingsBox();
    // Taller by `dy`, the buttons moved down with its bottom.
    void GrowBy(int dy);
    // Allow in Firewall and Scan Again (where there are), Yes and No,
    // centred in one row at Yes's height, the template's gap between them.
    void LayOutButtons();
    // Only a notice that shows the button takes its command.
    void OnScanAgain();
    void OnAllowInFirewall();
    // The line below the findings (made at the first failure, its text
    // replaced at the next); the notice grows by what it takes.
    void ShowFirewallLine(const std::wstring& text);
    bool OnDestroy(WPARAM wParam, LPARAM lParam, LRESULT* result);

    win::ToolTip toolTip_;
};

}  // namespace ui
