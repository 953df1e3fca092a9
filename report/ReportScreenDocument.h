// The report as the Reports page shows and prints it: plain paragraphs with tab stops.
#pragma once

class QObject;
class QTextDocument;
class ReportSums;

namespace ReportScreenDocument {

// A document with what the report file shows, laid out like it. The file's nested tables cost
// the viewer seconds and hundreds of megabytes on a two-year report; paragraphs aligned by tab
// stops show the same columns for a small part of that, and keep selection, find and print.
QTextDocument* build(const ReportSums& report, QObject* parent);

} // namespace ReportScreenDocument
