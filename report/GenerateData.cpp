// Set-based extraction: one pass over the rows of the days, titles mapped once, sums per day.
#include "report/GenerateData.h"

#include "base/VcError.h"
#include "groupings/ApplicationNames.h"
#include "report/Pseudonyms.h"
#include "report/ReportProgress.h"
#include "report/ReportSums.h"
#include "report/ReportText.h"
#include "store/Dates.h"
#include "store/UsageScan.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <QHash>
#include <QSet>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kUnknown = -2; // not looked up yet
constexpr int kMissing = -1; // no row with that key: the join drops the usage row
constexpr qint64 kProgressEvery = 1 << 16;

// Names of one table by key; equal texts share one index, since rows merge by text.
struct NameTable {
    std::vector<int> indexOfKey; // key -> index, or kMissing
    QList<QByteArray> utf8;      // index -> name
    std::vector<char> checked;   // index -> the name is a checked item

    // Returns the visitor that takes the table's rows.
    auto loader(const QStringList& checkedNames) {
        return [this, wanted = QSet<QString>(checkedNames.begin(), checkedNames.end()),
                byName = QHash<QString, int>()](qint64 key, const QString& name) mutable {
            if (key < 0 || key > (1 << 26))
                return; // never a counter this table hands out; no usage row can use it
            auto it = byName.constFind(name);
            if (it == byName.constEnd()) {
                it = byName.insert(name, static_cast<int>(utf8.size()));
                utf8.append(name.toUtf8());
                checked.push_back(wanted.contains(name) ? 1 : 0);
            }
            if (static_cast<size_t>(key) >= indexOfKey.size())
                indexOfKey.resize(static_cast<size_t>(key) + 1, kMissing);
            indexOfKey[static_cast<size_t>(key)] = it.value();
        };
    }
    int indexOf(qint64 key) const {
        return key >= 0 && static_cast<size_t>(key) < indexOfKey.size() ? indexOfKey[static_cast<size_t>(key)]
                                                                        : kMissing;
    }
};

// Replaces every name of the table by its pseudonym. Two names whose short pseudonyms agree
// would become one person in the report: those get longer ones.
void pseudonymise(NameTable& table, const std::function<QString(const QString&, int)>& pseudonym) {
    QHash<QString, QSet<QString>> namesOf; // short pseudonym -> the case-folded names behind it
    QList<QString> names;
    for (const QByteArray& utf8 : table.utf8) {
        names.append(QString::fromUtf8(utf8));
        namesOf[pseudonym(names.constLast(), 6)].insert(names.constLast().toCaseFolded());
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString shortName = pseudonym(names.at(i), 6);
        table.utf8[i] =
            (namesOf.value(shortName).size() > 1 ? pseudonym(names.at(i), 16) : shortName).toUtf8();
    }
}

// Titles are mapped lazily: only those the range uses, each once.
class TitleMap {
public:
    TitleMap(UsageScan& scan, ApplicationNames& names, const QStringList& applications,
             const QStringList& checked)
        : m_scan(scan), m_names(names), m_checked(checked.begin(), checked.end()) {
        // Every name the rule can give, so the sums can be laid out before the first row.
        for (const QString& name : applications)
            indexOf(name);
    }

    int applicationOf(qint64 key) {
        if (key < 0 || key > (1 << 26))
            return kMissing;
        if (static_cast<size_t>(key) >= m_appOfKey.size())
            m_appOfKey.resize(static_cast<size_t>(key) + 1, kUnknown);
        int& app = m_appOfKey[static_cast<size_t>(key)];
        if (app == kUnknown)
            app = lookUp(key);
        return app;
    }
    const QByteArray& utf8(int app) const { return m_utf8.at(app); }
    bool checked(int app) const { return m_appChecked[static_cast<size_t>(app)] != 0; }
    int count() const { return static_cast<int>(m_utf8.size()); }

private:
    int lookUp(qint64 key) {
        const std::optional<QString> title = m_scan.title(key);
        return title ? indexOf(m_names.GetApplicationName(*title)) : kMissing;
    }
    int indexOf(const QString& name) {
        auto it = m_indexOfName.constFind(name);
        if (it == m_indexOfName.constEnd()) {
            it = m_indexOfName.insert(name, static_cast<int>(m_utf8.size()));
            m_utf8.append(name.toUtf8());
            m_appChecked.push_back(m_checked.contains(name) ? 1 : 0);
        }
        return it.value();
    }

    UsageScan& m_scan;
    ApplicationNames& m_names;
    QSet<QString> m_checked;
    std::vector<int> m_appOfKey;
    QHash<QString, int> m_indexOfName;
    QList<QByteArray> m_utf8;
    std::vector<char> m_appChecked;
};

