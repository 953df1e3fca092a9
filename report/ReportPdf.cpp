// PDF export of a report document through the printer's PDF output.
#include "report/ReportPdf.h"

#include "report/PdfFile.h"

#include <QPrinter>
#include <QTextDocument>

QString writeReportPdf(QTextDocument& document, const QString& target) {
    return writePdfFile(target, [&document](QPrinter& printer) {
        document.print(&printer);
        return true;
    });
}
