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
    };

    // Each day's minutes are the report's cells rounded as the report shows them (nearest
    // minute, halves to even); a bar holds the sum of its days. The bars cover the report's
    // day range (from the first to the last day with rows when it has none, or when even its
    // years are more than maxBars) with the shortest period that gives at most maxBars bars
    // (years when nothing fits). Series are ordered by their total, largest
    // first (ties by name); past maxSeries, the smallest are gathered into one last series.
    static ChartData build(const ReportSums& report, int maxBars, int maxSeries);

    bool isEmpty() const { return m_series.empty(); }
    Period period() const { return m_period; }
    // First day of each bar within the range (a bar starting before the range starts at its
    // first day).
    const std::vector<QDate>& barStarts() const { return m_barStarts; }
    QStringList barLabels() const;
    const std::vector<Series>& series() const { return m_series; }
    qint64 totalMinutes() const { return m_totalMinutes; }
    int dayCount() const { return m_dayCount; }
    // The series' share of all minutes in percent (0 when there are none).
    double sharePercent(const Series& series) const;

    // "Minutes per day", "Minutes per week", ...
    QString valueAxisTitle() const;
    // The days covered and what one bar holds: "730 days, one bar per month", "31 days, one
    // bar per week (Mon-Sun)".
    QString barAxisTitle() const;

private:
    Period m_period = Period::Day;
    std::vector<QDate> m_barStarts;
    std::vector<Series> m_series;
    qint64 m_totalMinutes = 0;
    int m_dayCount = 0;
};
