// The report as the Reports page shows and prints it: plain paragraphs with tab stops.
#pragma once

class QObject;
class QTextDocument;
class ReportSums;

namespace ReportScreenDocument {

// Sizes of the laid-out text: the screen's follow the file's HTML sizes; paper wants larger
// letters, and its lengths are in the printer's pixels.
struct Scale {
    double font = 1.0;   // times the screen's point sizes
    double length = 1.0; // document units per screen pixel (tab stops, indents, margins)
};
// The paper sizes for a printer of this resolution (dots per inch).
Scale paper(double dotsPerInch);

// What each paragraph is, kept in its block format (property Role), so that pages can keep a
// day's lines with its total.
constexpr int Role = 0x100100; // QTextFormat::UserProperty + 0x100
enum class Part { Other = 0, DayHeading = 1, DayLine = 2, DayTotal = 3 };

// A document with what the report file shows, laid out like it. The file's nested tables cost
// the viewer seconds and hundreds of megabytes on a two-year report; paragraphs aligned by tab
// stops show the same columns for a small part of that, and keep selection and find.
QTextDocument* build(const ReportSums& report, QObject* parent, Scale scale = {});

} // namespace ReportScreenDocument
