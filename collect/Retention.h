// The console's retention: usage older than [Privacy] KeepDays leaves the store, overwritten.
#pragma once

#include "collect/DownloadBatch.h"
#include "store/ManagerDatabase.h"

#include <optional>
#include <QDate>
#include <QString>

struct RetentionOutcome {
    QDate keptFrom; // the oldest day kept
    ManagerDatabase::PurgeCounts counts;
    // False when the deleted content could not be overwritten in every file now (another
    // reader, no room to compact); a later purge finishes it.
    bool scrubbed = true;
};

// The oldest day keepDays keeps (today included); invalid for 0, which keeps everything.
QDate keptFrom(int keepDays, QDate today = QDate::currentDate());

// Deletes the usage dated before today - keepDays + 1 (so keepDays days are kept, today
// included) and the names no row uses any more, and writes the audit row with the counts, in
// one unit; then overwrites the freed content in the store's files. Nothing when keepDays is 0
// (keep everything). Throws VcError when the store fails: nothing is then deleted.
std::optional<RetentionOutcome> applyRetention(ManagerDatabase& database, int keepDays,
                                               QDate today = QDate::currentDate());

// What every download run ends with, in the console and the collect command: its audit row
// (workstations read, not read, rows), then retention by keepDays.
std::optional<RetentionOutcome> concludeDownload(ManagerDatabase& database, const DownloadSummary& summary,
                                                 int workstations, int keepDays,
                                                 QDate today = QDate::currentDate());

// The operator's line about a purge.
QString retentionText(const RetentionOutcome& outcome);
