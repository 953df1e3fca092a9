// Bulk writing of merged rows: one prepared statement, rows in the date index's order.
#include "store/sqlite/SqliteMergeSession.h"

#include "base/VcError.h"
#include "store/FileDatabase.h"

#include <algorithm>

SqliteMergeSession::SqliteMergeSession(FileDatabase& file)
    : m_file(file), m_insertUser(file, "INSERT INTO MGRUsers (UserName) VALUES (?)"),
      m_insertTitle(file, "INSERT INTO MGRAppTitles (AppTitle) VALUES (?)"),
      m_insertDay(file,
                  "INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
                  "VALUES (?, ?, ?, ?, ?)") {
    {
        SqlStatement cacheSize(file, "PRAGMA cache_size");
        if (cacheSize.step())
            m_previousCacheSize = cacheSize.int64(0);
    }
    // New rows of a first download land all over a large store's date index; a cache that
    // holds much of it spares re-reading and re-spilling the same pages. Given back afterwards.
    file.exec("PRAGMA cache_size = -262144");
}

SqliteMergeSession::~SqliteMergeSession() {
    const QByteArray sql =
        "PRAGMA cache_size = " + QByteArray::number(m_previousCacheSize) + "; PRAGMA shrink_memory";
    try {
        m_file.exec(sql.constData());
    } catch (const VcError& error) {
        // Only memory is at stake: the store stays as the merge left it.
        qWarning("The merge's cache could not be given back: %s", error.what());
    }
}

int SqliteMergeSession::addName(SqlStatement& insert, const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    insert.bindStaticText(1, utf8);
    insert.run();
    return int(insert.lastInsertId());
}

int SqliteMergeSession::addUser(const QString& name) {
    return addName(m_insertUser, name);
}

int SqliteMergeSession::addAppTitle(const QString& title) {
    return addName(m_insertTitle, title);
}

qint64 SqliteMergeSession::addUsage(int workstationKey, Rows rows) {
    // Sorted by day and title so that the writes walk the date index in order instead of
    // jumping around it.
    const std::vector<QByteArray>& days = rows.days;
    std::vector<int> dayOrder(days.size());
    for (size_t i = 0; i < days.size(); ++i)
        dayOrder[i] = int(i);
    std::sort(dayOrder.begin(), dayOrder.end(),
              [&](int a, int b) { return days[size_t(a)] < days[size_t(b)]; });
    std::vector<int> dayRank(days.size());
    for (size_t i = 0; i < dayOrder.size(); ++i)
        dayRank[size_t(dayOrder[i])] = int(i);
    std::sort(rows.rows.begin(), rows.rows.end(), [&](const Rows::Row& a, const Rows::Row& b) {
        const int ra = dayRank[size_t(a.day)];
        const int rb = dayRank[size_t(b.day)];
        if (ra != rb)
            return ra < rb;
        if (a.titleKey != b.titleKey)
            return a.titleKey < b.titleKey;
        return a.userKey < b.userKey;
    });

    qint64 written = 0;
    for (const Rows::Row& row : rows.rows) {
        m_insertDay.bindInt64(1, row.userKey);
        m_insertDay.bindInt64(2, row.titleKey);
        m_insertDay.bindInt64(3, workstationKey);
        if (row.integral)
            m_insertDay.bindInt64(4, row.seconds);
        else
            m_insertDay.bindDouble(4, row.fractional);
        m_insertDay.bindStaticText(5, days[size_t(row.day)]);
        m_insertDay.run();
        ++written;
    }
    return written;
}
