#include "net/scan_report.h"

namespace net {

ScanReport g_scanReport;

}  // namespace net
