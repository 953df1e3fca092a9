// The charts' series: the report's own numbers per day and application on a generated store,
// longer bars for long ranges, the rest gathered when there are too many applications.
#include "report/ChartData.h"
#include "report/GenerateReport.h"
#include "report/ReportProgress.h"
#include "store/Dates.h"
#include "store/SqlUtil.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

namespace {

using Cells = QMap<QDate, QHash<QString, qint64>>; // day -> folded application -> minutes

// What the report file shows: each day's applications and their "H:MM" cells, read back.
Cells readReport(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression dayLine(QStringLiteral("^<B>([0-9/]+)</B>$"));
    static const QRegularExpression nameLine(
        QStringLiteral("^<TD WIDTH=300> <FONT FACE=\"Arial\" SIZE=1>(.*)</FONT> </TD>$"));
    static const QRegularExpression timeLine(QStringLiteral(
        "^<TD> <FONT FACE=\"Arial\" SIZE=1>(?:&nbsp;&nbsp;)?([0-9]+):([0-9]{2})</FONT> </TD>$"));
    Cells cells;
    QDate day;
    QString name;
    for (QByteArray line : file.readAll().split('\n')) {
        line.chop(line.endsWith('\r') ? 1 : 0);
        const QString text = QString::fromLatin1(line);
        if (const auto m = dayLine.match(text); m.hasMatch()) {
            day = Dates::fromShortText(m.captured(1));
        } else if (const auto n = nameLine.match(text); n.hasMatch()) {
            name = n.captured(1).toCaseFolded();
        } else if (const auto t = timeLine.match(text); t.hasMatch() && !name.isEmpty()) {
            cells[day][name] = t.captured(1).toLongLong() * 60 + t.captured(2).toLongLong();
            name.clear();
        }
    }
    return cells;
}

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

const ChartData::Series* seriesNamed(const ChartData& data, const QString& folded) {
    for (const ChartData::Series& series : data.series())
        if (series.name.toCaseFolded() == folded)
            return &series;
    return nullptr;
}

} // namespace

class TstChartData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void seriesAreTheReportsCells();
    void rounding_data();
    void rounding();
    void periods_data();
    void periods();
    void restGatheredIntoOneSeries();
};

