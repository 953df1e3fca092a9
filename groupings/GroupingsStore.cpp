// Groupings persistence over the manager database, one unit of the store per multi-row change.
#include "groupings/GroupingsStore.h"

#include "store/AuditLog.h"
#include "store/ManagerDatabase.h"

#include <optional>
#include <QHash>

GroupingsStore::GroupingsStore(ManagerDatabase& database) : m_database(database) {}

QStringList GroupingsStore::aliases() const {
    // One pass into rank buckets gives the same list as scanning the table once per rank.
    const QList<ManagerDatabase::Grouping> rows = m_database.groupings();
    const qsizetype n = rows.size();
    QList<QStringList> byRank(n);
    for (const ManagerDatabase::Grouping& row : rows) {
        if (row.rankNumber && *row.rankNumber >= 0 && *row.rankNumber < n)
            byRank[*row.rankNumber].append(row.alias);
    }
    QStringList result;
    for (const QStringList& bucket : byRank)
        result += bucket;
    return result;
}

QStringList GroupingsStore::titlesOf(const QString& alias) const {
    return m_database.titlesOf(alias);
}

// Every change goes to the audit log in the same unit: one that cannot be accounted for is not made.
void GroupingsStore::addAlias(const QString& alias, int rank) {
    const auto transaction = m_database.transaction();
    m_database.addGrouping(alias, rank);
    AuditLog::record(m_database, QStringLiteral("groupings"), QStringLiteral("add application=") + alias);
    transaction->commit();
}

void GroupingsStore::saveOrder(const QStringList& aliases) {
    const auto transaction = m_database.transaction();
    m_database.replaceGroupings(aliases);
    AuditLog::record(m_database, QStringLiteral("groupings"),
                     QStringLiteral("order=") + aliases.join(QStringLiteral(", ")));
    transaction->commit();
}

void GroupingsStore::deleteAlias(const QString& alias, const QStringList& remaining) {
    const auto transaction = m_database.transaction();
    m_database.removeGroupingTitles(alias);
    m_database.replaceGroupings(remaining);
    AuditLog::record(m_database, QStringLiteral("groupings"), QStringLiteral("remove application=") + alias);
    transaction->commit();
}

void GroupingsStore::addTitle(const QString& alias, const QString& title) {
    addTitles(alias, {title});
}

void GroupingsStore::addTitles(const QString& alias, const QStringList& titles) {
    const auto transaction = m_database.transaction();
    for (const QString& title : titles)
        m_database.addGroupingTitle(alias, title);
    AuditLog::record(m_database, QStringLiteral("groupings"),
                     QStringLiteral("application=%1; add titles=%2").arg(alias).arg(titles.size()));
    transaction->commit();
}

bool GroupingsStore::deleteTitle(const QString& alias, const QString& title) {
    // The engine's own case folding covers ASCII only; the comparison is made here instead so
    // that every letter matches without regard to case.
    std::optional<qint64> exact;
    std::optional<qint64> folded;
    for (const ManagerDatabase::GroupingTitle& row : m_database.groupingTitles()) {
        if (row.aliasKey == alias && row.windowTitle == title) {
            exact = row.rowId;
            break;
        }
        // The fallback stays within the selected alias: a row of an alias spelled alike belongs
        // to another grouping (the list shows exactly this alias's rows).
        if (!folded && row.aliasKey == alias && row.windowTitle.compare(title, Qt::CaseInsensitive) == 0)
            folded = row.rowId;
    }
    const std::optional<qint64> row = exact ? exact : folded;
    if (!row)
        return false;
    const auto transaction = m_database.transaction();
    m_database.removeGroupingTitle(*row);
    AuditLog::record(m_database, QStringLiteral("groupings"),
                     QStringLiteral("application=%1; remove titles=1").arg(alias));
    transaction->commit();
    return true;
}

QStringList GroupingsStore::capturedTitles() const {
    QStringList titles;
    for (const ManagerDatabase::NamedRow& row : m_database.appTitles())
        titles.append(row.name);
    return titles;
}

QList<GroupingsStore::TitleTime> GroupingsStore::titleTimes(QDate from, QDate to) const {
    const QHash<qint64, qint64> secondsOfKey = m_database.secondsByTitle(from, to);
    // Equal texts are one title to the rule, as the report merges its rows by text.
    QList<TitleTime> titles;
    QHash<QString, qsizetype> indexOfTitle;
    for (const ManagerDatabase::NamedRow& row : m_database.appTitles()) {
        const auto seconds = secondsOfKey.constFind(row.id);
        if (seconds == secondsOfKey.constEnd())
            continue;
        auto it = indexOfTitle.constFind(row.name);
        if (it == indexOfTitle.constEnd()) {
            it = indexOfTitle.insert(row.name, titles.size());
            titles.append({row.name, 0});
        }
        titles[it.value()].seconds += seconds.value();
    }
    // A title with no time in the range is nothing a report would show.
    titles.removeIf([](const TitleTime& title) { return title.seconds <= 0; });
    return titles;
}
