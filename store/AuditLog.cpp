// The audit log's chain, the process's identity on each row and the log's printable forms.
#include "store/AuditLog.h"

#include "base/VcError.h"

#include <atomic>
#include <pwd.h>
#include <QSysInfo>
#include <sodium.h>
#include <unistd.h>

namespace AuditLog {
namespace {

std::atomic<Origin> g_origin{Origin::Console};

QString account() {
    // The account the process runs as, not one an environment variable claims.
    if (const passwd* entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QStringLiteral("uid ") + QString::number(::geteuid());
}

void appendField(QByteArray& data, const QString& field) {
    const QByteArray utf8 = field.toUtf8();
    data += QByteArray::number(utf8.size()) + ':' + utf8 + '\n';
}

QString csvField(const QString& field) {
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A field on one terminal line: control characters would break the line or drive the terminal.
QString printable(const QString& field) {
    QString shown;
    shown.reserve(field.size());
    for (const QChar c : field)
        shown += (c.unicode() < 0x20 || c.unicode() == 0x7f) ? QChar(0xfffd) : c;
    return shown;
}

} // namespace

void setOrigin(Origin origin) {
    g_origin = origin;
}

ManagerDatabase::AuditRow record(ManagerDatabase& database, const QString& action, const QString& details) {
    ManagerDatabase::AuditRow row;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    row.time = now.addMSecs(-now.time().msec());
    row.account = account();
    row.host = QSysInfo::machineHostName();
    row.origin = g_origin == Origin::Console ? QStringLiteral("console") : QStringLiteral("command");
    row.action = action;
    row.details = details;
    try {
        return database.appendAuditRow(row, chainHash);
    } catch (const VcError& error) {
        throw VcError(error.number(), QStringLiteral("The audit log could not be written (") + action +
                                          QStringLiteral("): ") + error.description());
    }
}

QByteArray chainHash(const QByteArray& previousHash, const ManagerDatabase::AuditRow& row) {
    QByteArray data = previousHash + '\n';
    appendField(data, QString::number(row.sequence));
    appendField(data, row.time.toUTC().toString(Qt::ISODate));
    appendField(data, row.account);
    appendField(data, row.host);
    appendField(data, row.origin);
    appendField(data, row.action);
    appendField(data, row.details);
    if (sodium_init() < 0)
        throw VcError(ErrorNumber::InvalidArgument,
                      QStringLiteral("The cryptography library could not start"));
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(data.constData()),
                       static_cast<unsigned long long>(data.size()));
    return QByteArray(reinterpret_cast<const char*>(digest), sizeof digest).toHex();
}

Verification verify(const ManagerDatabase& database) {
    Verification result;
    QByteArray previous;
    for (const ManagerDatabase::AuditRow& row : database.auditRows()) {
        ++result.rows;
        if (result.firstBad != 0)
            continue;
        if (row.sequence != result.rows) {
            result.firstBad = row.sequence;
            result.reason = QStringLiteral("row %1 follows row %2: rows are missing")
                                .arg(row.sequence)
                                .arg(result.rows - 1);
        } else if (!row.time.isValid()) {
            result.firstBad = row.sequence;
            result.reason = QStringLiteral("row %1 has no readable time").arg(row.sequence);
        } else if (chainHash(previous, row) != row.hash) {
            result.firstBad = row.sequence;
            result.reason =
                QStringLiteral("row %1 does not match its hash: it or the row before it was changed")
                    .arg(row.sequence);
        }
        previous = row.hash;
    }
    return result;
}

QList<ManagerDatabase::AuditRow> rowsBetween(const ManagerDatabase& database, QDate from, QDate to) {
    QList<ManagerDatabase::AuditRow> rows;
    for (const ManagerDatabase::AuditRow& row : database.auditRows()) {
        const QDate day = row.time.toUTC().date();
        if (day >= from && day <= to)
            rows.append(row);
    }
    return rows;
}

// A row's fields as both listings show them, the time in UTC.
static QStringList shownFields(const ManagerDatabase::AuditRow& row) {
    return {QString::number(row.sequence),
            row.time.toUTC().toString(Qt::ISODate),
            row.account,
            row.host,
            row.origin,
            row.action,
            row.details};
}

QString csv(const QList<ManagerDatabase::AuditRow>& rows) {
    QString out = QStringLiteral("Sequence,Time (UTC),Account,Host,Origin,Action,Details,Hash\r\n");
    for (const ManagerDatabase::AuditRow& row : rows) {
        QStringList fields = shownFields(row);
        fields << QString::fromLatin1(row.hash);
        QStringList quoted;
        for (const QString& field : fields)
            quoted.append(csvField(field));
        out += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out;
}

QString text(const QList<ManagerDatabase::AuditRow>& rows) {
    QString out;
    for (const ManagerDatabase::AuditRow& row : rows) {
        QStringList shown;
        for (const QString& field : shownFields(row))
            shown.append(printable(field));
        out += shown.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

} // namespace AuditLog
