// The Application Usage Report file, written from the extracted report rows.
#pragma once

#include <QString>

class ManagerDatabase;
class ReportProgress;
struct ReportTotals;

// Writes the report for the rows of MGRDaySummaryTmp to path (Windows-1252, CR LF line ends):
// one section per day in ascending order, applications summed over users and workstations
// and listed by name, the grand total, and the users and workstations of the report. Names
// that differ only in letter case are one application, user or workstation, shown in their
// first spelling. The file is written under a temporary name and renamed into place, so the
// previous report stays whole when writing fails. The progress value advances by progressStep
// per row while it stays within the maximum. Throws VcError on a database or file failure.
// When totals is given, it receives the cells' minutes as written (its day range untouched),
// so that views beside the report show its numbers without summing the rows a second time.
void WriteReportFile(ManagerDatabase& database, const QString& path, ReportProgress& progress,
                     int progressStep, ReportTotals* totals = nullptr);