// A generated store: many rows per day of half-minute durations, so that day sums land on
// halves; days without rows inside the range; applications in two letter cases.
void TstChartData::seriesAreTheReportsCells() {
    ManagerFixture f;
    f.addGrouping(QStringLiteral("Mail"), {QStringLiteral("inbox")});
    f.addGrouping(QStringLiteral("Writer"), {QStringLiteral("writer")});
    f.addGrouping(QStringLiteral("Browser"), {QStringLiteral("browser")});
    f.addGrouping(QStringLiteral("Chat"), {QStringLiteral("chat")});
    const QStringList titles{QStringLiteral("Inbox - Mail"),   QStringLiteral("Letter - Writer"),
                             QStringLiteral("News - Browser"), QStringLiteral("Team chat"),
                             QStringLiteral("Solitaire"),      QStringLiteral("INBOX (3)")};
    const QStringList users{QStringLiteral("anna"), QStringLiteral("bob"), QStringLiteral("Carl")};
    const QStringList workstations{QStringLiteral("WS1"), QStringLiteral("WS2"), QStringLiteral("ws3")};
    QRandomGenerator random(18);
    const QDate first(2024, 2, 20);
    for (int d = 0; d < 30; ++d) {
        if (d % 7 == 3)
            continue;
        for (int row = 0; row < 14; ++row)
            f.addUsage(workstations[random.bounded(3)], users[random.bounded(3)], titles[random.bounded(6)],
                       first.addDays(d), 30 * random.bounded(0, 90));
    }
    // Rows of the same application caught under a different case: one application in the report.
    Sql::run(f.db().db(), QStringLiteral("UPDATE MGRGroupings SET Alias = 'MAIL' WHERE Alias = 'Mail'"));

    ReportProgress progress;
    int step = 0;
    const ReportCriteria criteria{QDate(2024, 2, 18), QDate(2024, 3, 22), f.allApplications(), f.allUsers(),
                                  f.allWorkstations()};
    const ReportOutcome outcome = generateReport(f.db(), criteria, f.programFolder(), progress, step);
    QCOMPARE(int(outcome.page), int(ReportPage::Report));
    QVERIFY(outcome.report);
    const Cells report = readReport(outcome.path);
    QCOMPARE(report.size(), 26);

    const ChartData daily = ChartData::build(*outcome.report, 1000, 1000);
    QCOMPARE(int(daily.period()), int(ChartData::Period::Day));
    QCOMPARE(daily.barStarts().size(), size_t(34));
    QSet<QString> applications;
    qint64 all = 0;
    for (const auto& day : report)
        for (auto it = day.begin(); it != day.end(); ++it) {
            applications.insert(it.key());
            all += it.value();
        }
    QCOMPARE(daily.series().size(), size_t(applications.size()));
    QCOMPARE(daily.totalMinutes(), all);
    double shares = 0;
    for (const QString& application : applications) {
        const ChartData::Series* series = seriesNamed(daily, application);
        QVERIFY2(series, qPrintable(application));
        qint64 total = 0;
        for (size_t bar = 0; bar < daily.barStarts().size(); ++bar) {
            const qint64 shown = report.value(daily.barStarts()[bar]).value(application, 0);
            QCOMPARE(series->minutes[bar], shown);
            total += shown;
        }
        QCOMPARE(series->total, total);
        shares += daily.sharePercent(*series);
    }
    QVERIFY(qAbs(shares - 100.0) < 1e-9);

    // By week: each bar is the report's cells of its Monday-to-Sunday days within the range.
    const ChartData weekly = ChartData::build(*outcome.report, 6, 1000);
    QCOMPARE(int(weekly.period()), int(ChartData::Period::Week));
    QCOMPARE(weekly.barStarts().size(), size_t(6)); // Sunday 18 Feb, then Mondays up to 18 Mar
    for (const QString& application : applications) {
        const ChartData::Series* series = seriesNamed(weekly, application);
        QVERIFY(series);
        std::vector<qint64> expected(6, 0);
        for (auto it = report.begin(); it != report.end(); ++it)
            expected[size_t(QDate(2024, 2, 12).daysTo(it.key()) / 7)] += it.value().value(application, 0);
        QCOMPARE(series->minutes, expected);
    }
}

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
    const auto d = [](int y, int m, int day) { return QDate(y, m, day); };
    QTest::newRow("a month by day") << d(2024, 3, 1) << d(2024, 3, 31) << 31 << int(ChartData::Period::Day)
                                    << QList<QDate>{d(2024, 3, 1), d(2024, 3, 2)} << 31
                                    << "31 days, one bar per day";
    QTest::newRow("a month in fewer bars")
        << d(2024, 3, 1) << d(2024, 3, 31) << 30 << int(ChartData::Period::Week)
        << QList<QDate>{d(2024, 3, 1), d(2024, 3, 4)} << 5 << "31 days, one bar per week (Mon-Sun)";
    QTest::newRow("two years by month")
        << d(2023, 1, 1) << d(2024, 12, 30) << 32 << int(ChartData::Period::Month)
        << QList<QDate>{d(2023, 1, 1), d(2023, 2, 1)} << 24 << "730 days, one bar per month";
    QTest::newRow("five years by quarter")
        << d(2020, 2, 10) << d(2024, 12, 31) << 32 << int(ChartData::Period::Quarter)
        << QList<QDate>{d(2020, 2, 10), d(2020, 4, 1)} << 20 << "1787 days, one bar per quarter";
    QTest::newRow("ten years by year")
        << d(2015, 1, 1) << d(2024, 12, 31) << 32 << int(ChartData::Period::Year)
        << QList<QDate>{d(2015, 1, 1), d(2016, 1, 1)} << 10 << "3653 days, one bar per year";
    QTest::newRow("no bar allowed is one")
        << d(2024, 3, 4) << d(2024, 3, 6) << 0 << int(ChartData::Period::Week) << QList<QDate>{d(2024, 3, 4)}
        << 1 << "3 days, one bar per week (Mon-Sun)";
    QTest::newRow("a damaged first day: the days with rows")
        << d(1, 1, 1) << d(2024, 3, 5) << 40 << int(ChartData::Period::Day)
        << QList<QDate>{d(2024, 3, 2), d(2024, 3, 3)} << 3 << "3 days, one bar per day";
    QTest::newRow("no range: the days with rows")
        << QDate() << QDate() << 40 << int(ChartData::Period::Day) << QList<QDate>{d(2024, 3, 2)} << 3
        << "3 days, one bar per day";
}

void TstChartData::periods() {
    QFETCH(QDate, firstDay);
    QFETCH(QDate, lastDay);
    QFETCH(int, maxBars);
    QFETCH(int, period);
    QFETCH(QList<QDate>, someStarts);
    QFETCH(int, bars);
    QFETCH(QString, axis);
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
    // Every minute lands in exactly one bar: the rows' day cells, rounded, summed.
    const qint64 mail = firstDay.isValid() && firstDay.year() > 1 ? 4 : 6;
    QCOMPARE(data.series()[0].name, QStringLiteral("Mail"));
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
    QCOMPARE(data.series()[0].name, QStringLiteral("App30"));
    QCOMPARE(data.series()[10].name, QStringLiteral("App20"));
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
