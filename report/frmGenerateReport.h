// The report generation window: runs one report with a progress bar, then closes.
#pragma once

#include "report/GenerateReport.h"
#include "report/ReportCriteria.h"

#include <memory>
#include <QDialog>
#include <QString>

class Feedback;
class ManagerDatabase;
class QLabel;
class QProgressBar;

class frmGenerateReport : public QDialog {
    Q_OBJECT
public:
    frmGenerateReport(ManagerDatabase& database, ReportCriteria criteria, QString programFolder,
                      Feedback& feedback, QWidget* parent = nullptr);

    // The whole generation: extraction, then the report, NoData or NoSelection page. Emits
    // pageChosen and returns true; on a failure shows the error, emits failed with it and
    // returns false. Runs by itself on the window's first show.
    bool GenerateReport();

    // The page chosen by the last generation; empty when it failed or has not run.
    QString pagePath() const { return m_pagePath; }

    // The progress increment per report row, shared by every report of the program run.
    static int ProgressStep;

signals:
    // The page's path, and for the report page the report's sums.
    void pageChosen(const QString& path, std::shared_ptr<const ReportSums> report);
    void failed(const QString& reason);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void generateAndClose();

    QLabel* Label1;
    QProgressBar* pbReport;

    ManagerDatabase& m_database;
    ReportCriteria m_criteria;
    QString m_programFolder;
    Feedback& m_feedback;
    QString m_pagePath;
    bool m_started = false;
};
