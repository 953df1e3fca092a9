// Report test database.
#include "ReportFixture.h"

#include "report/ApplicationNames.h"
#include "store/SqlUtil.h"

#include <QDir>
#include <QFile>

ReportFixture::ReportFixture() {
    m_database = std::make_unique<ManagerDatabase>(m_dir.path() + QStringLiteral("/VCManager.mdb"));
    const QString html = programFolder() + QStringLiteral("/Data/HTML");
    QDir().mkpath(html);
    for (const char* page : {"NoData.html", "NoSelection.html", "Blank.html"})
        QFile::copy(QStringLiteral(VC_SOURCE_DIR "/Data/HTML/") + QLatin1String(page),
                    html + QLatin1Char('/') + QLatin1String(page));
}

void ReportFixture::addGrouping(const QString& alias, const QStringList& entries) {
    Sql::run(db().db(), QStringLiteral("INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)"),
             {alias, m_nextRank++});
    for (const QString& entry : entries)
        Sql::run(db().db(),
                 QStringLiteral("INSERT INTO MGRGroupingsData (AliasKey, WindowTitle) VALUES (?, ?)"),
                 {alias, entry});
}

int ReportFixture::keyOf(QHash<QString, int>& keys, const QString& insertSql, const QString& name) {
    auto it = keys.constFind(name);
    if (it != keys.constEnd())
        return it.value();
    QSqlQuery q = Sql::run(db().db(), insertSql, {name});
    const int key = q.lastInsertId().toInt();
    keys.insert(name, key);
    return key;
}

void ReportFixture::addUsage(const QString& workstation, const QString& user, const QString& title,
                             const QString& date, qint64 seconds) {
    const int w =
        keyOf(m_workstations, QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, 1)"),
              workstation);
    const int u = keyOf(m_users, QStringLiteral("INSERT INTO MGRUsers (UserName) VALUES (?)"), user);
    const int t = keyOf(m_titles, QStringLiteral("INSERT INTO MGRAppTitles (AppTitle) VALUES (?)"), title);
    Sql::run(
        db().db(),
        QStringLiteral("INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
                       "VALUES (?, ?, ?, ?, ?)"),
        {u, t, w, seconds, date});
}

QStringList ReportFixture::allApplications() {
    QStringList names{kUndefinedApplications};
    for (const auto& g : db().groupings())
        names.append(g.alias);
    return names;
}

QStringList ReportFixture::allUsers() {
    QStringList names;
    for (const auto& u : db().users())
        names.append(u.name);
    return names;
}

QStringList ReportFixture::allWorkstations() {
    QStringList names;
    for (const auto& w : db().workstations())
        names.append(w.name);
    return names;
}
