// Groupings persistence over the manager database, with bound values and one transaction per unit.
#include "groupings/GroupingsStore.h"

#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/SqlTransaction.h"
#include "store/SqlUtil.h"

#include <optional>
#include <QHash>
#include <QSqlQuery>
#include <QVariant>

GroupingsStore::GroupingsStore(ManagerDatabase& database) : m_database(database) {}

QStringList GroupingsStore::aliases() const {
    // One pass into rank buckets gives the same list as scanning the table once per rank.
    QSqlQuery q =
        Sql::run(m_database.db(), QStringLiteral("SELECT Alias, Rank FROM MGRGroupings ORDER BY rowid"));
    QList<std::pair<QString, QVariant>> rows;
    while (q.next())
        rows.append({q.value(0).toString(), q.value(1)});
    const qsizetype n = rows.size();
    QList<QStringList> byRank(n);
    for (const auto& [alias, rankValue] : rows) {
        if (rankValue.isNull())
            continue;
        bool ok = false;
        const qlonglong rank = rankValue.toLongLong(&ok);
        if (ok && rank >= 0 && rank < n)
            byRank[rank].append(alias);
    }
    QStringList result;
    for (const QStringList& bucket : byRank)
        result += bucket;
    return result;
}

QStringList GroupingsStore::titlesOf(const QString& alias) const {
    QSqlQuery q =
        Sql::run(m_database.db(),
                 QStringLiteral("SELECT WindowTitle FROM MGRGroupingsData WHERE AliasKey = ? ORDER BY rowid"),
                 {alias});
    QStringList titles;
    while (q.next())
        titles.append(q.value(0).toString());
    return titles;
}

void GroupingsStore::addAlias(const QString& alias, int rank) {
    Sql::run(m_database.db(), QStringLiteral("INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)"),
             {alias, rank});
}

void GroupingsStore::writeOrder(const QStringList& aliases) {
    const QSqlDatabase db = m_database.db();
    Sql::run(db, QStringLiteral("DELETE FROM MGRGroupings"));
    QSqlQuery insert =
        Sql::prepare(db, QStringLiteral("INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)"));
    for (qsizetype i = 0; i < aliases.size(); ++i)
        Sql::exec(insert, {aliases.at(i), static_cast<int>(i)});
}

void GroupingsStore::saveOrder(const QStringList& aliases) {
    SqlTransaction transaction(m_database.handle());
    writeOrder(aliases);
    transaction.commit();
}

void GroupingsStore::deleteAlias(const QString& alias, const QStringList& remaining) {
    SqlTransaction transaction(m_database.handle());
    Sql::run(m_database.db(), QStringLiteral("DELETE FROM MGRGroupingsData WHERE AliasKey = ?"), {alias});
    writeOrder(remaining);
    transaction.commit();
}

void GroupingsStore::addTitle(const QString& alias, const QString& title) {
    Sql::run(m_database.db(),
             QStringLiteral("INSERT INTO MGRGroupingsData (WindowTitle, AliasKey) VALUES (?, ?)"),
             {title, alias});
}

void GroupingsStore::addTitles(const QString& alias, const QStringList& titles) {
    const QSqlDatabase db = m_database.db();
    SqlTransaction transaction(m_database.handle());
    QSqlQuery insert = Sql::prepare(
        db, QStringLiteral("INSERT INTO MGRGroupingsData (WindowTitle, AliasKey) VALUES (?, ?)"));
    for (const QString& title : titles)
        Sql::exec(insert, {title, alias});
    transaction.commit();
}

bool GroupingsStore::deleteTitle(const QString& alias, const QString& title) {
    const QSqlDatabase db = m_database.db();
    // The engine's own case folding covers ASCII only; the comparison is made here instead so
    // that every letter matches without regard to case.
    std::optional<qint64> exact;
    std::optional<qint64> folded;
    QSqlQuery q = Sql::run(
        db, QStringLiteral("SELECT rowid, AliasKey, WindowTitle FROM MGRGroupingsData ORDER BY rowid"));
    while (q.next()) {
        const QString key = q.value(1).toString();
        const QString text = q.value(2).toString();
        if (key == alias && text == title) {
            exact = q.value(0).toLongLong();
            break;
        }
        // The fallback stays within the selected alias: a row of an alias spelled alike belongs
        // to another grouping (the list shows exactly this alias's rows).
        if (!folded && key == alias && text.compare(title, Qt::CaseInsensitive) == 0)
            folded = q.value(0).toLongLong();
    }
    q.finish();
    const std::optional<qint64> row = exact ? exact : folded;
    if (!row)
        return false;
    Sql::run(db, QStringLiteral("DELETE FROM MGRGroupingsData WHERE rowid = ?"), {*row});
    return true;
}

QStringList GroupingsStore::capturedTitles() const {
    QStringList titles;
    for (const ManagerDatabase::NamedRow& row : m_database.appTitles())
        titles.append(row.name);
    return titles;
}

QList<GroupingsStore::TitleTime> GroupingsStore::titleTimes(QDate from, QDate to) const {
    QHash<qint64, qint64> secondsOfKey;
    QSqlQuery q = Sql::run(m_database.db(),
                           QStringLiteral("SELECT s.AppTitleKey, SUM(s.Duration) FROM MGRDaySummary s "
                                          "JOIN MGRWorkstations w ON w.WorkstationID = s.WorkstationKey "
                                          "JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
                                          "WHERE s.Date >= ? AND s.Date < ? GROUP BY s.AppTitleKey"),
                           {Dates::toStored(from), Dates::toStored(to.addDays(1))});
    while (q.next())
        secondsOfKey.insert(q.value(0).toLongLong(), q.value(1).toLongLong());
    // Equal texts are one title to the rule, as the report merges its rows by text.
    QList<TitleTime> titles;
    QHash<QString, qsizetype> indexOfTitle;
    for (const ManagerDatabase::NamedRow& row : m_database.appTitles()) {
        auto it = indexOfTitle.constFind(row.name);
        if (it == indexOfTitle.constEnd()) {
            it = indexOfTitle.insert(row.name, titles.size());
            titles.append({row.name, 0});
        }
        titles[it.value()].seconds += secondsOfKey.value(row.id);
    }
    return titles;
}
