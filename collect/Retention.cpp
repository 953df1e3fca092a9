// Retention: one unit for the deletion and its audit row, then the scrub outside it.
#include "collect/Retention.h"

#include "base/VcError.h"
#include "store/AuditLog.h"
#include "store/Dates.h"

QDate keptFrom(int keepDays, QDate today) {
    return keepDays > 0 ? today.addDays(1 - keepDays) : QDate();
}

std::optional<RetentionOutcome> applyRetention(ManagerDatabase& database, int keepDays, QDate today) {
    if (keepDays <= 0)
        return std::nullopt;
    RetentionOutcome outcome;
    outcome.keptFrom = keptFrom(keepDays, today);
    {
        const std::unique_ptr<ManagerDatabase::Transaction> unit = database.transaction();
        outcome.counts = database.purgeUsageBefore(outcome.keptFrom);
        AuditLog::record(database, QStringLiteral("purge"),
                         QStringLiteral("keep-days=%1; before=%2; usage-rows=%3; users=%4; titles=%5")
                             .arg(keepDays)
                             .arg(Dates::toStored(outcome.keptFrom))
                             .arg(outcome.counts.usageRows)
                             .arg(outcome.counts.users)
                             .arg(outcome.counts.titles));
        unit->commit();
    }
    if (outcome.counts.usageRows > 0) {
        try {
            outcome.scrubbed = !database.inTransaction() && database.scrubFreedSpace();
        } catch (const VcError&) {
            // The rows are gone and their pages zeroed; what is left is older copies in the log
            // or free pages, which a later purge overwrites.
            outcome.scrubbed = false;
        }
    }
    return outcome;
}

std::optional<RetentionOutcome> concludeDownload(ManagerDatabase& database, const DownloadSummary& summary,
                                                 int workstations, int keepDays, QDate today) {
    AuditLog::record(database, QStringLiteral("collect"),
                     QStringLiteral("workstations=%1; read=%2; not-read=%3; rows=%4")
                         .arg(workstations)
                         .arg(summary.merged)
                         .arg(summary.notRead.size())
                         .arg(summary.rowsImported));
    return applyRetention(database, keepDays, today);
}

QString retentionText(const RetentionOutcome& outcome) {
    QString text = QStringLiteral("Retention: %1 usage rows before %2 deleted (%3 user names, %4 titles)")
                       .arg(outcome.counts.usageRows)
                       .arg(Dates::toStored(outcome.keptFrom))
                       .arg(outcome.counts.users)
                       .arg(outcome.counts.titles);
    if (!outcome.scrubbed)
        text += QStringLiteral(
            "; the deleted content could not yet be overwritten everywhere in the file (another "
            "program was reading it, or there was no room to compact it): a later purge does it");
    return text;
}
