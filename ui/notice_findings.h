// What a notice shows below its own text: the findings of the last scan or
// assign exchange and of what Windows says now, in the program's language.
#pragma once

#include <string>

#include "findings/findings.h"
#include "net/scan_report.h"
#include "ui/notice_dialog.h"

namespace ui {

// The findings for notice `notice` (1, 3, 4, 5 or 6): their text, one
// finding a line, and whether the firewall may block; none for any other
// notice, when nothing was found out, or when memory ran
// out on the way (the notice then shows its own text alone). Call it just
// before the notice runs, after the scan or exchange it answers for:
//
//   notice.findings = NoticeFindingsFor(notice.code);
//
// Notices 4 and 5 read the scan's report and records and ask Windows about
// the adapters, their networks and the firewall's rules for the program
// file this process runs; notice 6 reads the records;
// notice 1 needs the exchange's report and the address it asked for, and
// has no findings when no exchange ran (assign nullptr); notice 3 needs the
// page check that met no page (page's page, pageAddress and pageLink) and
// names the adapters. `waitedSeconds`: how long the scan's flow waited for
// an adapter's address (0: it did not).
NoticeFindings NoticeFindingsFor(findings::Notice notice, const net::AssignReport* assign = nullptr,
                                 const std::string& assignAddress = std::string(), int waitedSeconds = 0,
                                 const findings::Inputs& page = findings::Inputs());

}  // namespace ui
