// The usage scan on the embedded engine: a deferred transaction that only ever reads.
#include "store/UsageScan.h"

#include "base/VcError.h"
#include "store/Dates.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"

namespace {

class SqliteUsageScan : public UsageScan {
public:
    SqliteUsageScan(const ManagerDatabase& database, QDate from, QDate to)
        : m_database(database), m_from(Dates::toStored(from).toUtf8()),
          m_until(Dates::toStored(to.addDays(1)).toUtf8()),
          m_transaction(handleOf(database), SqlTransaction::Lock::Deferred,
                        QStringLiteral("Could not read the usage")),
          m_title(database.handle(), "SELECT AppTitle FROM MGRAppTitles WHERE AppTitleID = ?"),
          m_rows(database.handle(), "SELECT Date, AppTitleKey, UserNameKey, WorkstationKey, Duration "
                                    "FROM MGRDaySummary WHERE Date >= ? AND Date < ? ORDER BY Date") {
        // In WAL mode the snapshot is the one the first read of the transaction sees; every
        // read below, the names and the groupings included, belongs to it.
        m_rows.bindStaticText(1, m_from);
        m_rows.bindStaticText(2, m_until);
    }

    void users(const std::function<void(qint64, const QString&)>& visit) override {
        names("SELECT UserNameID, UserName FROM MGRUsers", visit);
    }
    void workstations(const std::function<void(qint64, const QString&)>& visit) override {
        names("SELECT WorkstationID, Name FROM MGRWorkstations", visit);
    }
    std::optional<QString> title(qint64 key) override {
        m_title.bindInt64(1, key);
        std::optional<QString> text;
        if (m_title.step())
            text = m_title.text(0);
        m_title.reset();
        return text;
    }
    QList<ManagerDatabase::Grouping> groupings() override { return m_database.groupings(); }
    QList<ManagerDatabase::GroupingTitle> groupingTitles() override { return m_database.groupingTitles(); }

    bool next(Row& row) override {
        if (!m_rows.step())
            return false;
        row.date = m_rows.bytes(0);
        row.titleKey = m_rows.int64(1);
        row.userKey = m_rows.int64(2);
        row.workstationKey = m_rows.int64(3);
        row.seconds = m_rows.real(4);
        return true;
    }

private:
    static sqlite3* handleOf(const ManagerDatabase& database) {
        if (!database.handle())
            throw VcError(ErrorNumber::DatabaseFailure, QStringLiteral("The manager database is not open"));
        return database.handle();
    }
    void names(const char* sql, const std::function<void(qint64, const QString&)>& visit) {
        SqlStatement rows(m_database.handle(), sql);
        while (rows.step())
            visit(rows.int64(0), rows.text(1));
    }

    const ManagerDatabase& m_database;
    const QByteArray m_from; // bound to m_rows without a copy
    const QByteArray m_until;
    // Declared before the statements, so that they are finished before it ends.
    SqlTransaction m_transaction;
    SqlStatement m_title;
    SqlStatement m_rows;
};

} // namespace

std::unique_ptr<UsageScan> openUsageScan(const ManagerDatabase& database, QDate from, QDate to) {
    return std::make_unique<SqliteUsageScan>(database, from, to);
}
