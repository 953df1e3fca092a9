// The usage scan on the embedded engine: every read inside one read transaction.
#include "store/sqlite/SqliteUsageScan.h"

#include "store/Dates.h"
#include "store/sqlite/SqliteManagerDatabase.h"

SqliteUsageScan::SqliteUsageScan(const SqliteManagerDatabase& database, QDate from, QDate to)
    : m_database(database), m_from(Dates::toStored(from).toUtf8()), m_until(Dates::afterDay(to).toUtf8()),
      m_transaction(database.file(), SqlTransaction::Lock::Deferred,
                    QStringLiteral("Could not read the usage")),
      m_title(database.file(), "SELECT AppTitle FROM MGRAppTitles WHERE AppTitleID = ?"),
      m_rows(database.file(), "SELECT Date, AppTitleKey, UserNameKey, WorkstationKey, Duration "
                              "FROM MGRDaySummary WHERE Date >= ? AND Date < ? ORDER BY Date") {
    // In WAL mode the snapshot is the one the first read of the transaction sees; every read
    // below, the names and the groupings included, belongs to it.
    m_rows.bindStaticText(1, m_from);
    m_rows.bindStaticText(2, m_until);
}

void SqliteUsageScan::users(const std::function<void(qint64, const QString&)>& visit) {
    names("SELECT UserNameID, UserName FROM MGRUsers", visit);
}

void SqliteUsageScan::workstations(const std::function<void(qint64, const QString&)>& visit) {
    names("SELECT WorkstationID, Name FROM MGRWorkstations", visit);
}

std::optional<QString> SqliteUsageScan::title(qint64 key) {
    m_title.bindInt64(1, key);
    std::optional<QString> text;
    if (m_title.step())
        text = m_title.text(0);
    m_title.reset();
    return text;
}

QList<ManagerDatabase::Grouping> SqliteUsageScan::groupings() {
    return m_database.groupings();
}

QList<ManagerDatabase::GroupingTitle> SqliteUsageScan::groupingTitles() {
    return m_database.groupingTitles();
}

bool SqliteUsageScan::next(Row& row) {
    if (!m_rows.step())
        return false;
    row.date = m_rows.bytes(0);
    row.titleKey = m_rows.int64(1);
    row.userKey = m_rows.int64(2);
    row.workstationKey = m_rows.int64(3);
    row.seconds = m_rows.real(4);
    return true;
}

void SqliteUsageScan::names(const char* sql, const std::function<void(qint64, const QString&)>& visit) {
    SqlStatement rows(m_database.file(), sql);
    while (rows.step())
        visit(rows.int64(0), rows.text(1));
}
