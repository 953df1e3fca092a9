// The report's audit row.
#include "report/ReportAudit.h"

#include "store/AuditLog.h"
#include "store/Dates.h"

#include <QFileInfo>

void recordReport(ManagerDatabase& database, const ReportCriteria& criteria, const QString& format,
                  bool pseudonymised, const QString& output) {
    const auto day = [](const std::optional<QDate>& date) {
        return date ? Dates::toStored(*date) : QString();
    };
    const QString details =
        QStringLiteral("format=") + format + QStringLiteral("; from=") + day(criteria.startDate) +
        QStringLiteral("; to=") + day(criteria.endDate) + QStringLiteral("; users=") +
        QString::number(criteria.users.size()) + QStringLiteral("; workstations=") +
        QString::number(criteria.workstations.size()) + QStringLiteral("; applications=") +
        QString::number(criteria.applications.size()) + QStringLiteral("; pseudonymised=") +
        (pseudonymised ? QStringLiteral("yes") : QStringLiteral("no")) + QStringLiteral("; output=") +
        QFileInfo(output).absoluteFilePath();
    AuditLog::record(database, QStringLiteral("report"), details);
}
