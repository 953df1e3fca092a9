// Report sums: one pass over the rows, per day and application, names folded by letter case.
#include "report/ReportSums.h"

#include "report/ReportText.h"

#include <algorithm>
#include <cmath>

void ReportSums::DistinctList::add(int group, const QString& spelling) {
    if (static_cast<size_t>(group) >= seen.size())
        seen.resize(static_cast<size_t>(group) + 1, 0);
    if (seen[static_cast<size_t>(group)])
        return;
    seen[static_cast<size_t>(group)] = 1;
    names.append(spelling);
}

void ReportSums::add(QDate date, const QByteArray& application, const QByteArray& user,
                     const QByteArray& workstation, double minutes, int applicationKey, int userKey,
                     int workstationKey) {
    ++m_rows;
    if (!m_currentDay || date != m_currentDate) {
        m_currentDate = date;
        m_currentDay = &m_days[date];
        m_currentDay->date = date;
    }
    Day& day = *m_currentDay;
    const qint64 milliseconds = std::llround(minutes * 60000.0);
    day.milliseconds += milliseconds;
    m_milliseconds += milliseconds;

    const int entry = m_applications.entryOf(application, applicationKey);
    const int group = m_applications.group(entry);
    if (static_cast<size_t>(group) >= day.slotOfGroup.size())
        day.slotOfGroup.resize(static_cast<size_t>(group) + 1, -1);
    int& slot = day.slotOfGroup[static_cast<size_t>(group)];
    if (slot < 0) {
        slot = static_cast<int>(day.applications.size());
        day.applications.push_back({group, entry, 0});
    }
    day.applications[static_cast<size_t>(slot)].milliseconds += milliseconds;

    const int userGroup = m_users.group(m_users.entryOf(user, userKey));
    m_userList.add(userGroup, m_users.firstSpelling(userGroup));
    const int workstationGroup = m_workstations.group(m_workstations.entryOf(workstation, workstationKey));
    m_workstationList.add(workstationGroup, m_workstations.firstSpelling(workstationGroup));
    if (m_keepDetail) {
        day.rowMilliseconds.push_back(milliseconds);
        day.detail.push_back({group, userGroup, workstationGroup});
    }
}

std::vector<int> ReportSums::order(const Day& day) const {
    std::vector<int> order(day.applications.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return m_applications.folded(day.applications[static_cast<size_t>(a)].group) <
               m_applications.folded(day.applications[static_cast<size_t>(b)].group);
    });
    return order;
}

qint64 ReportSums::Application::wholeMinutes() const {
    return ReportText::wholeMinutes(milliseconds);
}

qint64 ReportSums::dayTotal(const Day& day) const {
    return ReportText::wholeMinutes(day.milliseconds);
}

qint64 ReportSums::percentOfDay(const Day& day, const Application& application) {
    return ReportText::percentOf(application.milliseconds, day.milliseconds);
}

qint64 ReportSums::grandTotal() const {
    return ReportText::wholeMinutes(m_milliseconds);
}
