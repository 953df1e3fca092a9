// Merge of one workstation: keys from hash maps, day rows through one prepared statement.
#include "collect/WorkstationMerge.h"

#include "base/TextUtils.h"
#include "base/VcError.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/SqlUtil.h"
#include "store/WorkstationDatabase.h"

#include <algorithm>
#include <cmath>
#include <QSqlQuery>
#include <vector>

namespace {

qint64 pragmaValue(sqlite3* db, const char* sql) {
    SqlStatement pragma(db, sql);
    return pragma.step() ? pragma.int64(0) : -2000; // the engine's default
}

// The description of the exception being handled, for the download record.
QString currentFailure() {
    try {
        throw;
    } catch (const VcError& error) {
        return error.description();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

// A Duration as the agent stored it; nothing when it is not a number or is negative, since
// such a value would corrupt every total that the reports add up.
struct Duration {
    bool valid = false;
    bool integral = true;
    qint64 seconds = 0;
    double fractional = 0;
};

// Seconds beyond a 32-bit count are no usage a day can hold; such values would also overflow
// every figure computed from them.
bool withinRange(const Duration& d) {
    constexpr double kLimit = 2147483647.0;
    return d.integral ? d.seconds <= static_cast<qint64>(kLimit) : d.fractional <= kLimit;
}

Duration readDuration(const QVariant& value) {
    Duration d;
    if (value.isNull())
        return d;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        d.seconds = value.toLongLong();
        d.valid = d.seconds >= 0;
        return d;
    case QMetaType::Double:
    case QMetaType::Float:
        d.fractional = value.toDouble();
        d.integral = false;
        d.valid = std::isfinite(d.fractional) && d.fractional >= 0;
        return d;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        bool ok = false;
        d.seconds = text.toLongLong(&ok);
        if (ok) {
            d.valid = d.seconds >= 0;
            return d;
        }
        d.fractional = text.toDouble(&ok);
        d.integral = false;
        d.valid = ok && std::isfinite(d.fractional) && d.fractional >= 0;
        return d;
    }
    default:
        return d;
    }
}

// One day row on its way in; sorted by day and title before writing so that the writes walk
// the manager's date index in order instead of jumping around it.
struct PendingRow {
    int day; // index into the workstation's day texts
    int title;
    int user;
    Duration duration;
};

} // namespace

WorkstationMerge::WorkstationMerge(ManagerDatabase& db)
    : m_db(db), m_insertUser(db.handle(), "INSERT INTO MGRUsers (UserName) VALUES (?)"),
      m_insertTitle(db.handle(), "INSERT INTO MGRAppTitles (AppTitle) VALUES (?)"),
      m_insertDay(db.handle(), "INSERT INTO MGRDaySummary "
                               "(UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
                               "VALUES (?, ?, ?, ?, ?)") {
    const auto load = [&](Names& names, const QString& sql) {
        QSqlQuery q = Sql::run(m_db.db(), sql);
        while (q.next()) {
            const QString name = q.value(1).toString();
            if (name.isEmpty())
                continue;
            // The lowest key wins, as a scan in stored order would find it first.
            const QString folded = name.toCaseFolded();
            if (!names.contains(folded))
                names.insert(folded, q.value(0).toInt());
        }
    };
    load(m_workstations,
         QStringLiteral("SELECT WorkstationID, Name FROM MGRWorkstations ORDER BY WorkstationID"));
    load(m_users, QStringLiteral("SELECT UserNameID, UserName FROM MGRUsers ORDER BY UserNameID"));
    load(m_titles, QStringLiteral("SELECT AppTitleID, AppTitle FROM MGRAppTitles ORDER BY AppTitleID"));

    // New rows of a first download land all over a large store's date index; a cache that
    // holds much of it spares re-reading and re-spilling the same pages. Given back afterwards.
    m_previousCacheSize = pragmaValue(m_db.handle(), "PRAGMA cache_size");
    SqlStatement::exec(m_db.handle(), "PRAGMA cache_size = -262144");
}

void WorkstationMerge::restoreCacheSize() {
    const QByteArray sql =
        "PRAGMA cache_size = " + QByteArray::number(m_previousCacheSize) + "; PRAGMA shrink_memory";
    try {
        SqlStatement::exec(m_db.handle(), sql.constData());
    } catch (const VcError& error) {
        // Only memory is at stake: the store stays as the merge left it.
        qWarning("The merge's cache could not be given back: %s", error.what());
    }
}

WorkstationMerge::~WorkstationMerge() {
    rollbackBatch();
    restoreCacheSize();
}

