// The audit log's rules: who did what from where, each row chained to the one before by a hash,
// and the check that recomputes the chain.
#pragma once

#include "store/ManagerDatabase.h"

#include <QDate>
#include <QList>
#include <QString>

namespace AuditLog {

// Where the actions of this process come from: the console's window or a command.
enum class Origin { Console, Command };
// Process-wide; the console's start-up and the command line set it once.
void setOrigin(Origin origin);

// Appends one row for the action with the time, this process's account, host and origin.
// Throws VcError when the row cannot be written: an action that must be accounted for is then
// reported as failed by its caller.
ManagerDatabase::AuditRow record(ManagerDatabase& database, const QString& action, const QString& details);

// SHA-256, lower-case hex, over the previous row's hash and every field of the row (its own
// hash excepted), each field length-prefixed so that no two rows hash the same bytes.
QByteArray chainHash(const QByteArray& previousHash, const ManagerDatabase::AuditRow& row);

struct Verification {
    qint64 rows = 0;
    // The sequence number of the first row whose hash or place in the chain does not match;
    // 0 when the whole chain holds.
    qint64 firstBad = 0;
    QString reason;
};
Verification verify(const ManagerDatabase& database);

// The rows whose day (UTC) lies from the first to the last day, both included, in order.
QList<ManagerDatabase::AuditRow> rowsBetween(const ManagerDatabase& database, QDate from, QDate to);

// The CSV file's header and one line per row (RFC 4180 quoting).
QString csv(const QList<ManagerDatabase::AuditRow>& rows);
// One line a row, tab-separated, for the terminal.
QString text(const QList<ManagerDatabase::AuditRow>& rows);

} // namespace AuditLog
