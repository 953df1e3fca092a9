// Reports page: shows the report file and hands it to the print and save dialogs.
#include "report/frameReports.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/FileDialogMemory.h"
#include "base/OutputFile.h"
#include "base/VcError.h"
#include "report/PdfFile.h"
#include "report/ReportCharts.h"
#include "report/ReportCsv.h"
#include "report/ReportDisplay.h"
#include "report/ReportPdf.h"
#include "report/ReportPrint.h"
#include "report/ReportScreenDocument.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QStackedWidget>
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
                                     QStringLiteral("&Print Report"), this);
    cmdPrintReport->setObjectName(QStringLiteral("cmdPrintReport"));
    cmdExportReport = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                      QStringLiteral("&Export Report"), this);
    cmdExportReport->setObjectName(QStringLiteral("cmdExportReport"));
    lblReportsInfo =
        new QLabel(QStringLiteral("Use the \"Report Criteria\" page to select the data to be reported, "
                                  "including users, workstations, applications, and date ranges."),
                   this);
    lblReportsInfo->setObjectName(QStringLiteral("lblReportsInfo"));
    lblReportsInfo->setWordWrap(true);
    lblReportsInfo->setFont(QFont(QStringLiteral("Arial"), 9));
    rptCharts = new ReportCharts(this);
    rptCharts->setObjectName(QStringLiteral("rptCharts"));
    cmdCharts = new QPushButton(QStringLiteral("&Charts"), this);
    cmdCharts->setObjectName(QStringLiteral("cmdCharts"));
    cmdCharts->setCheckable(true);
    cmdCharts->setToolTip(QStringLiteral("Show the report's minutes as charts; press again for the report."));
    chkPseudonymise = new QCheckBox(QStringLiteral("Pseudonymise users"), this);
    chkPseudonymise->setObjectName(QStringLiteral("chkPseudonymise"));
    chkPseudonymise->setToolTip(QStringLiteral(
        "Name users by stable pseudonyms (\"User 5C1F9A\") in the report, its charts and files."));
    chkPseudonymiseWorkstations = new QCheckBox(QStringLiteral("and workstations"), this);
    chkPseudonymiseWorkstations->setObjectName(QStringLiteral("chkPseudonymiseWorkstations"));
    chkPseudonymiseWorkstations->setEnabled(false);
    m_views = new QStackedWidget(this);
    m_views->addWidget(brwReport);
    m_views->addWidget(rptCharts);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblReportsInfo, 1);
    buttons->addWidget(chkPseudonymise);
    buttons->addWidget(chkPseudonymiseWorkstations);
    buttons->addWidget(cmdCharts);
    buttons->addWidget(cmdPrintReport);
    buttons->addWidget(cmdExportReport);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_views, 1);
    layout->addLayout(buttons);

    // The keys go from the report to the buttons, left to right, as they are seen.
    setTabOrder(brwReport, cmdCharts);
    setTabOrder(cmdCharts, cmdPrintReport);
    setTabOrder(cmdPrintReport, cmdExportReport);

    connect(cmdPrintReport, &QPushButton::clicked, this, &frameReports::printReport);
    connect(cmdExportReport, &QPushButton::clicked, this, &frameReports::exportReport);
    connect(cmdCharts, &QPushButton::toggled, this, &frameReports::showCharts);
    connect(chkPseudonymise, &QCheckBox::toggled, this, [this](bool ticked) {
        chkPseudonymiseWorkstations->setEnabled(ticked);
        emit pseudonymisationChanged();
    });
    connect(chkPseudonymiseWorkstations, &QCheckBox::toggled, this, &frameReports::pseudonymisationChanged);
}

bool frameReports::pseudonymise() const {
    return chkPseudonymise->isChecked();
}

bool frameReports::pseudonymiseWorkstations() const {
    return chkPseudonymise->isChecked() && chkPseudonymiseWorkstations->isChecked();
}