int WorkstationMerge::LookupKey(int kind, const QString& text) const {
    const Names* names = nullptr;
    switch (kind) {
    case kWorkstation:
        names = &m_workstations;
        break;
    case kUser:
        names = &m_users;
        break;
    case kTitle:
        names = &m_titles;
        break;
    default:
        return -1;
    }
    if (text.isEmpty())
        return -1;
    return names->value(text.toCaseFolded(), -1);
}

int WorkstationMerge::findOrAdd(Names& names, SqlStatement& insert, const QString& name, int* added) {
    const QString folded = name.toCaseFolded();
    const auto found = names.constFind(folded);
    if (found != names.constEnd())
        return found.value();
    const QByteArray utf8 = name.toUtf8();
    insert.bindStaticText(1, utf8);
    insert.run();
    const int key = int(insert.lastInsertId());
    names.insert(folded, key);
    m_added.append({&names, folded});
    ++*added;
    return key;
}

void WorkstationMerge::forgetAddedSince(qsizetype mark) {
    // A listed spelling may stand for a name that is now gone; the rest are learnt again.
    if (mark < m_added.size()) {
        m_listedUsers.clear();
        m_listedTitles.clear();
    }
    for (qsizetype i = m_added.size() - 1; i >= mark; --i)
        m_added[i].first->remove(m_added[i].second);
    m_added.resize(std::min(mark, m_added.size()));
}

void WorkstationMerge::beginBatch() {
    if (m_batch)
        return;
    m_batch.emplace(m_db.handle());
    m_rowsInBatch = 0;
    m_added.clear();
}

void WorkstationMerge::commitBatch() {
    if (!m_batch)
        return;
    try {
        m_batch->commit();
    } catch (...) {
        rollbackBatch();
        throw;
    }
    m_batch.reset();
    m_rowsInBatch = 0;
    m_added.clear();
}

void WorkstationMerge::rollbackBatch() {
    if (!m_batch)
        return;
    m_batch.reset();
    forgetAddedSince(0);
    m_rowsInBatch = 0;
}

void WorkstationMerge::recordAttempt(const QString& workstation,
                                     ManagerDatabase::DownloadStatus::Result result, const QString& reason,
                                     const QDateTime& attempted) {
    const int key = LookupKey(kWorkstation, workstation);
    if (key < 0)
        return;
    try {
        m_db.recordDownload(key, {attempted, result, 0, reason, m_db.newestDay(key)});
    } catch (const VcError& error) {
        qWarning("Download record of %s could not be stored: %s", qPrintable(workstation), error.what());
    }
}

WorkstationMerge::Result WorkstationMerge::UpdateWorkstationInfo(const QString& workstation,
                                                                 const WorkstationDatabase& source,
                                                                 const std::function<void()>& stepDone,
                                                                 const QDateTime& attempted) {
    Result result;
    const QDateTime attemptTime = attempted.isValid() ? attempted : QDateTime::currentDateTimeUtc();
    const qsizetype mark = m_added.size();
    const int workstationKey = LookupKey(kWorkstation, workstation);
    // Inside a batch this is a savepoint of it.
    SqlTransaction unit(m_db.handle());
    try {
        // A table that cannot be read fails its own step only; the next step still runs.
        if (const auto users = source.userNames()) {
            for (const QString& name : *users) {
                if (name.isEmpty() || m_listedUsers.contains(name))
                    continue;
                findOrAdd(m_users, m_insertUser, name, &result.usersAdded);
                m_listedUsers.insert(name);
            }
        }
        if (stepDone)
            stepDone();

        if (const auto titles = source.appTitles()) {
            for (const QString& title : *titles) {
                if (title.isEmpty() || m_listedTitles.contains(title))
                    continue;
                findOrAdd(m_titles, m_insertTitle, BlankDoubleQuotes(title), &result.titlesAdded);
                m_listedTitles.insert(title);
            }
        }
        if (stepDone)
            stepDone();

        if (workstationKey >= 0) {
            result.rowsImported = importDays(workstationKey, source, result);
            m_db.recordDownload(workstationKey, {attemptTime, ManagerDatabase::DownloadStatus::Result::Merged,
                                                 result.rowsImported, QString(), result.newestDay});
            m_db.recordAgentVersion(workstationKey, source.agentVersion());
        }
        unit.commit();
    } catch (...) {
        const QString reason = currentFailure();
        unit.rollback();
        if (m_batch && !SqlTransaction::active(m_db.handle())) {
            // The engine has given up the whole transaction (disk full, I/O error): everything
            // uncommitted is gone, the batch included.
            forgetAddedSince(0);
            m_batch.reset();
            m_rowsInBatch = 0;
        } else {
            forgetAddedSince(mark);
        }
        recordAttempt(workstation, ManagerDatabase::DownloadStatus::Result::Failed, reason, attemptTime);
        throw;
    }
    if (m_batch)
        m_rowsInBatch += result.rowsImported;
    else
        m_added.clear();
    return result;
}

