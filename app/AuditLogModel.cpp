// The audit log as a table, with the state of its chain.
#include "app/AuditLogModel.h"

#include "store/AuditLog.h"

AuditLogModel::AuditLogModel(QObject* parent) : QAbstractTableModel(parent) {}

void AuditLogModel::load(const ManagerDatabase& database, QDate from, QDate to) {
    QList<ManagerDatabase::AuditRow> rows = AuditLog::rowsBetween(database, from, to);
    const AuditLog::Verification check = AuditLog::verify(database);
    beginResetModel();
    m_rows = std::move(rows);
    m_chainText = check.firstBad == 0
                      ? QStringLiteral("The audit log verifies: %1 rows, every hash matches.").arg(check.rows)
                      : QStringLiteral("The audit log does not verify: ") + check.reason;
    endResetModel();
}

int AuditLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int AuditLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AuditLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const ManagerDatabase::AuditRow& row = m_rows.at(index.row());
    switch (index.column()) {
    case Sequence:
        return row.sequence;
    case Time:
        return row.time.toUTC().toString(Qt::ISODate);
    case Account:
        return row.account;
    case Host:
        return row.host;
    case Origin:
        return row.origin;
    case Action:
        return row.action;
    case Details:
        return row.details;
    default:
        return {};
    }
}

QVariant AuditLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QStringList headers = {QStringLiteral("#"),       QStringLiteral("Time (UTC)"),
                                        QStringLiteral("Account"), QStringLiteral("Host"),
                                        QStringLiteral("Origin"),  QStringLiteral("Action"),
                                        QStringLiteral("Details")};
    return headers.value(section);
}
