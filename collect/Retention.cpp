// Retention: one unit for the deletion and its audit row, then the scrub outside it.
#include "collect/Retention.h"

#include "store/AuditLog.h"
#include "store/Dates.h"

std::optional<RetentionOutcome> applyRetention(ManagerDatabase& database, int keepDays, QDate today) {
    if (keepDays <= 0)
        return std::nullopt;
    RetentionOutcome outcome;
    outcome.keptFrom = today.addDays(1 - keepDays);
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
    if (outcome.counts.usageRows > 0)
        outcome.scrubbed = !database.inTransaction() && database.scrubFreedSpace();
    return outcome;
}

QString retentionText(const RetentionOutcome& outcome) {
    QString text = QStringLiteral("Retention: %1 usage rows before %2 deleted (%3 user names, %4 titles)")
                       .arg(outcome.counts.usageRows)
                       .arg(Dates::toStored(outcome.keptFrom))
                       .arg(outcome.counts.users)
                       .arg(outcome.counts.titles);
    if (!outcome.scrubbed)
        text += QStringLiteral("; another program was reading the database, so the deleted content is "
                               "overwritten in full at a later purge");
    return text;
}
