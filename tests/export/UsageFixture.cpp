// Manager database fixture for the export tests.
#include "UsageFixture.h"

#include "store/Dates.h"
#include "store/SqlUtil.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace {
// Runs work on a short-lived connection to a database file.
template <typename Work> void withDatabase(const QString& path, Work work) {
    static int counter = 0;
    const QString name = QStringLiteral("export_fixture_") + QString::number(++counter);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open())
            work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
} // namespace

UsageFixture::UsageFixture(const QString& folder)
    : m_database(std::make_unique<ManagerDatabase>(folder + QStringLiteral("/VCManager.mdb"))) {}

int UsageFixture::idOf(QHash<QString, int>& ids, const QString& table, const QString& field,
                       const QString& name) {
    const auto it = ids.constFind(name);
    if (it != ids.constEnd())
        return it.value();
    QSqlQuery q = Sql::run(m_database->db(),
                           QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(table, field), {name});
    const int id = q.lastInsertId().toInt();
    ids.insert(name, id);
    return id;
}

void UsageFixture::addRawUsage(const QString& workstation, const QString& user, const QString& title,
                               const QString& date, qint64 seconds) {
    const int ws =
        idOf(m_workstations, QStringLiteral("MGRWorkstations"), QStringLiteral("Name"), workstation);
    const int us = idOf(m_users, QStringLiteral("MGRUsers"), QStringLiteral("UserName"), user);
    const int ti = idOf(m_titles, QStringLiteral("MGRAppTitles"), QStringLiteral("AppTitle"), title);
    Sql::run(
        m_database->db(),
        QStringLiteral("INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
                       "VALUES (?, ?, ?, ?, ?)"),
        {us, ti, ws, seconds, date});
}

void UsageFixture::addUsage(const QString& workstation, const QString& user, const QString& title, QDate day,
                            qint64 seconds) {
    addRawUsage(workstation, user, title, Dates::toStored(day), seconds);
}

void UsageFixture::addGrouping(const QString& alias, const QStringList& entries) {
    Sql::run(m_database->db(), QStringLiteral("INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)"),
             {alias, m_nextRank++});
    for (const QString& entry : entries)
        Sql::run(m_database->db(),
                 QStringLiteral("INSERT INTO MGRGroupingsData (AliasKey, WindowTitle) VALUES (?, ?)"),
                 {alias, entry});
}

QStringList UsageFixture::exportRows(const QString& path) {
    QStringList rows;
    withDatabase(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT Workstation, UserName, \"Application Title\", Duration, Date "
                                   "FROM \"All Existing Data\" ORDER BY rowid")))
            return;
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < 5; ++i)
                fields << q.value(i).toString();
            rows << fields.join(QLatin1Char('|'));
        }
    });
    return rows;
}

QStringList UsageFixture::exportFields(const QString& path) {
    QStringList fields;
    withDatabase(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA table_info(\"All Existing Data\")")))
            return;
        while (q.next())
            fields << q.value(1).toString() + QLatin1Char(' ') + q.value(2).toString();
    });
    return fields;
}

void UsageFixture::execute(const QString& path, const QString& sql) {
    withDatabase(path, [&](QSqlDatabase& db) { Sql::run(db, sql); });
}
