// Light queries over QtSql (connections come from SqlConnection): statements that throw VcError.
// Transactions are SqlTransaction on the connection's handle, the same for QtSql and raw statements.
#pragma once

#include <initializer_list>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

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

} // namespace Sql
