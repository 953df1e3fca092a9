// The manager-database fixture.
#include "support/ManagerFixture.h"

#include "base/VcError.h"
#include "groupings/ApplicationNames.h"
#include "store/Dates.h"
#include "store/FileDatabase.h"
#include "store/sqlite/SqliteManagerDatabase.h"
#include "store/SqlStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Runs work on a statement of the file's; a failure ends the test run.
template <typename Work> void withRows(FileDatabase& db, const char* sql, Work work) {
    try {
        SqlStatement q(db, sql);
        work(q);
    } catch (const VcError& error) {
        qFatal("%s", error.what());
    }
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

// Binds a value by its type, as the tests write it.
void bind(SqlStatement& statement, int index, const QVariant& value) {
    if (value.isNull()) {
        statement.bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        statement.bindInt64(index, value.toLongLong());
        break;
    case QMetaType::Double:
        statement.bindDouble(index, value.toDouble());
        break;
    case QMetaType::QByteArray:
        statement.bindBlob(index, value.toByteArray());
        break;
    default:
        statement.bindText(index, value.toString());
    }
}
} // namespace

ManagerFixture::ManagerFixture()
    : m_database(std::make_unique<SqliteManagerDatabase>(m_dir.filePath(QStringLiteral("VCManager.mdb")))) {}

ManagerFixture::~ManagerFixture() = default;

ManagerDatabase& ManagerFixture::db() {
    return *m_database;
}

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

QList<QVariantList> ManagerFixture::exec(const QString& sql, const QVariantList& values) {
    QList<QVariantList> rows;
    try {
        SqlStatement q(m_database->file(), sql.toUtf8().constData());
        for (int i = 0; i < values.size(); ++i)
            bind(q, i + 1, values[i]);
        while (q.step()) {
            QVariantList row;
            for (int i = 0; i < q.columnCount(); ++i)
                row.append(q.value(i));
            rows.append(row);
        }
    } catch (const VcError& error) {
        qFatal("%s", error.what());
    }
    return rows;
}

qint64 ManagerFixture::scalar(const QString& sql, const QVariantList& values) {
    const QList<QVariantList> rows = exec(sql, values);
    return rows.isEmpty() || rows.first().isEmpty() ? 0 : rows.first().first().toLongLong();
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
    exec(sql, {name});
    const int key = int(m_database->file().lastInsertId());
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
    QStringList lines;
    withRows(m_database->file(),
             "SELECT w.Name, u.UserName, t.AppTitle, s.Date, s.Duration FROM MGRDaySummary s "
             "LEFT JOIN MGRWorkstations w ON w.WorkstationID = s.WorkstationKey "
             "LEFT JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
             "LEFT JOIN MGRAppTitles t ON t.AppTitleID = s.AppTitleKey",
             [&](SqlStatement& q) { lines = rows(q, QStringLiteral("<null>")); });
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
