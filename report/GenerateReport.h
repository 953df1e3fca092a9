// One report from the criteria to the page the Reports page shows.
#pragma once

#include "report/GenerateData.h"
#include "report/ReportCriteria.h"
#include "report/ReportSums.h"

#include <memory>
#include <QString>

class ManagerDatabase;
class ReportProgress;

enum class ReportPage { Report, NoData, NoSelection };

struct ReportOutcome {
    ReportPage page = ReportPage::NoSelection;
    QString path; // the page to show
    ExtractionCounts counts;
    // The report's sums, detail included (the page offers the detail CSV); nothing for the
    // other pages.
    std::shared_ptr<const ReportSums> report;
};

// Extracts the rows into the report's sums (GenerateData), then chooses the page: NoSelection
// when a day is missing or a list has no checked item, NoData when no row is left, otherwise
// the report written to <programFolder>/Data/HTML/Report.html. Only the report page writes a
// file. Throws VcError on a database or file failure; Report.html is then left as it was.
ReportOutcome generateReport(const ManagerDatabase& database, const ReportCriteria& criteria,
                             const QString& programFolder, ReportProgress& progress, int& progressStep);
