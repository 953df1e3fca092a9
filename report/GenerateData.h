// Extraction: the rows of one report, per day, application, user and workstation.
#pragma once

#include "report/ReportCriteria.h"

#include <QtGlobal>

class ManagerDatabase;
class ReportProgress;

struct ExtractionCounts {
    qint64 extracted = 0; // usage rows of the day range
    qint64 merged = 0;    // rows after mapping titles to applications and merging
    qint64 kept = 0;      // rows left for checked applications, users and workstations
};

// Empties MGRDaySummaryTmp and fills it, in one transaction, with one row per day,
// application, user and workstation of the inclusive day range whose application, user and
// workstation texts are exactly checked items; Duration is the summed time in minutes.
// Each distinct title is mapped once (GetApplicationName). The progress maximum becomes 4 x
// the rows of the range and the value moves monotonically within it; progressStep becomes
// extracted / merged rounded half to even, and keeps its value when nothing was merged.
// A database failure throws VcError and leaves the table as it was.
ExtractionCounts GenerateData(ManagerDatabase& database, const ReportCriteria& criteria,
                              ReportProgress& progress, int& progressStep);
