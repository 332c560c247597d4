#include "ui/notice_findings.h"

#include "findings/findings.h"
#include "findings/windows_facts.h"
#include "ui/notice_dialog.h"
#include "win/language.h"

namespace ui {

std::wstring NoticeFindingsText(int notice, const net::AssignReport* assign,
                                const std::string& assignAddress) {
    findings::Inputs in = findings::LastScanInputs(notice);
    in.assign = assign;
    in.assignAddress = assignAddress;
    in.decodeName = &findings::SystemCodePageToUtf8;
    // Notices 4 and 5 ask Windows everything; 6 only names the adapters.
    findings::Facts facts;
    if (notice == kNoticeRescanNotFound || notice == kNoticeNotFound || notice == kNoticeSeveral) {
        facts = findings::ReadFacts(findings::ActiveFactsSource(), notice != kNoticeSeveral);
        in.facts = &facts;
    }
    const bool japanese = win::Language() == win::kJapanese;
    // Each finding a paragraph of its own, marked where it starts.
    std::string text;
    for (const findings::Finding& finding : findings::BuildFindings(in)) {
        text += (text.empty() ? "" : "\r\n") + std::string("\u2022 ") +
                findings::RenderFinding(
                    finding, japanese ? findings::Language::kJapanese : findings::Language::kEnglish);
    }
    return win::FromUtf8(text);
}

}  // namespace ui
