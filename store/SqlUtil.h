// Small helpers over QtSql: prepared statements that throw VcError, and a transaction guard.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <initializer_list>

class VcError;

namespace Sql {

// The error of a failed statement; NotADatabase when the engine says the file is not one.
VcError errorOf(const QSqlError& error, const QString& context);

// A forward-only query prepared on db; throws on failure.
QSqlQuery prepare(const QSqlDatabase& db, const QString& sql);

// Binds the values in order and executes; throws on failure.
void exec(QSqlQuery& query, std::initializer_list<QVariant> values = {});

// Prepares, binds and executes in one step; the query is positioned before its first row.
QSqlQuery run(const QSqlDatabase& db, const QString& sql, std::initializer_list<QVariant> values = {});

// One unit of work: rolled back on destruction unless committed. Throws when it cannot begin.
class Transaction {
public:
    explicit Transaction(QSqlDatabase db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    QSqlDatabase m_db;
    bool m_open = false;
};

} // namespace Sql
