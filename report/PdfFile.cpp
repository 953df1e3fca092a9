// PDF files written beside their target and renamed into place.
#include "report/PdfFile.h"

#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

QString writePdfFile(const QString& target, const std::function<bool(QPrinter&)>& print) {
    // Printed beside the target and renamed over it when complete: a failure part-way never
    // touches the file being replaced.
    QTemporaryFile temporary(QFileInfo(target).absolutePath() + QStringLiteral("/.report-XXXXXX.pdf"));
    if (!temporary.open())
        return temporary.errorString();
    temporary.close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(temporary.fileName());
    const bool printed = print(printer);
    QFile written(temporary.fileName());
    if (!printed || printer.printerState() == QPrinter::Error || !written.open(QIODevice::ReadOnly) ||
        written.read(5) != "%PDF-")
        return QStringLiteral("The PDF file could not be written.");
    written.close();
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    temporary.setAutoRemove(false);
    return QString();
}
