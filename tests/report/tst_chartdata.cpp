// The charts' series: the report's cells as it shows them per day and application, longer
// bars for long ranges, the rest gathered when there are too many applications.
#include "report/ChartData.h"
#include "report/ReportSums.h"
#include "support/TestEnv.h"

#include <numeric>
#include <QtTest>

namespace {

// The report's sums of one row per day and application.
std::unique_ptr<ReportSums> sumsOf(const QList<QPair<QDate, QList<double>>>& days,
                                   const QStringList& applications) {
    auto sums = std::make_unique<ReportSums>();
    for (const auto& [date, minutes] : days) {
        for (int i = 0; i < minutes.size(); ++i)
            sums->add(date, applications[i].toUtf8(), "u", "w", minutes[i]);
    }
    return sums;
}

} // namespace

class TstChartData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void rounding_data();
    void rounding();
    void periods_data();
    void periods();
    void restGatheredIntoOneSeries();
};

void TstChartData::rounding_data() {
    QTest::addColumn<QList<double>>("rows"); // minutes of the rows of one application and day
    QTest::addColumn<qint64>("shown");
    QTest::newRow("half to the even zero") << QList<double>{0.5} << qint64(0);
    QTest::newRow("half to the even two") << QList<double>{1.5} << qint64(2);
    QTest::newRow("two and a half") << QList<double>{2.5} << qint64(2);
    QTest::newRow("just under a half") << QList<double>{2.4999} << qint64(2);
    QTest::newRow("just over a half") << QList<double>{2.5001} << qint64(3);
    QTest::newRow("two halves make one") << QList<double>{0.5, 0.5} << qint64(1);
    QTest::newRow("sixtieths add up") << QList<double>(6, 10.0 / 60.0) << qint64(1);
}

// The chart's minutes are the cell the report shows: rows summed, then rounded.
void TstChartData::rounding() {
    QFETCH(QList<double>, rows);
    QFETCH(qint64, shown);
    ReportSums sums;
    for (const double minutes : rows)
        sums.add(QDate(2024, 3, 1), "Mail", "u", "w", minutes);
    sums.add(QDate(2024, 3, 2), "Mail", "u", "w", 3);
    const ChartData data = ChartData::build(sums, 100, 100);
    QCOMPARE(data.series().size(), size_t(1));
    QCOMPARE(data.series()[0].minutes, (std::vector<qint64>{shown, 3}));
}

void TstChartData::periods_data() {
    QTest::addColumn<QDate>("firstDay"); // the criteria's range
    QTest::addColumn<QDate>("lastDay");
    QTest::addColumn<int>("maxBars");
    QTest::addColumn<int>("period");
    QTest::addColumn<QList<QDate>>("someStarts"); // the first bars
    QTest::addColumn<int>("bars");
    QTest::addColumn<QString>("axis");
    QTest::addColumn<int>("partial"); // bars marked as holding part of their period
    const auto d = [](int y, int m, int day) { return QDate(y, m, day); };
    QTest::newRow("a month by day") << d(2024, 3, 1) << d(2024, 3, 31) << 31 << int(ChartData::Period::Day)
                                    << QList<QDate>{d(2024, 3, 1), d(2024, 3, 2)} << 31
                                    << "31 days, one bar per day" << 0;
    QTest::newRow("a month in fewer bars")
        << d(2024, 3, 1) << d(2024, 3, 31) << 30 << int(ChartData::Period::Week)
        << QList<QDate>{d(2024, 3, 1), d(2024, 3, 4)} << 5
        << "31 days, one bar per week (Mon-Sun); * part of a week" << 1;
    QTest::newRow("two years by month")
        << d(2023, 1, 1) << d(2024, 12, 30) << 32 << int(ChartData::Period::Month)
        << QList<QDate>{d(2023, 1, 1), d(2023, 2, 1)} << 24
        << "730 days, one bar per month; * part of a month" << 1;
    QTest::newRow("five years by quarter")
        << d(2020, 2, 10) << d(2024, 12, 31) << 32 << int(ChartData::Period::Quarter)
        << QList<QDate>{d(2020, 2, 10), d(2020, 4, 1)} << 20
        << "1787 days, one bar per quarter; * part of a quarter" << 1;
    QTest::newRow("ten years by year")
        << d(2015, 1, 1) << d(2024, 12, 31) << 32 << int(ChartData::Period::Year)
        << QList<QDate>{d(2015, 1, 1), d(2016, 1, 1)} << 10 << "3653 days, one bar per year" << 0;
    QTest::newRow("no bar allowed is one")
        << d(2024, 3, 4) << d(2024, 3, 6) << 0 << int(ChartData::Period::Week) << QList<QDate>{d(2024, 3, 4)}
        << 1 << "3 days, one bar per week (Mon-Sun); * part of a week" << 1;
    QTest::newRow("a damaged first day: the days with rows")
        << d(1, 1, 1) << d(2024, 3, 5) << 40 << int(ChartData::Period::Day)
        << QList<QDate>{d(2024, 3, 2), d(2024, 3, 3)} << 3 << "3 days, one bar per day" << 0;
    QTest::newRow("no range: the days with rows")
        << QDate() << QDate() << 40 << int(ChartData::Period::Day) << QList<QDate>{d(2024, 3, 2)} << 3
        << "3 days, one bar per day" << 0;
}