void frameReports::showCharts(bool shown) {
    cmdCharts->setChecked(shown);
    m_views->setCurrentWidget(shown ? static_cast<QWidget*>(rptCharts) : brwReport);
    // The buttons say what they act on now.
    cmdPrintReport->setText(shown ? QStringLiteral("&Print Charts") : QStringLiteral("&Print Report"));
    cmdExportReport->setText(shown ? QStringLiteral("&Export Charts") : QStringLiteral("&Export Report"));
    setTabOrder(m_views->currentWidget(), cmdCharts);
}

bool frameReports::chartsShown() const {
    return m_views->currentWidget() == rptCharts;
}

void frameReports::navigate(const QString& path, std::shared_ptr<const ReportSums> report) {
    m_path = path;
    m_noReport.clear();
    m_report = std::move(report);
    rptCharts->setReport(m_report, m_heading);
    if (m_report) {
        // Parented to the view, so the view deletes it when the next page replaces it.
        brwReport->setDocument(ReportScreenDocument::build(*m_report, brwReport));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        brwReport->clear();
        return;
    }
    brwReport->document()->setBaseUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath() + QLatin1Char('/')));
    brwReport->setHtml(reportHtmlForDisplay(file.readAll()));
}

void frameReports::showPlaceholder(const QString& path) {
    navigate(path);
    m_noReport = QStringLiteral("The report is still being prepared.");
}

void frameReports::showFailure(const QString& reason) {
    m_path.clear();
    m_report.reset();
    rptCharts->setReport(nullptr);
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
    if (chartsShown()) {
        printCharts();
        return;
    }
    if (refusedWithoutReport(QStringLiteral("print")))
        return;
    if (!available(Command::Print)) {
        cmdPrintReport->setEnabled(false);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_report ? ReportPrint::documentName(m_heading)
                                : QStringLiteral("Application Usage Report"));
    if (!m_feedback.print(printer))
        return;
    if (!m_report) {
        brwReport->document()->print(&printer);
    } else if (!ReportPrint::print(*m_report, m_heading, printer)) {
        m_feedback.message(QStringLiteral("Could not print the report."),
                           Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Critical);
        return;
    }
    emit reportWritten(QStringLiteral("print"), printedTo(printer));
    emit statusText(printedText(QStringLiteral("report"), printer));
}

