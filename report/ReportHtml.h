// The Application Usage Report file (Report.html), written from the report's sums.
#pragma once

#include <QByteArray>
#include <QString>

class ReportSums;

namespace ReportHtml {

// The file's bytes (Windows-1252, CR LF line ends): one section per day in ascending order,
// its applications listed by name with their times and percentages of the day and the day's
// total, the grand total, and the users and workstations of the report.
QByteArray bytes(const ReportSums& report);

// Writes them under a temporary name renamed into place, so the previous file stays whole
// when writing fails. Throws VcError then.
void write(const ReportSums& report, const QString& path);

} // namespace ReportHtml
