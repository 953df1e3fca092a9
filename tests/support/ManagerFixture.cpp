// The manager-database fixture.
#include "support/ManagerFixture.h"

#include "base/VcError.h"
#include "groupings/ApplicationNames.h"
#include "store/Dates.h"
#include "store/FileDatabase.h"
#include "store/SqlStatement.h"
#include "store/SqlUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QtTest>

namespace {
// Runs work on a short-lived connection to a database file.
template <typename Work> void withDatabase(const QString& path, Work work) {
    try {
        FileDatabase db(path, FileDatabase::Access::Create);
        work(db);
    } catch (const VcError& error) {
        qWarning().noquote() << error.description();
    }
}

QString refusal(const QString& event, const QString& table, const QString& when) {
    return QStringLiteral("CREATE TRIGGER \"refuse_%1_%2\" BEFORE %1 ON \"%2\" WHEN %3 BEGIN "
                          "SELECT RAISE(ABORT, 'refused by the test'); END")
        .arg(event, table, when);
}

QStringList rows(SqlStatement& q, const QString& nullText) {
    QStringList lines;
    while (q.step()) {
        QStringList fields;
        for (int i = 0; i < q.columnCount(); ++i)
            fields << (q.isNull(i) ? nullText : q.value(i).toString());
        lines << fields.join(QLatin1Char('|'));
    }
    return lines;
}

QStringList rows(QSqlQuery& q, const QString& nullText) {
    QStringList lines;
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i)
            fields << (q.value(i).isNull() ? nullText : q.value(i).toString());
        lines << fields.join(QLatin1Char('|'));
    }
    return lines;
}
} // namespace

ManagerFixture::ManagerFixture()
    : m_database(std::make_unique<ManagerDatabase>(m_dir.filePath(QStringLiteral("VCManager.mdb")))) {}

QString ManagerFixture::programFolder() {
    const QString folder = m_dir.filePath(QStringLiteral("program"));
    const QString html = folder + QStringLiteral("/Data/HTML");
    if (!QFileInfo::exists(folder) && QDir().mkpath(html)) {
        for (const char* page : {"NoData.html", "NoSelection.html", "Blank.html"})
            QFile::copy(QStringLiteral(VC_SOURCE_DIR "/Data/HTML/") + QLatin1String(page),
                        html + QLatin1Char('/') + QLatin1String(page));
    }
    return folder;
}

QSqlQuery ManagerFixture::exec(const QString& sql, const QVariantList& values) {
    QSqlQuery q(m_database->db());
    if (!q.prepare(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec())
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q;
}

qint64 ManagerFixture::scalar(const QString& sql, const QVariantList& values) {
    QSqlQuery q = exec(sql, values);
    return q.next() ? q.value(0).toLongLong() : 0;
}

int ManagerFixture::keyOf(QHash<QString, int>& keys, const QString& table, const QString& field,
                          const QString& name) {
    const auto it = keys.constFind(name);
    if (it != keys.constEnd())
        return it.value();
    // Workstations placed by hand are monitored, as a scan would leave them checked.
    const QString sql = table == QLatin1String("MGRWorkstations")
                            ? QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, 1)")
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(table, field);
    const int key = exec(sql, {name}).lastInsertId().toInt();
    keys.insert(name, key);
    return key;
}

void ManagerFixture::addRawUsage(const QString& workstation, const QString& user, const QString& title,
                                 const QString& date, qint64 seconds) {
    const int w =
        keyOf(m_workstations, QStringLiteral("MGRWorkstations"), QStringLiteral("Name"), workstation);
    const int u = keyOf(m_users, QStringLiteral("MGRUsers"), QStringLiteral("UserName"), user);
    const int t = keyOf(m_titles, QStringLiteral("MGRAppTitles"), QStringLiteral("AppTitle"), title);
    exec(
        QStringLiteral("INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
                       "VALUES (?, ?, ?, ?, ?)"),
        {u, t, w, seconds, date});
}

void ManagerFixture::addUsage(const QString& workstation, const QString& user, const QString& title,
                              QDate day, qint64 seconds) {
    addRawUsage(workstation, user, title, Dates::toStored(day), seconds);
}

void ManagerFixture::registerWorkstations(const QStringList& names) {
    for (const QString& name : names)
        keyOf(m_workstations, QStringLiteral("MGRWorkstations"), QStringLiteral("Name"), name);
}