// Sums of one day per (application, user, workstation). A day holds few (user, workstation)
// pairs, so each pair gets a slot and its application sums stay small and close together.
class DaySums {
public:
    DaySums(int applications, int users, int workstations)
        : m_applications(std::max(applications, 1)), m_workstations(std::max(workstations, 1)) {
        const qint64 pairs = static_cast<qint64>(std::max(users, 1)) * m_workstations;
        if (pairs <= kDensePairs)
            m_slotOfPair.assign(static_cast<size_t>(pairs), -1);
    }

    void add(int app, int user, int workstation, double seconds) {
        const qint64 pair = static_cast<qint64>(user) * m_workstations + workstation;
        int* slot = nullptr;
        if (!m_slotOfPair.empty()) {
            slot = &m_slotOfPair[static_cast<size_t>(pair)];
        } else {
            slot = &m_sparseSlots.try_emplace(pair, -1).first->second;
        }
        if (*slot < 0) {
            *slot = static_cast<int>(m_pairs.size());
            m_pairs.push_back(pair);
            m_sums.resize(m_sums.size() + static_cast<size_t>(m_applications), 0.0);
            m_used.resize(m_sums.size(), 0);
        }
        const size_t cell =
            static_cast<size_t>(*slot) * static_cast<size_t>(m_applications) + static_cast<size_t>(app);
        m_sums[cell] += seconds;
        m_used[cell] = 1;
    }

    // Visits every used cell ordered by application, user and workstation, then empties the day.
    template <typename Visit> void drain(Visit visit) {
        std::vector<int> order(m_pairs.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            return m_pairs[static_cast<size_t>(a)] < m_pairs[static_cast<size_t>(b)];
        });
        for (int app = 0; app < m_applications; ++app) {
            for (const int slot : order) {
                const size_t cell = static_cast<size_t>(slot) * static_cast<size_t>(m_applications) +
                                    static_cast<size_t>(app);
                if (!m_used[cell])
                    continue;
                const double sum = m_sums[cell];
                const qint64 pair = m_pairs[static_cast<size_t>(slot)];
                visit(app, static_cast<int>(pair / m_workstations), static_cast<int>(pair % m_workstations),
                      sum);
            }
        }
        for (const qint64 pair : m_pairs) {
            if (!m_slotOfPair.empty())
                m_slotOfPair[static_cast<size_t>(pair)] = -1;
        }
        m_sparseSlots.clear();
        m_pairs.clear();
        m_sums.clear();
        m_used.clear();
    }

private:
    static constexpr qint64 kDensePairs = qint64(1) << 22;
    int m_applications;
    qint64 m_workstations;
    std::vector<int> m_slotOfPair; // user x workstation -> slot of the day, or -1
    std::unordered_map<qint64, int> m_sparseSlots;
    std::vector<qint64> m_pairs; // slot -> user x workstation
    // slot x application -> seconds, and whether any row reached that cell (a stored duration
    // may be negative, so no sum value can mark an unused cell).
    std::vector<double> m_sums;
    std::vector<char> m_used;
};

// Durations are seconds; a negative one (never written by the download) counts as stored.
class Extraction {
public:
    Extraction(const ManagerDatabase& database, const ReportCriteria& criteria, ReportProgress& progress,
               ReportSums& sums)
        : m_database(database), m_criteria(criteria), m_progress(progress), m_sums(sums) {}

