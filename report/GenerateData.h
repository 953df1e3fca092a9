// Extraction: the rows of one report, per day, application, user and workstation.
#pragma once

#include "report/ReportCriteria.h"

#include <QtGlobal>

class ManagerDatabase;
class ReportProgress;
class ReportSums;

struct ExtractionCounts {
    qint64 extracted = 0; // usage rows of the day range
    qint64 merged = 0;    // rows after mapping titles to applications and merging
    qint64 kept = 0;      // rows left for checked applications, users and workstations
};

// Hands sums one row per day, application, user and workstation of the inclusive day range
// whose application, user and workstation texts are exactly checked items, with the summed
// time in minutes, and the criteria's day range. Each distinct title is mapped once
// (GetApplicationName). Everything is read in one read transaction of the store (a consistent
// snapshot that a writer neither blocks nor is blocked by); nothing is written anywhere.
// The progress maximum is 4 x the days of the range until the pass has counted the rows, then
// 4 x those rows; the value moves monotonically within it, by days during the pass.
// progressStep becomes extracted / merged rounded half to even, and keeps its value when
// nothing was merged. A database failure throws VcError.
// With pseudonyms in the criteria, the names are replaced before the sums see them (names that
// collide on six digits get more); fewer users in the sums than the minimum group throws
// VcError numbered kGroupTooSmallError, before any writer has run.
ExtractionCounts GenerateData(const ManagerDatabase& database, const ReportCriteria& criteria,
                              ReportProgress& progress, int& progressStep, ReportSums& sums);