QStringList ManagerFixture::usage() {
    QSqlQuery q =
        exec(QStringLiteral("SELECT w.Name, u.UserName, t.AppTitle, s.Date, s.Duration FROM MGRDaySummary s "
                            "LEFT JOIN MGRWorkstations w ON w.WorkstationID = s.WorkstationKey "
                            "LEFT JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
                            "LEFT JOIN MGRAppTitles t ON t.AppTitleID = s.AppTitleKey"));
    QStringList lines = rows(q, QStringLiteral("<null>"));
    lines.sort();
    return lines;
}

void ManagerFixture::addGrouping(const QString& alias, const QStringList& entries) {
    exec(QStringLiteral("INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)"), {alias, m_nextRank++});
    for (const QString& entry : entries)
        addTitleRow(alias, entry);
}

void ManagerFixture::setGroupings(const QStringList& rows) {
    exec(QStringLiteral("DELETE FROM MGRGroupings"));
    for (const QString& row : rows) {
        const qsizetype at = row.lastIndexOf(QLatin1Char('='));
        exec(QStringLiteral("INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)"),
             {row.left(at), row.mid(at + 1).toInt()});
    }
    m_nextRank = static_cast<int>(rows.size());
}

void ManagerFixture::addTitleRow(const QString& alias, const QString& title) {
    exec(QStringLiteral("INSERT INTO MGRGroupingsData (AliasKey, WindowTitle) VALUES (?, ?)"),
         {alias, title});
}

void ManagerFixture::addCaptured(const QStringList& titles) {
    for (const QString& title : titles)
        m_database->addAppTitle(title);
}

QStringList ManagerFixture::groupingRows() {
    QStringList lines;
    for (const ManagerDatabase::Grouping& g : m_database->groupings())
        lines.append(g.alias + QLatin1Char('=') + QString::number(g.rank));
    return lines;
}

QStringList ManagerFixture::titleRows() {
    QStringList lines;
    for (const ManagerDatabase::GroupingTitle& t : m_database->groupingTitles())
        lines.append(t.aliasKey + QLatin1Char('|') + t.windowTitle);
    return lines;
}

QStringList ManagerFixture::allApplications() {
    QStringList names{kUndefinedApplications};
    for (const auto& g : m_database->groupings())
        names.append(g.alias);
    return names;
}

QStringList ManagerFixture::allUsers() {
    QStringList names;
    for (const auto& u : m_database->users())
        names.append(u.name);
    return names;
}

QStringList ManagerFixture::allWorkstations() {
    QStringList names;
    for (const auto& w : m_database->workstations())
        names.append(w.name);
    return names;
}

void ManagerFixture::refuse(const QString& event, const QString& table, const QString& when) {
    exec(refusal(event, table, when));
}

void ManagerFixture::allow(const QString& event, const QString& table) {
    exec(QStringLiteral("DROP TRIGGER \"refuse_%1_%2\"").arg(event, table));
}

void ManagerFixture::refuseIn(const QString& path, const QString& event, const QString& table,
                              const QString& when) {
    execute(path, refusal(event, table, when));
}

void ManagerFixture::execute(const QString& path, const QString& sql) {
    withDatabase(path, [&](FileDatabase& db) { db.exec(sql); });
}

QStringList ManagerFixture::query(const QString& path, const QString& sql) {
    QStringList lines;
    withDatabase(path, [&](FileDatabase& db) {
        SqlStatement q(db, sql.toUtf8().constData());
        lines = rows(q, QString());
    });
    return lines;
}

QStringList ManagerFixture::exportRows(const QString& path) {
    return query(path, QStringLiteral("SELECT Workstation, UserName, \"Application Title\", Duration, Date "
                                      "FROM \"All Existing Data\" ORDER BY rowid"));
}

QStringList ManagerFixture::exportFields(const QString& path) {
    QStringList fields;
    for (const QString& row : query(path, QStringLiteral("PRAGMA table_info(\"All Existing Data\")")))
        fields << row.section(QLatin1Char('|'), 1, 1) + QLatin1Char(' ') +
                      row.section(QLatin1Char('|'), 2, 2);
    return fields;
}

QByteArray ManagerFixture::readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