void TstChartData::periods() {
    QFETCH(QDate, firstDay);
    QFETCH(QDate, lastDay);
    QFETCH(int, maxBars);
    QFETCH(int, period);
    QFETCH(QList<QDate>, someStarts);
    QFETCH(int, bars);
    QFETCH(QString, axis);
    QFETCH(int, partial);
    // Rows on the range's first and last day (or on 2 and 4 March), each 1.5 minutes (shown as 2).
    const QDate from = firstDay.isValid() && firstDay.year() > 1 ? firstDay : QDate(2024, 3, 2);
    const QDate until = firstDay.isValid() && firstDay.year() > 1 ? lastDay : QDate(2024, 3, 4);
    const auto sums = sumsOf({{from, {1.5, 0.25}}, {until, {1.5, 0.75}}}, {"Mail", "Chat"});
    sums->setRange(firstDay, lastDay);
    if (!firstDay.isValid() || firstDay.year() == 1)
        sums->add(QDate(2024, 3, 3), "Mail", "u", "w", 1.5);
    const ChartData data = ChartData::build(*sums, maxBars, 12);
    QCOMPARE(int(data.period()), period);
    QCOMPARE(int(data.barStarts().size()), bars);
    for (int i = 0; i < someStarts.size(); ++i)
        QCOMPARE(data.barStarts()[size_t(i)], someStarts[i]);
    QCOMPARE(data.barAxisTitle(), axis);
    QCOMPARE(int(data.barLabels().size()), bars);
    QCOMPARE(int(data.barLabels().filter(QStringLiteral("*")).size()), partial);
    // Every bar is the exact sum of its days, rounded once: 1.5 and 1.5 in one bar show 3.
    const qint64 mail = bars == 1 ? 3 : firstDay.isValid() && firstDay.year() > 1 ? 4 : 6;
    QCOMPARE(data.series()[0].name, "Mail");
    QCOMPARE(std::accumulate(data.series()[0].minutes.begin(), data.series()[0].minutes.end(), qint64(0)),
             mail);
    QCOMPARE(data.series()[0].minutes.front(), bars == 1 ? mail : qint64(2));
    QCOMPARE(data.series()[1].total, qint64(1)); // 0.25 shows 0, 0.75 shows 1
}

void TstChartData::restGatheredIntoOneSeries() {
    QStringList names;
    QList<double> day1;
    QList<double> day2;
    for (int i = 1; i <= 30; ++i) {
        names.append(QStringLiteral("App%1").arg(i, 2, 10, QLatin1Char('0')));
        day1.append(10.0 * i);
        day2.append(i);
    }
    day1[4] = day1[5]; // App05 and App06 tie: by name
    const ChartData data =
        ChartData::build(*sumsOf({{QDate(2024, 3, 1), day1}, {QDate(2024, 3, 2), day2}}, names), 10, 12);
    QCOMPARE(data.series().size(), size_t(12));
    QCOMPARE(data.series()[0].name, "App30");
    QCOMPARE(data.series()[10].name, "App20");
    const ChartData::Series& rest = data.series()[11];
    QCOMPARE(rest.applications, 19);
    QCOMPARE(rest.minutes,
             (std::vector<qint64>{qint64(std::accumulate(day1.begin(), day1.begin() + 19, 0.0)),
                                  qint64(std::accumulate(day2.begin(), day2.begin() + 19, 0.0))}));
    QCOMPARE(data.totalMinutes(), qint64(std::accumulate(day1.begin(), day1.end(), 0.0) +
                                         std::accumulate(day2.begin(), day2.end(), 0.0)));

    // Few enough: every application by name, ties in name order whatever their case.
    const ChartData few =
        ChartData::build(*sumsOf({{QDate(2024, 3, 1), {5, 5, 7}}}, {"beta", "Alpha", "gamma"}), 10, 3);
    QStringList order;
    for (const ChartData::Series& series : few.series())
        order.append(series.name);
    QCOMPARE(order, (QStringList{"gamma", "Alpha", "beta"}));
    QCOMPARE(few.sharePercent(few.series()[0]), 100.0 * 7 / 17);
}

QTEST_MAIN(TstChartData)
#include "tst_chartdata.moc"
