#include "reportsdk/ReportFacts.h"

// FIXME: bound to the device facts (OS, volume, MAC, board, session GUID and
// the analytics clock) once that unit is in the tree; until then every fact
// is empty and funnel events are refused for want of a session.
ReportFacts SystemReportFacts() { return {}; }
