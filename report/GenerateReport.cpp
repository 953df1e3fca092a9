// Report generation sequence.
#include "report/GenerateReport.h"

#include "report/WriteReportFile.h"

ReportOutcome GenerateReport(ManagerDatabase& database, const ReportCriteria& criteria,
                             const QString& programFolder, ReportProgress& progress, int& progressStep) {
    ReportOutcome outcome;
    outcome.counts = GenerateData(database, criteria, progress, progressStep);
    if (!criteria.complete()) {
        outcome.page = ReportPage::NoSelection;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/NoSelection.html");
    } else if (outcome.counts.kept == 0) {
        outcome.page = ReportPage::NoData;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/NoData.html");
    } else {
        outcome.page = ReportPage::Report;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/Report.html");
        WriteReportFile(database, outcome.path, progress, progressStep);
    }
    return outcome;
}
