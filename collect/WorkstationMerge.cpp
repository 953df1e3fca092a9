// Merge of one workstation: keys from hash maps, day rows handed to the store in one piece.
#include "collect/WorkstationMerge.h"

#include "base/TextUtils.h"
#include "base/VcError.h"
#include "collect/RedactionStore.h"
#include "store/Dates.h"
#include "store/MergeSession.h"
#include "store/WorkstationDatabase.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

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

} // namespace

WorkstationMerge::WorkstationMerge(ManagerDatabase& db) : m_db(db) {
    const auto load = [](Names& names, const auto& rows) {
        for (const auto& row : rows) {
            if (row.name.isEmpty())
                continue;
            // The lowest key wins, as a scan in stored order would find it first.
            const QString folded = row.name.toCaseFolded();
            if (!names.contains(folded))
                names.insert(folded, row.id);
        }
    };
    load(m_workstations, m_db.workstations());
    load(m_users, m_db.users());
    load(m_titles, m_db.appTitles());
    m_redaction = RedactionStore(m_db).compiled();
    m_session = m_db.openMergeSession();
}

WorkstationMerge::~WorkstationMerge() = default;

QString WorkstationMerge::storedTitle(const QString& raw) const {
    // Matched as the workstation wrote it, as the agent matches; the original is never stored.
    const std::optional<QString> replacement = m_redaction.replacementOf(raw);
    return BlankDoubleQuotes(replacement ? *replacement : raw);
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

int WorkstationMerge::findOrAdd(Names& names, NameKind kind, const QString& name, int* added) {
    const QString folded = name.toCaseFolded();
    const auto found = names.constFind(folded);
    if (found != names.constEnd())
        return found.value();
    const int key = kind == NameKind::User ? m_session->addUser(name) : m_session->addAppTitle(name);
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

void WorkstationMerge::batchCommitted() {
    m_added.clear();
}

void WorkstationMerge::batchUndone() {
    forgetAddedSince(0);
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
    // Inside the caller's unit (a batch) this is part of it and can be undone alone.
    const std::unique_ptr<ManagerDatabase::Transaction> unit = m_db.transaction();
    try {
        // A table that cannot be read fails its own step only; the next step still runs.
        if (const auto users = source.userNames()) {
            for (const QString& name : *users) {
                if (name.isEmpty() || m_listedUsers.contains(name))
                    continue;
                findOrAdd(m_users, NameKind::User, name, &result.usersAdded);
                m_listedUsers.insert(name);
            }
        }
        if (stepDone)
            stepDone();

        if (const auto titles = source.appTitles()) {
            for (const QString& title : *titles) {
                if (title.isEmpty() || m_listedTitles.contains(title))
                    continue;
                findOrAdd(m_titles, NameKind::Title, storedTitle(title), &result.titlesAdded);
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
        unit->commit();
    } catch (...) {
        const QString reason = currentFailure();
        unit->rollback();
        // With no unit left open, everything uncommitted is gone: the caller's batch too when
        // the engine gave it up (disk full, I/O error).
        forgetAddedSince(m_db.inTransaction() ? mark : 0);
        recordAttempt(workstation, ManagerDatabase::DownloadStatus::Result::Failed, reason, attemptTime);
        throw;
    }
    if (!m_db.inTransaction())
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
    QHash<QString, int> dayIndex; // raw date text -> index into rows.days, -1 when not taken
    MergeSession::Rows rows;

    const auto keyOf = [](QHash<QString, int>& cache, const QString& raw, auto&& resolve) {
        auto it = cache.constFind(raw);
        if (it == cache.constEnd())
            it = cache.insert(raw, resolve(raw));
        return it.value();
    };
    const auto resolveUser = [this](const QString& raw) { return LookupKey(kUser, raw); };
    const auto resolveTitle = [this](const QString& raw) { return LookupKey(kTitle, storedTitle(raw)); };
    constexpr int kAfterToday = -2;
    const auto resolveDay = [&](const QString& raw) {
        const QDate day = Dates::fromStored(raw);
        if (!day.isValid() || (newest && day <= *newest) || (m_keptFrom.isValid() && day < m_keptFrom))
            return -1;
        if (day > m_today)
            return kAfterToday;
        rows.days.push_back(Dates::toStored(day).toUtf8());
        return int(rows.days.size() - 1);
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
            rows.rows.push_back(
                {day, titleKey, userKey, duration.integral, duration.seconds, duration.fractional});
        },
        newest);
    result.newestDay = newest;
    if (!read)
        return 0;

    // The newest day among the rows stored.
    std::vector<bool> used(rows.days.size(), false);
    for (const MergeSession::Rows::Row& row : rows.rows)
        used[size_t(row.day)] = true;
    const QByteArray* last = nullptr;
    for (size_t i = 0; i < used.size(); ++i)
        if (used[i] && (!last || rows.days[i] > *last))
            last = &rows.days[i];
    if (last) {
        const QDate day = Dates::fromStored(QString::fromLatin1(*last));
        if (!result.newestDay || day > *result.newestDay)
            result.newestDay = day;
    }
    return m_session->addUsage(workstationKey, std::move(rows));
}
