// Extraction: the rows of one report, per day, application, user and workstation.
#pragma once

#include "report/ReportCriteria.h"

#include <QByteArray>
#include <QDate>
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

// Where the rows go instead of MGRDaySummaryTmp when only the report reads them.
class ReportRowSink {
public:
    virtual ~ReportRowSink() = default;
    // One row, in the order the table would have received it. Each key is a number for the text
    // beside it: within one extraction, equal keys of a kind come with equal texts.
    virtual void row(QDate day, int applicationKey, const QByteArray& application, int userKey,
                     const QByteArray& user, int workstationKey, const QByteArray& workstation,
                     double minutes) = 0;
};

// The same extraction with the rows handed to sink; MGRDaySummaryTmp is neither read nor
// written, and the database is only read. The progress ends as above; until the pass has
// counted the rows, its maximum is 4 x the days of the range and the value moves by days.
ExtractionCounts GenerateData(ManagerDatabase& database, const ReportCriteria& criteria,
                              ReportProgress& progress, int& progressStep, ReportRowSink& sink);
