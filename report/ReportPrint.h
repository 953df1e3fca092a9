// The report on paper: a printer or a PDF file, with a heading and page numbers on every page.
#pragma once

#include "report/ReportHeading.h"

#include <QList>
#include <QString>

class QPrinter;
class QTextDocument;
class ReportSums;

namespace ReportPrint {

// One page's part of a laid-out document: from top to bottom, in document units.
struct Slice {
    double top = 0;
    double bottom = 0;
};

// Cuts a document built by ReportScreenDocument into pages of at most pageHeight, between
// paragraphs. A day's lines and its "Total for day" stay on one page (the day moves to the next
// page whole); only a day taller than a page is cut, between its lines.
QList<Slice> paginate(const QTextDocument& document, double pageHeight);

// "Page 2 of 7".
QString pageText(int page, int pages);

// Prints the report on a printer already set up: every page headed by the report's name, its
// days, its criteria and when it was made, and footed "Page n of m"; the letters in the paper
// sizes. The document's name (a PDF's title) is set from the heading. False when the printer
// could not be painted on.
bool print(const ReportSums& report, const ReportHeading& heading, QPrinter& printer);

// The document name a printer (and a PDF's title) gets: "Application Usage Report, <days>".
QString documentName(const ReportHeading& heading);

} // namespace ReportPrint
