// The usage scan on the embedded engine: a deferred transaction that only ever reads.
#pragma once

#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"
#include "store/UsageScan.h"

class SqliteManagerDatabase;

class SqliteUsageScan : public UsageScan {
public:
    SqliteUsageScan(const SqliteManagerDatabase& database, QDate from, QDate to);

    void users(const std::function<void(qint64, const QString&)>& visit) override;
    void workstations(const std::function<void(qint64, const QString&)>& visit) override;
    std::optional<QString> title(qint64 key) override;
    QList<ManagerDatabase::Grouping> groupings() override;
    QList<ManagerDatabase::GroupingTitle> groupingTitles() override;
    bool next(Row& row) override;

private:
    void names(const char* sql, const std::function<void(qint64, const QString&)>& visit);

    const SqliteManagerDatabase& m_database;
    const QByteArray m_from; // bound to m_rows without a copy
    const QByteArray m_until;
    // Declared before the statements, so that they are finished before it ends.
    SqlTransaction m_transaction;
    SqlStatement m_title;
    SqlStatement m_rows;
};