qint64 WorkstationMerge::importDays(int workstationKey, const WorkstationDatabase& source, Result& result) {
    // Read once, before any row is added, so that every day after it is taken in full
    // whatever order the workstation returns its rows in.
    const std::optional<QDate> newest = m_db.newestDay(workstationKey);

    // The same few names and days repeat on thousands of rows: resolve each raw text once.
    QHash<QString, int> userKeys;
    QHash<QString, int> titleKeys;
    QHash<QString, int> dayIndex; // raw date text -> index into dayTexts, -1 when not taken
    std::vector<QByteArray> dayTexts;
    std::vector<PendingRow> rows;

    const auto keyOf = [](QHash<QString, int>& cache, const QString& raw, auto&& resolve) {
        auto it = cache.constFind(raw);
        if (it == cache.constEnd())
            it = cache.insert(raw, resolve(raw));
        return it.value();
    };
    const auto resolveUser = [this](const QString& raw) { return LookupKey(kUser, raw); };
    const auto resolveTitle = [this](const QString& raw) {
        return LookupKey(kTitle, BlankDoubleQuotes(raw));
    };
    constexpr int kAfterToday = -2;
    const auto resolveDay = [&](const QString& raw) {
        const QDate day = Dates::fromStored(raw);
        if (!day.isValid() || (newest && day <= *newest))
            return -1;
        if (day > m_today)
            return kAfterToday;
        dayTexts.push_back(Dates::toStored(day).toUtf8());
        return int(dayTexts.size() - 1);
    };

    const bool read = source.forEachDayRow(
        [&](const WorkstationDatabase::DayRow& row) {
            const int day = row.date.isNull() ? -1 : keyOf(dayIndex, row.date.toString(), resolveDay);
            if (day < 0) {
                ++result.rowsSkipped;
                if (day == kAfterToday)
                    ++result.rowsAfterToday;
                return;
            }
            const QString user = row.userName.toString();
            const QString title = row.appTitle.toString();
            const int userKey = user.isEmpty() ? -1 : keyOf(userKeys, user, resolveUser);
            const int titleKey = title.isEmpty() ? -1 : keyOf(titleKeys, title, resolveTitle);
            const Duration duration = readDuration(row.duration);
            if (userKey < 0 || titleKey < 0 || !duration.valid || !withinRange(duration)) {
                ++result.rowsSkipped;
                return;
            }
            rows.push_back({day, titleKey, userKey, duration});
        },
        newest);
    result.newestDay = newest;
    if (!read)
        return 0;

    std::vector<int> dayOrder(dayTexts.size());
    for (size_t i = 0; i < dayTexts.size(); ++i)
        dayOrder[i] = int(i);
    std::sort(dayOrder.begin(), dayOrder.end(),
              [&](int a, int b) { return dayTexts[size_t(a)] < dayTexts[size_t(b)]; });
    std::vector<int> dayRank(dayTexts.size());
    for (size_t i = 0; i < dayOrder.size(); ++i)
        dayRank[size_t(dayOrder[i])] = int(i);
    std::sort(rows.begin(), rows.end(), [&](const PendingRow& a, const PendingRow& b) {
        const int ra = dayRank[size_t(a.day)];
        const int rb = dayRank[size_t(b.day)];
        if (ra != rb)
            return ra < rb;
        if (a.title != b.title)
            return a.title < b.title;
        return a.user < b.user;
    });

    qint64 written = 0;
    for (const PendingRow& row : rows) {
        m_insertDay.bindInt64(1, row.user);
        m_insertDay.bindInt64(2, row.title);
        m_insertDay.bindInt64(3, workstationKey);
        if (row.duration.integral)
            m_insertDay.bindInt64(4, row.duration.seconds);
        else
            m_insertDay.bindDouble(4, row.duration.fractional);
        m_insertDay.bindStaticText(5, dayTexts[size_t(row.day)]);
        m_insertDay.run();
        ++written;
    }
    // Rows are written in day order: the last one holds the newest day.
    if (!rows.empty()) {
        const QDate last = Dates::fromStored(QString::fromLatin1(dayTexts[size_t(rows.back().day)]));
        if (!result.newestDay || last > *result.newestDay)
            result.newestDay = last;
    }
    return written;
}
