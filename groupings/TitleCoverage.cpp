// Title coverage: every captured title through the report's rule, with its time over the days.
#include "groupings/TitleCoverage.h"

#include "groupings/ApplicationNames.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void TitleCoverage::load(ManagerDatabase& database, QDate from, QDate to) {
    m_titles = GroupingsStore(database).titleTimes(from, to);
    m_from = from;
    m_to = to;
    remap(database);
}

void TitleCoverage::remap(const ManagerDatabase& database) {
    const QList<GroupingsStore::TitleTime>& titles = m_titles;
    const ApplicationNames names(database);
    QList<GroupingsStore::TitleTime> unmatched;
    QHash<QString, Caught> caught;
    qint64 total = 0;
    for (const GroupingsStore::TitleTime& title : titles) {
        total += title.seconds;
        const std::optional<QString> application = names.catchingApplication(title.title);
        if (!application) {
            unmatched.append(title);
            continue;
        }
        Caught& sum = caught[*application];
        ++sum.titles;
        sum.seconds += title.seconds;
    }
    std::sort(unmatched.begin(), unmatched.end(), [](const auto& a, const auto& b) {
        if (a.seconds != b.seconds)
            return a.seconds > b.seconds;
        const int folded = a.title.compare(b.title, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.title < b.title;
    });
    m_unmatched = unmatched;
    m_caught = caught;
    m_total = total;
}

double TitleCoverage::sharePercent(qint64 seconds) const {
    return m_total > 0 ? 100.0 * static_cast<double>(seconds) / static_cast<double>(m_total) : 0.0;
}

TitleCoverage::Caught TitleCoverage::caughtBy(const QString& application) const {
    return m_caught.value(application);
}

std::pair<QDate, QDate> TitleCoverage::range(std::optional<QDate> from, std::optional<QDate> to,
                                             QDate today) {
    if (from && to && from->isValid() && to->isValid() && *from <= *to)
        return {*from, *to};
    return {today.addDays(-29), today};
}

qint64 TitleCoverage::wholeMinutes(qint64 seconds) {
    // The report's rounding: the nearest minute, halves to even (30 s is 0 min, 90 s is 2).
    qint64 minutes = seconds / 60;
    qint64 rest = seconds % 60;
    if (rest < 0) {
        --minutes;
        rest += 60;
    }
    if (rest > 30 || (rest == 30 && minutes % 2 != 0))
        ++minutes;
    return minutes;
}

QString TitleCoverage::durationText(qint64 seconds) {
    const qint64 minutes = wholeMinutes(seconds);
    if (std::llabs(minutes) < 60)
        return QStringLiteral("%1 min").arg(minutes);
    const qint64 hours = minutes / 60;
    return QStringLiteral("%1 h %2 min").arg(hours).arg(std::llabs(minutes % 60), 2, 10, QLatin1Char('0'));
}

QString TitleCoverage::caughtText(const QString& application) const {
    if (application.isEmpty())
        return QStringLiteral("Select an application to see what it catches.");
    const Caught sum = caughtBy(application);
    // One pass over the pattern: a name holding "%2" stays as it is.
    return QStringLiteral("\"%1\" catches %2 captured %3 holding %4 (%5% of the time) from %6 to %7.")
        .arg(application, QString::number(sum.titles),
             sum.titles == 1 ? QStringLiteral("title") : QStringLiteral("titles"), durationText(sum.seconds),
             QString::number(sharePercent(sum.seconds), 'f', 1), Dates::shortText(m_from),
             Dates::shortText(m_to));
}
