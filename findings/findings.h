// Findings: why a scan found no converter (or several), or why a converter
// did not take its address, as stable codes with arguments, and each
// rendered as a sentence that says what to do. No window code: the notice
// and the console companion both build and render them here.
//
//   const findings::Facts facts = findings::ReadFacts(source, {programPath});
//   const findings::Inputs in =
//       findings::LastScanInputs(findings::Notice::kNotFound, &facts, nullptr);
//   for (const findings::Finding& f : findings::BuildFindings(in))
//       puts(findings::RenderFinding(f, findings::Language::kEnglish).c_str());
#pragma once

#include <string>
#include <vector>

#include "findings/facts.h"
#include "findings/finding_codes.h"
#include "net/device_table.h"
#include "net/page_check.h"
#include "net/scan_report.h"

namespace findings {

enum class Language { kEnglish, kJapanese };

// Decodes a converter name's bytes into UTF-8 as the list shows them.
using NameDecoder = std::string (*)(const std::string& bytes);

struct Inputs {
    Notice notice = Notice::kNone;  // 1, 4, 5 or 6; any other notice has no findings
    // The last scan (notices 4, 5, 6): its report per link, the error it
    // ended with (0: none), and the records it stored with their links.
    const net::ScanReport* scan = nullptr;
    int scanError = 0;
    const net::DeviceRecord* records = nullptr;  // the device table
    int recordCount = 0;
    // Notice 1: the assign exchange's report and the address it asked for;
    // nullptr when no exchange ran (Cancel, the close box): no findings.
    const net::AssignReport* assign = nullptr;
    std::string assignAddress;
    // Notice 3: the page check that met no page at pageAddress through
    // pageLink; nullptr when the shell failed instead: no findings.
    const net::PageCheck* page = nullptr;
    std::string pageAddress;
    net::Link pageLink;
    // What Windows said (notices 4 and 5); nullptr when it was not asked.
    const Facts* facts = nullptr;
    // How long the program waited for an adapter's address after the scan
    // (0: it did not wait).
    int waitedSeconds = 0;
    // nullptr: ASCII as it is, other bytes as Latin-1.
    NameDecoder decodeName = nullptr;
};

// How many records the last scan left in the table: a count above the
// table's size read as 63, as the flows read it; after a failed scan, those
// it stored before it failed.
int LastScanRecordCount();

// The notice that tells of the last scan as the program shows it: kNotFound
// when it failed or no converter of a supported model answered, kSeveral for
// several, kNone for one. For host unreachable the start shows a message box
// without findings, and the Scan button kRescanNotFound, which has them.
Notice NoticeOfLastScan();

// The inputs for `notice` as the last scan left them: its report, its error
// and its records; the facts Windows gave (nullptr: not asked) and the
// names' decoder. The notices and the console companion all build theirs
// here; the caller adds the assign report.
Inputs LastScanInputs(Notice notice, const Facts* facts, NameDecoder decodeName);

// The findings for the notice, heaviest first: nothing connected, a
// connected adapter without an address, another model's answer, the
// firewall, a VPN, a link's failure, the scan's failure, then every link on
// which nothing answered (notices 4, 5); each converter found (6); how the
// assign exchange ended (1); what the page check met (3).
std::vector<Finding> BuildFindings(const Inputs& inputs);

// The friendly name of the adapter that holds the link's address, as Windows
// gave it; empty when the link is unknown or Windows names none.
std::string AdapterOf(const net::Link& link, const Facts& facts);

// The finding as one sentence (or two) saying what to do, in UTF-8. Every
// text of a finding lives in finding_texts.cpp.
std::string RenderFinding(const Finding& finding, Language language);

}  // namespace findings
