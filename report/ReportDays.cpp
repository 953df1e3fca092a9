// Report rows read back: one pass over the extracted rows, sums per day in memory.
#include "report/ReportDays.h"

#include "base/VcError.h"
#include "report/ReportProgress.h"
#include "report/ReportText.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kProgressEvery = 1 << 16;

// A list of names in the order they first appear, each once.
struct DistinctList {
    std::vector<char> seen;
    QStringList* names;
    void add(int group, const QString& spelling) {
        if (static_cast<size_t>(group) >= seen.size())
            seen.resize(static_cast<size_t>(group) + 1, 0);
        if (seen[static_cast<size_t>(group)])
            return;
        seen[static_cast<size_t>(group)] = 1;
        names->append(spelling);
    }
};

} // namespace

int ReportDays::Names::groupOf(const QByteArray& bytes) {
    // Rows come in runs of one name; the last one answers most lookups.
    if (m_lastGroup >= 0 && bytes == m_lastBytes)
        return m_lastGroup;
    m_lastBytes = QByteArray(bytes.constData(), bytes.size());
    m_lastGroup = find(bytes);
    return m_lastGroup;
}

int ReportDays::Names::find(const QByteArray& bytes) {
    const auto it = m_byBytes.constFind(bytes);
    if (it != m_byBytes.constEnd())
        return it.value();
    const QString text = QString::fromUtf8(bytes);
    const QString folded = text.toCaseFolded();
    auto group = m_byFolded.constFind(folded);
    if (group == m_byFolded.constEnd()) {
        group = m_byFolded.insert(folded, static_cast<int>(m_folded.size()));
        m_folded.append(folded);
        m_firstSpelling.append(text);
    }
    m_byBytes.insert(QByteArray(bytes.constData(), bytes.size()), group.value());
    m_spellingOfBytes.insert(QByteArray(bytes.constData(), bytes.size()), text);
    return group.value();
}

ReportDays ReportDays::read(ManagerDatabase& database, ReportProgress& progress, int progressStep,
                            bool detail) {
    ReportDays result;
    DistinctList userList{{}, &result.m_userList};
    DistinctList workstationList{{}, &result.m_workstationList};
    SqlStatement rows(database.handle(),
                      "SELECT Date, AppTitle, UserName, Workstation, Duration FROM MGRDaySummaryTmp");
    QByteArray lastDate;
    Day* day = nullptr;
    qint64 visited = 0;
    double value = progress.value();
    while (rows.step()) {
        const QByteArray stored = rows.bytes(0);
        const QByteArray date =
            QByteArray::fromRawData(stored.constData(), std::min<qsizetype>(stored.size(), 10));
        if (!day || date != lastDate) {
            lastDate = QByteArray(date.constData(), date.size());
            const QDate calendarDay = Dates::fromStored(QString::fromLatin1(lastDate));
            if (!calendarDay.isValid())
                throw VcError(ErrorNumber::DatabaseFailure,
                              QStringLiteral("A report row has no valid date: ") +
                                  QString::fromUtf8(lastDate));
            day = &result.m_days[calendarDay];
        }
        const double minutes = rows.real(4);
        day->rowMinutes.push_back(minutes);

        const QByteArray appBytes = rows.bytes(1);
        const int group = result.m_applications.groupOf(appBytes);
        if (static_cast<size_t>(group) >= day->slotOfGroup.size())
            day->slotOfGroup.resize(static_cast<size_t>(group) + 1, -1);
        int& slot = day->slotOfGroup[static_cast<size_t>(group)];
        if (slot < 0) {
            slot = static_cast<int>(day->applications.size());
            day->applications.push_back({result.m_applications.spelling(appBytes), group, 0, 0});
        }
        Application& application = day->applications[static_cast<size_t>(slot)];
        const qint64 milliseconds = std::llround(minutes * 60000.0);
        application.milliseconds += milliseconds;
        application.minutes = static_cast<double>(application.milliseconds) / 60000.0;

        const QByteArray userBytes = rows.bytes(2);
        const int user = result.m_users.groupOf(userBytes);
        userList.add(user, result.m_users.firstSpelling(user));
        const QByteArray workstationBytes = rows.bytes(3);
        const int workstation = result.m_workstations.groupOf(workstationBytes);
        workstationList.add(workstation, result.m_workstations.firstSpelling(workstation));
        if (detail)
            day->detailMilliseconds[{group, user, workstation}] += milliseconds;

        if (progressStep > 0 && value + progressStep <= progress.maximum())
            value += progressStep;
        if (++visited % kProgressEvery == 0)
            progress.setValue(value);
    }
    progress.setValue(value);
    return result;
}

std::vector<int> ReportDays::order(const Day& day) const {
    std::vector<int> order(day.applications.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return m_applications.folded(day.applications[static_cast<size_t>(a)].group) <
               m_applications.folded(day.applications[static_cast<size_t>(b)].group);
    });
    return order;
}

qint64 ReportDays::total(const Day& day) const {
    qint64 total = 0;
    for (const int i : order(day))
        total = static_cast<qint64>(ReportText::roundHalfEven(
            static_cast<double>(total) + day.applications[static_cast<size_t>(i)].minutes));
    return total;
}

qint64 ReportDays::grandTotal() const {
    qint64 total = 0;
    for (const auto& [date, day] : m_days) {
        for (const double minutes : day.rowMinutes)
            total = static_cast<qint64>(ReportText::roundHalfEven(static_cast<double>(total) + minutes));
    }
    return total;
}
