// The series of the report's charts: minutes per period and application, and each
// application's share of the time, from the minutes the report shows.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

class ReportSums;

class ChartData {
public:
    // The length of one bar; longer ones when the days would not fit.
    enum class Period { Day, Week, Month, Quarter, Year };

    struct Series {
        QString name;
        int applications = 1;        // more than one for the series that gathers the rest
        std::vector<qint64> minutes; // per bar
        qint64 total = 0;            // over the whole range
        qint64 milliseconds = 0;     // the exact sum behind total
    };

    // A bar, a series' total and the total are each the exact sum of the report's time they
    // cover, rounded once to whole minutes (halves to even), as the report's figures are. The bars cover the
    // report's day range (from the first to the last day with rows when it has none, or when even its years
    // are more than maxBars) with the shortest period that gives at most maxBars bars (years when nothing
    // fits). Series are ordered by their total, largest first (ties by name); past maxSeries, the smallest
    // are gathered into one last series.
    static ChartData build(const ReportSums& report, int maxBars, int maxSeries);

    // The bars the charts allow, whatever the window's size: a printed or saved chart shows the
    // same periods as the screen. A month of days still shows day by day.
    static constexpr int kMaxBars = 31;

    bool isEmpty() const { return m_series.empty(); }
    Period period() const { return m_period; }
    // First day of each bar within the range (a bar starting before the range starts at its
    // first day).
    const std::vector<QDate>& barStarts() const { return m_barStarts; }
    // The bars' labels; a bar that holds only part of its period (the range starts or ends
    // within it) is marked with an asterisk.
    QStringList barLabels() const;
    // Whether the bar covers fewer days than its whole period.
    bool isPartial(size_t bar) const;
    const std::vector<Series>& series() const { return m_series; }
    qint64 totalMinutes() const { return m_totalMinutes; }
    int dayCount() const { return m_dayCount; }
    // The series' share of all the time in percent, from the exact sums (0 when there is none).
    double sharePercent(const Series& series) const;

    // Whether the value axis counts hours: when the highest bar holds more than two hours, a
    // count of minutes would read 50,000 where 833 hours says it.
    bool inHours() const;
    // "Minutes per day", "Hours per week", ...
    QString valueAxisTitle() const;
    // The days covered and what one bar holds: "730 days, one bar per month", "31 days, one
    // bar per week (Mon-Sun); * part of a week".
    QString barAxisTitle() const;

private:
    Period m_period = Period::Day;
    std::vector<QDate> m_barStarts;
    QDate m_lastDay; // the last day the bars cover
    std::vector<Series> m_series;
    qint64 m_totalMinutes = 0;
    qint64 m_totalMilliseconds = 0;
    int m_dayCount = 0;
};
