// PDF export of a report through the printer's PDF output.
#include "report/ReportPdf.h"

#include "report/PdfFile.h"
#include "report/ReportPrint.h"

#include <QPrinter>

QString writeReportPdf(const ReportSums& report, const ReportHeading& heading, const QString& target) {
    return writePdfFile(target,
                        [&](QPrinter& printer) { return ReportPrint::print(report, heading, printer); });
}
