// Persistence of the application groupings: the alias list in priority order and each alias's titles.
#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class ManagerDatabase;

// Every call reads or writes the tables at once, so the editor, the picker and the report
// always see the same state. Failures throw VcError; a multi-row change either happens whole
// or leaves the tables as they were.
class GroupingsStore {
public:
    explicit GroupingsStore(ManagerDatabase& database);

    // Alias names in list order: for each rank 0 to n-1 (n = row count), the rows of that
    // rank in table order. Rows whose rank lies outside that range are not listed.
    QStringList aliases() const;

    // Titles of one alias (exact name, letter case counts), in table order.
    QStringList titlesOf(const QString& alias) const;

    // Appends one alias row with the given rank.
    void addAlias(const QString& alias, int rank);

    // Rewrites the alias table from the list: rank = list position.
    void saveOrder(const QStringList& aliases);

    // Removes every title of the alias and rewrites the alias table from the remaining list,
    // as one unit.
    void deleteAlias(const QString& alias, const QStringList& remaining);

    void addTitle(const QString& alias, const QString& title);

    // Appends one row per title, in the order given, as one unit.
    void addTitles(const QString& alias, const QStringList& titles);

    // Deletes one row of the pair. An exact match is taken first, so that titles differing only
    // in letter case never lose each other's rows; failing that, the first row (table order) of
    // exactly this alias whose title matches without regard to letter case. False when no row
    // matches.
    bool deleteTitle(const QString& alias, const QString& title);

    // Every captured window title (MGRAppTitles), in stored order.
    QStringList capturedTitles() const;

    struct TitleTime {
        QString title;
        qint64 seconds = 0;
    };
    // Every distinct captured title with time in the inclusive day range, with the seconds its
    // usage rows there hold, counting the rows a report counts: those whose user and workstation
    // are registered. Titles without time there are left out. Titles in stored order of their
    // first row.
    QList<TitleTime> titleTimes(QDate from, QDate to) const;

private:
    ManagerDatabase& m_database;
};
