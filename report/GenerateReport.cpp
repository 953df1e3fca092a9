// Report generation sequence.
#include "report/GenerateReport.h"

#include "report/ReportHtml.h"
#include "report/ReportProgress.h"

namespace {

// The bar moves as when the writer read the rows back: progressStep per row while it fits.
void advance(ReportProgress& progress, int progressStep, qint64 rows) {
    double value = progress.value();
    for (qint64 i = 0; i < rows && progressStep > 0 && value + progressStep <= progress.maximum(); ++i)
        value += progressStep;
    progress.setValue(value);
}

} // namespace

ReportOutcome generateReport(const ManagerDatabase& database, const ReportCriteria& criteria,
                             const QString& programFolder, ReportProgress& progress, int& progressStep) {
    ReportOutcome outcome;
    auto report = std::make_shared<ReportSums>(ReportSums::Detail::Kept);
    outcome.counts = GenerateData(database, criteria, progress, progressStep, *report);
    if (!criteria.complete()) {
        outcome.page = ReportPage::NoSelection;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/NoSelection.html");
    } else if (outcome.counts.kept == 0) {
        outcome.page = ReportPage::NoData;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/NoData.html");
    } else {
        outcome.page = ReportPage::Report;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/Report.html");
        advance(progress, progressStep, report->rows());
        ReportHtml::write(*report, outcome.path);
        outcome.report = std::move(report);
    }
    return outcome;
}
