// The Reports page: the report view with its Print and Export buttons.
#pragma once

#include "report/ReportHeading.h"
#include "report/ReportSums.h"

#include <functional>
#include <memory>
#include <QWidget>

class Feedback;
class QPrinter;
class Settings;
class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTextBrowser;
class ReportCharts;

class frameReports : public QWidget {
    Q_OBJECT
public:
    enum class Command { Print, SaveAs };

    explicit frameReports(Feedback& feedback, QWidget* parent = nullptr);

    // Shows a report: the file at path (Report.html, which Export saves as it is) laid out as a
    // light document from its sums, which also give its charts and CSV files. Without sums the
    // file is shown as HTML (the fixed pages), with no charts and no CSV.
    void navigate(const QString& path, std::shared_ptr<const ReportSums> report = {});
    // What the next report covers (days, criteria), for the heading of its printed pages and
    // saved charts; set before the report is made.
    void setHeading(const ReportHeading& heading) { m_heading = heading; }
    // Where save dialogs remember their last folder and type; none keeps them for this run.
    void setSettings(Settings* settings) { m_settings = settings; }
    // Shows a page that stands in for a report being prepared: Print and Export refuse it.
    void showPlaceholder(const QString& path);
    // Shows that the report could not be produced, and why; Print and Export refuse it.
    void showFailure(const QString& reason);
    QString currentPath() const { return m_path; }

    // Whether a command can run now; replaceable so that tests can make one unavailable.
    using StatusQuery = std::function<bool(Command)>;
    void setStatusQuery(StatusQuery query) { m_query = std::move(query); }

    void printReport();
    void exportReport();

    // The operator's choice of pseudonyms for users, and for workstations as well.
    bool pseudonymise() const;
    bool pseudonymiseWorkstations() const;

signals:
    // The choice of pseudonyms changed: the report must be made again.
    void pseudonymisationChanged();

public:
    // Shows the charts instead of the report (the Charts button's state); Print and Export
    // then act on the charts.
    void showCharts(bool shown);
    bool chartsShown() const;

signals:
    // A line for the status bar after a save or a print ("Saved the report to ...").
    void statusText(const QString& text);
    // The shown report (or its charts) left the console: format ("pdf", "csv", "print",
    // "charts png"...) and the file or printer it went to. Every such copy is in the audit log.
    void reportWritten(const QString& format, const QString& output);

private:
    bool available(Command command) const;
    // Tells the operator that no report is shown, when none is; true then.
    bool refusedWithoutReport(const QString& command);
    void printCharts();
    static QString printedTo(const QPrinter& printer);
    void exportCharts();
    // Writes the shown report as a PDF file; the error text, or nothing when it was written.
    QString writePdf(const QString& target) const;
    // "Report 2024-03-01 to 2024-03-14" (or "Charts ..."), the dialogs' first name.
    QString defaultName(const QString& what) const;
    // Says where a printer put its pages: a file's name, or that they went to the printer.
    QString printedText(const QString& what, const QPrinter& printer) const;

    QTextBrowser* brwReport;
    ReportCharts* rptCharts;
    QPushButton* cmdCharts;
    QPushButton* cmdPrintReport;
    QPushButton* cmdExportReport;
    QCheckBox* chkPseudonymise;
    QCheckBox* chkPseudonymiseWorkstations;
    QLabel* lblReportsInfo;

    Feedback& m_feedback;
    QStackedWidget* m_views;
    QString m_path;
    QString m_noReport; // why what is shown is no report; empty when it is one
    StatusQuery m_query;
    std::shared_ptr<const ReportSums> m_report; // the shown report's sums; nothing for other pages
    ReportHeading m_heading;
    Settings* m_settings = nullptr;
};
