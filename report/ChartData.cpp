// Chart series from the report's minutes.
#include "report/ChartData.h"

#include "report/ReportSums.h"
#include "report/ReportText.h"
#include "store/Dates.h"

#include <algorithm>
#include <limits>
#include <QLocale>

namespace {

QDate periodStart(QDate day, ChartData::Period period) {
    switch (period) {
    case ChartData::Period::Day:
        return day;
    case ChartData::Period::Week:
        return day.addDays(1 - day.dayOfWeek());
    case ChartData::Period::Month:
        return QDate(day.year(), day.month(), 1);
    case ChartData::Period::Quarter:
        return QDate(day.year(), (day.month() - 1) / 3 * 3 + 1, 1);
    case ChartData::Period::Year:
        return QDate(day.year(), 1, 1);
    }
    return day;
}

QDate nextStart(QDate start, ChartData::Period period) {
    switch (period) {
    case ChartData::Period::Day:
        return start.addDays(1);
    case ChartData::Period::Week:
        return start.addDays(7);
    case ChartData::Period::Month:
        return start.addMonths(1);
    case ChartData::Period::Quarter:
        return start.addMonths(3);
    case ChartData::Period::Year:
        return start.addYears(1);
    }
    return start.addDays(1);
}

// The bars' first days, or nothing when there would be more than limit of them (a range of
// centuries from a damaged date must not be walked day by day).
std::vector<QDate> barsOf(QDate first, QDate last, ChartData::Period period, qsizetype limit) {
    std::vector<QDate> starts;
    for (QDate start = periodStart(first, period); start.isValid() && start <= last;
         start = nextStart(start, period)) {
        if (static_cast<qsizetype>(starts.size()) >= limit)
            return {};
        starts.push_back(std::max(start, first));
    }
    return starts;
}

} // namespace

