// Test fixture for the merge: real manager and agent databases in a temporary folder.
#include "AgentFixture.h"

#include "store/ManagerDatabase.h"
#include "store/WorkstationDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {
int g_connection = 0;

template <typename F> void withAgentDb(const QString& path, F&& body) {
    const QString name = QStringLiteral("fixture_agent_") + QString::number(g_connection++);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        db.transaction();
        body(db);
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void insert(QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery q(db);
    QVERIFY2(q.prepare(sql), qPrintable(q.lastError().text()));
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
}

void insertRows(QSqlDatabase& db, const QList<AgentRow>& rows) {
    for (const AgentRow& r : rows)
        insert(db,
               QStringLiteral(
                   "INSERT INTO PCDaySummary (Date, UserName, AppTitle, Duration) VALUES (?, ?, ?, ?)"),
               {r.date, r.userName, r.appTitle, r.duration});
}
} // namespace

void WriteAgentDatabase(const QString& path, const QStringList& users, const QStringList& titles,
                        const QList<AgentRow>& rows) {
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    CreateWorkstationDatabase(path);
    withAgentDb(path, [&](QSqlDatabase& db) {
        for (const QString& u : users)
            insert(db, QStringLiteral("INSERT INTO PCUsers (UserName) VALUES (?)"), {u});
        for (const QString& t : titles)
            insert(db, QStringLiteral("INSERT INTO PCAppTitles (AppTitle) VALUES (?)"), {t});
        insertRows(db, rows);
    });
}

void AppendAgentRows(const QString& path, const QList<AgentRow>& rows) {
    withAgentDb(path, [&](QSqlDatabase& db) { insertRows(db, rows); });
}

MergeFixture::MergeFixture() {
    m_db = std::make_unique<ManagerDatabase>(m_dir.path() + QStringLiteral("/VCManager.mdb"));
}

MergeFixture::~MergeFixture() = default;

QString MergeFixture::agentPath(const QString& workstation) const {
    return m_dir.path() + QLatin1Char('/') + workstation + QStringLiteral(".mdb");
}

void MergeFixture::registerWorkstations(const QStringList& names) {
    for (const QString& name : names)
        scalar(QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, 1)"), {name});
}

qint64 MergeFixture::scalar(const QString& sql, const QVariantList& values) {
    QSqlQuery q(m_db->db());
    if (!q.prepare(sql))
        qFatal("%s", qPrintable(q.lastError().text()));
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec())
        qFatal("%s", qPrintable(q.lastError().text()));
    return q.next() ? q.value(0).toLongLong() : 0;
}

QStringList MergeFixture::usage() {
    QStringList lines;
    QSqlQuery q(m_db->db());
    q.exec(QStringLiteral("SELECT w.Name, u.UserName, t.AppTitle, s.Date, s.Duration FROM MGRDaySummary s "
                          "LEFT JOIN MGRWorkstations w ON w.WorkstationID = s.WorkstationKey "
                          "LEFT JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
                          "LEFT JOIN MGRAppTitles t ON t.AppTitleID = s.AppTitleKey"));
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < 5; ++i)
            fields << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        lines << fields.join(QLatin1Char('|'));
    }
    lines.sort();
    return lines;
}
