// The report printed to a PDF file, for the Export Report dialog and the command line.
#pragma once

#include "report/ReportHeading.h"

#include <QString>

class ReportSums;

// Prints the report's pages (ReportPrint) under a temporary name beside target and renames it
// over target when complete, so a failure part-way never touches the file being replaced.
// Returns the error text, or nothing when the file was written.
QString writeReportPdf(const ReportSums& report, const ReportHeading& heading, const QString& target);