ChartData ChartData::build(const ReportSums& report, int maxBars, int maxSeries) {
    ChartData data;
    if (report.isEmpty())
        return data;
    const QDate firstRow = report.days().begin()->first;
    const QDate lastRow = report.days().rbegin()->first;
    QDate first = firstRow;
    QDate last = lastRow;
    if (report.firstDay().isValid() && report.lastDay().isValid() && report.firstDay() <= report.lastDay()) {
        first = std::min(first, report.firstDay());
        last = std::max(last, report.lastDay());
    }
    const qsizetype limit = std::max(maxBars, 1);
    const auto choose = [&data, limit](QDate from, QDate until) {
        data.m_dayCount = static_cast<int>(from.daysTo(until) + 1);
        for (const Period period :
             {Period::Day, Period::Week, Period::Month, Period::Quarter, Period::Year}) {
            data.m_period = period;
            data.m_barStarts = barsOf(from, until, period, limit);
            if (!data.m_barStarts.empty())
                return true;
        }
        return false;
    };
    // A range of more years than fit (a damaged day among the criteria's dates) shows the days
    // with rows; when even those do not fit, one bar per year however many there are.
    data.m_lastDay = last;
    if (!choose(first, last)) {
        data.m_lastDay = lastRow;
        if (!choose(firstRow, lastRow)) {
            data.m_period = Period::Year;
            data.m_barStarts = barsOf(firstRow, lastRow, Period::Year, std::numeric_limits<qsizetype>::max());
        }
    }
    const size_t bars = data.m_barStarts.size();

    // Exact sums per series and bar, rounded once when the series are laid out.
    struct Exact {
        QString name;
        std::vector<qint64> bars;
        qint64 total = 0;
    };
    std::vector<Exact> all(static_cast<size_t>(report.applications().groups()));
    std::vector<char> present(all.size(), 0);
    for (const auto& [date, day] : report.days()) {
        const auto bar =
            static_cast<size_t>(std::upper_bound(data.m_barStarts.begin(), data.m_barStarts.end(), date) -
                                data.m_barStarts.begin() - 1);
        for (const ReportSums::Application& cell : day.applications) {
            const auto index = static_cast<size_t>(cell.group);
            Exact& series = all[index];
            if (!present[index]) {
                present[index] = 1;
                series.name = report.applications().firstSpelling(cell.group);
                series.bars.assign(bars, 0);
            }
            series.bars[bar] += cell.milliseconds;
            series.total += cell.milliseconds;
        }
    }

    std::vector<size_t> order;
    for (size_t i = 0; i < all.size(); ++i)
        if (present[i])
            order.push_back(i);
    std::sort(order.begin(), order.end(), [&all](size_t a, size_t b) {
        if (all[a].total != all[b].total)
            return all[a].total > all[b].total;
        const int byName = all[a].name.compare(all[b].name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a < b;
    });
    const auto laidOut = [](const QString& name, int applications, const std::vector<qint64>& exactBars,
                            qint64 total) {
        Series series;
        series.name = name;
        series.applications = applications;
        series.milliseconds = total;
        series.total = ReportText::wholeMinutes(total);
        series.minutes.reserve(exactBars.size());
        for (const qint64 bar : exactBars)
            series.minutes.push_back(ReportText::wholeMinutes(bar));
        return series;
    };
    const size_t named = order.size() <= static_cast<size_t>(std::max(maxSeries, 1))
                             ? order.size()
                             : static_cast<size_t>(std::max(maxSeries, 1)) - 1;
    for (size_t i = 0; i < named; ++i)
        data.m_series.push_back(laidOut(all[order[i]].name, 1, all[order[i]].bars, all[order[i]].total));
    if (named < order.size()) {
        const int rest = static_cast<int>(order.size() - named);
        std::vector<qint64> restBars(bars, 0);
        qint64 restTotal = 0;
        for (size_t i = named; i < order.size(); ++i) {
            const Exact& series = all[order[i]];
            for (size_t bar = 0; bar < bars; ++bar)
                restBars[bar] += series.bars[bar];
            restTotal += series.total;
        }
        data.m_series.push_back(
            laidOut(QStringLiteral("Other (%1 applications)").arg(rest), rest, restBars, restTotal));
    }
    qint64 total = 0;
    for (const Series& series : data.m_series)
        total += series.milliseconds;
    data.m_totalMilliseconds = total;
    data.m_totalMinutes = ReportText::wholeMinutes(total);
    return data;
}

bool ChartData::isPartial(size_t bar) const {
    if (bar >= m_barStarts.size() || m_period == Period::Day)
        return false;
    const QDate start = m_barStarts[bar];
    const QDate periodBegins = periodStart(start, m_period);
    const QDate periodEnds = nextStart(periodBegins, m_period).addDays(-1);
    return start != periodBegins ||
           (bar + 1 == m_barStarts.size() && m_lastDay.isValid() && m_lastDay < periodEnds);
}

QStringList ChartData::barLabels() const {
    QStringList labels;
    const QLocale locale;
    for (size_t bar = 0; bar < m_barStarts.size(); ++bar) {
        const QDate start = m_barStarts[bar];
        QString label;
        switch (m_period) {
        case Period::Day:
        case Period::Week:
            label = Dates::shortText(start);
            break;
        case Period::Month:
            label = locale.toString(start, QStringLiteral("MMM yyyy"));
            break;
        case Period::Quarter:
            label = QStringLiteral("Q%1 %2").arg((start.month() - 1) / 3 + 1).arg(start.year());
            break;
        case Period::Year:
            label = QString::number(start.year());
            break;
        }
        labels.append(isPartial(bar) ? label + QLatin1Char('*') : label);
    }
    return labels;
}

double ChartData::sharePercent(const Series& series) const {
    return m_totalMilliseconds <= 0
               ? 0.0
               : 100.0 * static_cast<double>(series.milliseconds) / static_cast<double>(m_totalMilliseconds);
}

bool ChartData::inHours() const {
    qint64 highest = 0;
    for (size_t bar = 0; bar < m_barStarts.size(); ++bar) {
        qint64 total = 0;
        for (const Series& series : m_series)
            total += series.minutes[bar];
        highest = std::max(highest, total);
    }
    return highest > 120;
}

QString ChartData::valueAxisTitle() const {
    static const char* const periods[] = {"day", "week", "month", "quarter", "year"};
    return (inHours() ? QStringLiteral("Hours per ") : QStringLiteral("Minutes per ")) +
           QLatin1String(periods[static_cast<int>(m_period)]);
}

QString ChartData::barAxisTitle() const {
    static const char* const names[] = {"day", "week (Mon-Sun)", "month", "quarter", "year"};
    static const char* const parts[] = {"", "week", "month", "quarter", "year"};
    QString title = QStringLiteral("%1 %2, one bar per %3")
                        .arg(m_dayCount)
                        .arg(m_dayCount == 1 ? QStringLiteral("day") : QStringLiteral("days"))
                        .arg(QLatin1String(names[static_cast<int>(m_period)]));
    for (size_t bar = 0; bar < m_barStarts.size(); ++bar) {
        if (isPartial(bar))
            return title + QStringLiteral("; * part of a ") +
                   QLatin1String(parts[static_cast<int>(m_period)]);
    }
    return title;
}