    ExtractionCounts run(int& progressStep) {
        m_sums.setRange(m_criteria.startDate.value_or(QDate()), m_criteria.endDate.value_or(QDate()));
        if (!m_criteria.startDate || !m_criteria.endDate)
            return {};
        const std::unique_ptr<UsageScan> scan =
            m_database.openUsageScan(*m_criteria.startDate, *m_criteria.endDate);
        return extract(*scan, progressStep);
    }

private:
    ExtractionCounts extract(UsageScan& scan, int& progressStep) {
        // Counting the range first would cost a sixth of a two-year report: the pass counts the
        // rows itself, and the bar meanwhile moves by days.
        const qint64 span = std::max<qint64>(m_criteria.startDate->daysTo(*m_criteria.endDate) + 1, 1);
        m_progress.setMaximum(4.0 * static_cast<double>(span));
        const double start = m_progress.value();
        double dayValue = start; // the value while the bar moves by days

        // The rule and the names come from the scan's snapshot, as the rows do.
        ApplicationNames names(scan.groupings(), scan.groupingTitles());
        NameTable users;
        scan.users(users.loader(m_criteria.users));
        NameTable workstations;
        scan.workstations(workstations.loader(m_criteria.workstations));
        if (const Pseudonyms* pseudonyms = m_criteria.pseudonyms.get()) {
            pseudonymise(users, [pseudonyms](const QString& name, int digits) {
                return pseudonyms->user(name, digits);
            });
            if (pseudonyms->coversWorkstations())
                pseudonymise(workstations, [pseudonyms](const QString& name, int digits) {
                    return pseudonyms->workstation(name, digits);
                });
        }
        TitleMap titles(scan, names, names.applications(), m_criteria.applications);
        DaySums sums(titles.count(), static_cast<int>(users.utf8.size()),
                     static_cast<int>(workstations.utf8.size()));

        ExtractionCounts counts;
        QDate date;         // calendar day of the rows being summed; invalid when unreadable
        QByteArray dayText; // the first ten characters of the stored value being summed
        auto flush = [&]() {
            if (!date.isValid())
                return;
            sums.drain([&](int app, int user, int workstation, double seconds) {
                ++counts.merged;
                if (!titles.checked(app) || !users.checked[static_cast<size_t>(user)] ||
                    !workstations.checked[static_cast<size_t>(workstation)])
                    return;
                ++counts.kept;
                m_sums.add(date, titles.utf8(app), users.utf8.at(user), workstations.utf8.at(workstation),
                           seconds / 60.0, app, user, workstation);
            });
        };
        qint64 visited = 0;
        UsageScan::Row row;
        while (scan.next(row)) {
            if (++visited % kProgressEvery == 0)
                m_progress.setValue(dayValue);
            const QByteArray& stored = row.date;
            const qsizetype length = std::min<qsizetype>(stored.size(), 10);
            if (stored.isNull() || length != dayText.size() ||
                std::memcmp(stored.constData(), dayText.constData(), size_t(length)) != 0) {
                flush();
                dayText = QByteArray(stored.constData(), length);
                // A stored value with a time of day belongs to its calendar day.
                date = Dates::fromStored(QString::fromLatin1(dayText));
                if (date.isValid()) {
                    dayValue = start + static_cast<double>(
                                           std::clamp<qint64>(m_criteria.startDate->daysTo(date), 0, span));
                    m_progress.setValue(dayValue);
                }
            }
            if (!date.isValid())
                continue;
            const int user = users.indexOf(row.userKey);
            const int workstation = workstations.indexOf(row.workstationKey);
            if (user < 0 || workstation < 0)
                continue;
            const int app = titles.applicationOf(row.titleKey);
            if (app < 0)
                continue;
            ++counts.extracted;
            sums.add(app, user, workstation, row.seconds);
        }
        flush();
        refuseSmallGroup();

        m_progress.setMaximum(4.0 * static_cast<double>(visited));
        // The increments the row-by-row passes would have made: one per extracted row while
        // mapping, then progressStep per merged row (filter) and per kept row (conversion).
        if (counts.merged > 0)
            progressStep = static_cast<int>(ReportText::roundHalfEven(static_cast<double>(counts.extracted) /
                                                                      static_cast<double>(counts.merged)));
        double value = start + static_cast<double>(counts.extracted);
        m_progress.setValue(value);
        value += static_cast<double>(counts.merged) * progressStep;
        m_progress.setValue(std::min(value, m_progress.maximum()));
        value += static_cast<double>(counts.kept) * progressStep;
        m_progress.setValue(std::min(value, m_progress.maximum()));
        return counts;
    }

    // A pseudonymised report of a handful of people would single them out.
    void refuseSmallGroup() const {
        if (!m_criteria.pseudonyms)
            return;
        const qsizetype shown = m_sums.userList().size();
        if (shown >= m_criteria.minimumGroup)
            return;
        throw VcError(
            kGroupTooSmallError,
            QStringLiteral("This pseudonymised report would show %1 users; at least %2 are needed "
                           "([Privacy] MinimumGroup), so that no one is singled out. Choose more users "
                           "or more days. No report was made.")
                .arg(shown)
                .arg(m_criteria.minimumGroup));
    }

    const ManagerDatabase& m_database;
    const ReportCriteria& m_criteria;
    ReportProgress& m_progress;
    ReportSums& m_sums;
};

} // namespace

ExtractionCounts GenerateData(const ManagerDatabase& database, const ReportCriteria& criteria,
                              ReportProgress& progress, int& progressStep, ReportSums& sums) {
    Extraction extraction(database, criteria, progress, sums);
    return extraction.run(progressStep);
}