QString frameReports::printedTo(const QPrinter& printer) {
    return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

QString frameReports::printedText(const QString& what, const QPrinter& printer) const {
    if (!printer.outputFileName().isEmpty())
        return QStringLiteral("Printed the %1 to %2")
            .arg(what, QDir::toNativeSeparators(printer.outputFileName()));
    return QStringLiteral("Sent the %1 to the printer %2").arg(what, printer.printerName());
}

QString frameReports::writePdf(const QString& target) const {
    if (m_report)
        return writeReportPdf(*m_report, m_heading, target);
    return writePdfFile(target, [this](QPrinter& printer) {
        brwReport->document()->print(&printer);
        return true;
    });
}

QString frameReports::defaultName(const QString& what) const {
    const QString period =
        m_report ? ReportHeading::periodForFileName(m_report->firstDay(), m_report->lastDay()) : QString();
    return period.isEmpty() ? what : what + QLatin1Char(' ') + period;
}

void frameReports::exportReport() {
    if (chartsShown()) {
        exportCharts();
        return;
    }
    if (refusedWithoutReport(QStringLiteral("export")))
        return;
    if (!available(Command::SaveAs)) {
        cmdExportReport->setEnabled(false);
        return;
    }
    Feedback::FileDialog dialog;
    dialog.title = QStringLiteral("Export Report");
    dialog.filter = QStringLiteral("HTML Files (*.html)|*.html|PDF Files (*.pdf)|*.pdf");
    // The report's numbers, when the page shows one: per day and application, or with a row per
    // user and workstation for names ending ".detail.csv".
    if (m_report)
        dialog.filter +=
            QStringLiteral("|CSV Files (*.csv)|*.csv|Detailed CSV Files (*.detail.csv)|*.detail.csv");
    dialog.defaultSuffix = QStringLiteral("html");
    dialog.confirmOverwrite = true;
    // The last folder and type, and a name that says which days the report holds.
    FileDialogMemory memory(m_settings, QStringLiteral("Report"));
    if (m_report) {
        dialog.initialName = defaultName(QStringLiteral("Report"));
        memory.recall(dialog);
    } else {
        dialog.initialName = QFileInfo(m_path).fileName();
    }
    const std::optional<QString> target = m_feedback.saveFileName(dialog);
    if (!target)
        return;
    memory.remember(dialog, *target);
    QString error;
    if (target->endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        error = writePdf(*target);
    } else if (m_report && target->endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        try {
            ReportCsv::write(*m_report, *target, ReportCsv::kindOf(*target));
        } catch (const VcError& failure) {
            error = failure.description();
        }
    } else {
        // The saved page is the file itself, exactly as written.
        QFile source(m_path);
        if (!source.open(QIODevice::ReadOnly))
            error = source.errorString();
        else
            error = OutputFile::writeWhole(*target, source.readAll());
    }
    if (!error.isEmpty()) {
        m_feedback.message(QStringLiteral("Could not save the report to ") + *target +
                               QStringLiteral(":\r\n") + error,
                           Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Critical);
        return;
    }
    const QString suffix = QFileInfo(*target).suffix().toLower();
    emit reportWritten(m_report && suffix == QLatin1String("csv") &&
                               ReportCsv::kindOf(*target) == ReportCsv::Kind::Detail
                           ? QStringLiteral("detail.csv")
                           : suffix,
                       *target);
    emit statusText(QStringLiteral("Saved the report to ") + QDir::toNativeSeparators(*target));
}

void frameReports::printCharts() {
    // Nothing to print is not a reason to disable the button the report needs.
    if (!rptCharts->hasCharts()) {
        m_feedback.beep();
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Application Usage Charts") +
                       (m_heading.period.isEmpty() ? QString() : QStringLiteral(", ") + m_heading.period));
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!m_feedback.print(printer))
        return;
    if (!rptCharts->print(printer)) {
        m_feedback.message(QStringLiteral("Could not print the charts."),
                           Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Critical);
        return;
    }
    emit reportWritten(QStringLiteral("charts print"), printedTo(printer));
    emit statusText(printedText(QStringLiteral("charts"), printer));
}

void frameReports::exportCharts() {
    if (!rptCharts->hasCharts()) {
        m_feedback.beep();
        return;
    }
    Feedback::FileDialog dialog;
    dialog.title = QStringLiteral("Export Charts");
    dialog.initialName = defaultName(QStringLiteral("Charts"));
    dialog.filter = QStringLiteral("PNG Images (*.png)|*.png|PDF Files (*.pdf)|*.pdf");
    dialog.defaultSuffix = QStringLiteral("png");
    dialog.confirmOverwrite = true;
    FileDialogMemory memory(m_settings, QStringLiteral("Charts"));
    memory.recall(dialog);
    const std::optional<QString> target = m_feedback.saveFileName(dialog);
    if (!target)
        return;
    memory.remember(dialog, *target);
    const QString error = target->endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
                              ? writePdfFile(*target,
                                             [this](QPrinter& printer) {
                                                 printer.setPageOrientation(QPageLayout::Landscape);
                                                 return rptCharts->print(printer);
                                             })
                              : rptCharts->savePng(*target);
    if (!error.isEmpty()) {
        m_feedback.message(QStringLiteral("Could not save the charts to ") + *target +
                               QStringLiteral(":\r\n") + error,
                           Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Critical);
        return;
    }
    emit reportWritten(QStringLiteral("charts ") + QFileInfo(*target).suffix().toLower(), *target);
    emit statusText(QStringLiteral("Saved the charts to ") + QDir::toNativeSeparators(*target));
}
