// Report generation sequence.
#include "report/GenerateReport.h"

#include "report/ReportProgress.h"
#include "report/ReportWriter.h"

namespace {

// The extracted rows go straight into the report's sums: nothing else reads them, and a round
// trip through MGRDaySummaryTmp cost more than the extraction itself on large ranges.
class WriterSink : public ReportRowSink {
public:
    explicit WriterSink(ReportWriter& writer) : m_writer(writer) {}
    void row(QDate day, int applicationKey, const QByteArray& application, int userKey,
             const QByteArray& user, int workstationKey, const QByteArray& workstation,
             double minutes) override {
        m_writer.addRow(day, application, user, workstation, minutes, applicationKey, userKey,
                        workstationKey);
    }

private:
    ReportWriter& m_writer;
};

// The bar moves as when the writer read the rows back: progressStep per row while it fits.
void advance(ReportProgress& progress, int progressStep, qint64 rows) {
    double value = progress.value();
    for (qint64 i = 0; i < rows && progressStep > 0 && value + progressStep <= progress.maximum(); ++i)
        value += progressStep;
    progress.setValue(value);
}

} // namespace

ReportOutcome GenerateReport(ManagerDatabase& database, const ReportCriteria& criteria,
                             const QString& programFolder, ReportProgress& progress, int& progressStep) {
    ReportOutcome outcome;
    ReportWriter writer;
    WriterSink sink(writer);
    outcome.counts = GenerateData(database, criteria, progress, progressStep, sink);
    if (!criteria.complete()) {
        outcome.page = ReportPage::NoSelection;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/NoSelection.html");
    } else if (outcome.counts.kept == 0) {
        outcome.page = ReportPage::NoData;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/NoData.html");
    } else {
        outcome.page = ReportPage::Report;
        outcome.path = programFolder + QStringLiteral("/Data/HTML/Report.html");
        advance(progress, progressStep, writer.rows());
        writer.write(outcome.path);
        auto totals = std::make_shared<ReportTotals>();
        totals->firstDay = *criteria.startDate;
        totals->lastDay = *criteria.endDate;
        writer.fillTotals(*totals);
        outcome.totals = std::move(totals);
    }
    return outcome;
}
