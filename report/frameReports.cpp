// Reports page: shows the report file and hands it to the print and save dialogs.
#include "report/frameReports.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "report/ReportDisplay.h"
#include "report/ReportOutline.h"
#include "report/ReportPdf.h"
#include "report/ReportScreenDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include <optional>

frameReports::frameReports(Feedback& feedback, QWidget* parent) : QWidget(parent), m_feedback(feedback) {
    Q_INIT_RESOURCE(report);
    setObjectName(QStringLiteral("frameReports"));
    brwReport = new QTextBrowser(this);
    brwReport->setObjectName(QStringLiteral("brwReport"));
    brwReport->setOpenLinks(false);
    // The desktop's printer when its icon theme has one; else our own drawing, never Export's disk.
    QIcon printer;
    printer.addFile(QStringLiteral(":/report/print-16.png"));
    printer.addFile(QStringLiteral(":/report/print-32.png"));
    cmdPrintReport = new QPushButton(QIcon::fromTheme(QStringLiteral("document-print"), printer),
                                     QStringLiteral("Print Report"), this);
    cmdPrintReport->setObjectName(QStringLiteral("cmdPrintReport"));
    cmdExportReport = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                      QStringLiteral("Export Report"), this);
    cmdExportReport->setObjectName(QStringLiteral("cmdExportReport"));
    lblReportsInfo =
        new QLabel(QStringLiteral("Use the \"Report Criteria\" page to select the data to be reported, "
                                  "including users, workstations, applications, and date ranges."),
                   this);
    lblReportsInfo->setObjectName(QStringLiteral("lblReportsInfo"));
    lblReportsInfo->setWordWrap(true);
    lblReportsInfo->setFont(QFont(QStringLiteral("Arial"), 9));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblReportsInfo, 1);
    buttons->addWidget(cmdPrintReport);
    buttons->addWidget(cmdExportReport);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(brwReport, 1);
    layout->addLayout(buttons);

    connect(cmdPrintReport, &QPushButton::clicked, this, &frameReports::printReport);
    connect(cmdExportReport, &QPushButton::clicked, this, &frameReports::exportReport);
}

void frameReports::navigate(const QString& path) {
    m_path = path;
    m_noReport.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        brwReport->clear();
        return;
    }
    const QByteArray bytes = file.readAll();
    const QUrl base = QUrl::fromLocalFile(QFileInfo(path).absolutePath() + QLatin1Char('/'));
    if (const std::optional<ReportOutline> outline = ReportOutline::parse(bytes)) {
        // Parented to the view, so the view deletes it when the next page replaces it.
        QTextDocument* document = ReportScreenDocument::build(*outline, brwReport);
        document->setBaseUrl(base);
        brwReport->setDocument(document);
        return;
    }
    brwReport->document()->setBaseUrl(base);
    brwReport->setHtml(ReportHtmlForDisplay(bytes));
}

void frameReports::showPlaceholder(const QString& path) {
    navigate(path);
    m_noReport = QStringLiteral("The report is still being prepared.");
}

void frameReports::showFailure(const QString& reason) {
    m_path.clear();
    m_noReport = QStringLiteral("The report could not be produced: ") + reason;
    brwReport->setHtml(
        QStringLiteral(
            "<P ALIGN=CENTER><FONT FACE=\"Arial\" SIZE=3><B>Application Usage Report</B></FONT></P>"
            "<P ALIGN=CENTER><FONT FACE=\"Arial\" SIZE=2>The report could not be produced.</FONT></P>"
            "<P ALIGN=CENTER><FONT FACE=\"Arial\" SIZE=1 COLOR=\"GRAY\">") +
        reason.toHtmlEscaped() + QStringLiteral("</FONT></P>"));
}

bool frameReports::refusedWithoutReport(const QString& command) {
    if (m_noReport.isEmpty())
        return false;
    // The button stays enabled: the next report shown can be printed and saved.
    m_feedback.message(QStringLiteral("There is no report to ") + command + QStringLiteral(". ") + m_noReport,
                       Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Information);
    return true;
}
bool frameReports::available(Command command) const {
    if (m_query)
        return m_query(command);
    return !m_path.isEmpty() && QFileInfo::exists(m_path) && !brwReport->document()->isEmpty();
}

void frameReports::printReport() {
    if (refusedWithoutReport(QStringLiteral("print")))
        return;
    if (!available(Command::Print)) {
        cmdPrintReport->setEnabled(false);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Application Usage Report"));
    if (m_feedback.print(printer))
        brwReport->document()->print(&printer);
}

QString frameReports::writePdf(const QString& target) const {
    return WriteReportPdf(*brwReport->document(), target);
}

void frameReports::exportReport() {
    if (refusedWithoutReport(QStringLiteral("export")))
        return;
    if (!available(Command::SaveAs)) {
        cmdExportReport->setEnabled(false);
        return;
    }
    Feedback::FileDialog dialog;
    dialog.title = QStringLiteral("Export Report");
    dialog.initialName = QFileInfo(m_path).fileName();
    dialog.filter = QStringLiteral("HTML Files (*.html)|*.html|PDF Files (*.pdf)|*.pdf");
    // The rows behind the report, when the page shows one: per day and application, or with a
    // row per user and workstation for names ending ".detail.csv".
    if (m_csv)
        dialog.filter +=
            QStringLiteral("|CSV Files (*.csv)|*.csv|Detailed CSV Files (*.detail.csv)|*.detail.csv");
    dialog.defaultSuffix = QStringLiteral("html");
    dialog.confirmOverwrite = true;
    const std::optional<QString> target = m_feedback.saveFileName(dialog);
    if (!target)
        return;
    QString error;
    if (target->endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        error = writePdf(*target);
    } else if (m_csv && target->endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        error = m_csv(*target);
    } else {
        // The saved page is the file itself, exactly as written.
        QFile source(m_path);
        QSaveFile out(*target);
        if (!source.open(QIODevice::ReadOnly))
            error = source.errorString();
        else if (!out.open(QIODevice::WriteOnly) || out.write(source.readAll()) < 0 || !out.commit())
            error = out.errorString();
    }
    if (!error.isEmpty())
        m_feedback.message(QStringLiteral("Could not save the report to ") + *target +
                               QStringLiteral(":\r\n") + error,
                           Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Critical);
}
