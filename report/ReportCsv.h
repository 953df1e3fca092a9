// The report as CSV: per day and application as the report shows it, or in detail per user
// and workstation.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class ReportSums;

namespace ReportCsv {

enum class Kind {
    Summary, // Date, Application, Minutes, Percent: one row per day and application
    Detail,  // Date, Application, User, Workstation, Minutes
};

// Names from agent files and the operator reach the cells as text. Neutralised (the default): a
// name starting with =, +, -, @, a tab or a carriage return gets a leading apostrophe, so no
// spreadsheet runs it as a formula; Raw keeps every name exactly as it is.
enum class Names { Neutralised, Raw };

// The kind a file name asks for: names ending ".detail.csv" (any letter case) get the detail.
Kind kindOf(const QString& path);

// One CSV field as RFC 4180 has it: quoted (inner quotes doubled) when it holds a comma,
// quote, line break, tab or a leading or trailing blank; otherwise as it is. Raw changes or
// drops nothing, so a reader gets back exactly the text; Neutralised adds the apostrophe.
QByteArray field(const QString& text, Names names = Names::Neutralised);

// The whole file: UTF-8 without byte order mark, a header row, CR LF after every row. Days
// ascend as ISO dates (YYYY-MM-DD); applications, users and workstations come in the report's
// order and spelling (names that differ only in letter case are one). Minutes are the report's:
// the exact sum of the cell's time rounded once to whole minutes, halves to even; the percent
// is the report's, of the day's exact sum; a detail cell is rounded the same way. The detail
// needs sums that kept it (VcError otherwise).
QByteArray text(const ReportSums& report, Kind kind, Names names = Names::Neutralised);

// Writes the file to path through OutputFile (its rule for what may be replaced; readable by its
// owner only; the previous file stays as it was on any failure). Throws VcError (the message
// names the file).
void write(const ReportSums& report, const QString& path, Kind kind, Names names = Names::Neutralised);

} // namespace ReportCsv
