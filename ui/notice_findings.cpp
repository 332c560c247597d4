#include "ui/notice_findings.h"

#include <new>

#include "findings/windows_facts.h"
#include "ui/notice_dialog.h"
#include "win/language.h"

namespace ui {

NoticeFindings NoticeFindingsFor(findings::Notice notice, const net::AssignReport* assign,
                                 const std::string& assignAddress, int waitedSeconds,
                                 const findings::Inputs& page) {
    // The adapter list, the rules and the text are allocated here: out of
    // memory, the notice shows its own text alone.
    try {
        // Notices 4 and 5 ask Windows everything; 3 and 6 only name the adapters.
        findings::Facts facts;
        const bool asked = notice == Notice::kRescanNotFound || notice == Notice::kNotFound ||
                           notice == Notice::kSeveral || (notice == Notice::kOpenFailed && page.page);
        if (asked) {
            facts = findings::ReadFacts(findings::ActiveFactsSource(), {findings::RunningProgramPath()},
                                        notice != Notice::kSeveral && notice != Notice::kOpenFailed);
        }
        findings::Inputs in =
            findings::LastScanInputs(notice, asked ? &facts : nullptr, &findings::SystemCodePageToUtf8);
        in.assign = assign;
        in.assignAddress = assignAddress;
        in.waitedSeconds = waitedSeconds;
        in.page = page.page;
        in.pageAddress = page.pageAddress;
        in.pageLink = page.pageLink;
        const bool japanese = win::Language() == win::kJapanese;
        // Each finding a paragraph of its own, marked where it starts.
        std::string text;
        NoticeFindings found;
        for (const findings::Finding& finding : findings::BuildFindings(in)) {
            found.firewallMayBlock |= std::holds_alternative<findings::FirewallMayBlock>(finding);
            text += (text.empty() ? "" : "\r\n") + std::string("\u2022 ") +
                    findings::RenderFinding(finding, japanese ? findings::Language::kJapanese
                                                              : findings::Language::kEnglish);
        }
        found.text = win::FromUtf8(text);
        return found;
    } catch (const std::bad_alloc&) {
        return NoticeFindings();
    }
}

}  // namespace ui
