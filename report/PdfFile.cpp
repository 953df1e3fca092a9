// PDF files written beside their target and renamed into place.
#include "report/PdfFile.h"

#include "base/OutputFile.h"

#include <QPrinter>

QString writePdfFile(const QString& target, const std::function<bool(QPrinter&)>& print) {
    // Printed beside the target and renamed over it when complete and on disk: a failure part-way
    // (a full disk) never touches the file being replaced.
    OutputFile file(target);
    if (!file.open())
        return file.errorString();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file.temporaryPath());
    const bool printed = print(printer);
    if (!printed || printer.printerState() == QPrinter::Error)
        return QStringLiteral("The PDF file could not be written.");
    // The printer reports no write error: a short file is found by its missing end.
    if (!file.commit(&OutputFile::pdfProblem))
        return file.errorString();
    return QString();
}
