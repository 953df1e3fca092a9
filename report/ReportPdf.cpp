// PDF export of a report document through the printer's PDF output.
#include "report/ReportPdf.h"

#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryFile>
#include <QTextDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>

QString WriteReportPdf(QTextDocument& document, const QString& target) {
    QTemporaryFile temporary(QFileInfo(target).absolutePath() + QStringLiteral("/.report-XXXXXX.pdf"));
    if (!temporary.open())
        return temporary.errorString();
    temporary.close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(temporary.fileName());
    document.print(&printer);
    QFile written(temporary.fileName());
    if (printer.printerState() == QPrinter::Error || !written.open(QIODevice::ReadOnly) ||
        written.read(5) != "%PDF-")
        return QStringLiteral("The PDF file could not be written.");
    written.close();
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    temporary.setAutoRemove(false);
    return QString();
}
