// The charts view on the Reports page: shown by its toggle, drawing the report's numbers,
// readable over long ranges, saved as PNG or PDF without ever harming the file being replaced.
#include "report/ChartData.h"
#include "report/frameReports.h"
#include "report/GenerateReport.h"
#include "report/ReportCharts.h"
#include "report/ReportProgress.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QHorizontalStackedBarSeries>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <QValueAxis>

namespace {

// A report of three weeks: five applications, every day.
std::shared_ptr<const ReportTotals> generateReport(ManagerFixture& f, QString* path) {
    f.addGrouping(QStringLiteral("Mail"), {QStringLiteral("inbox")});
    f.addGrouping(QStringLiteral("Writer"), {QStringLiteral("writer")});
    f.addGrouping(QStringLiteral("Browser"), {QStringLiteral("browser")});
    const QStringList titles{QStringLiteral("Inbox"), QStringLiteral("a - Writer"), QStringLiteral("Browser"),
                             QStringLiteral("Solitaire"), QStringLiteral("Desktop")};
    for (int d = 0; d < 21; ++d)
        for (int t = 0; t < titles.size(); ++t)
            f.addUsage(QStringLiteral("WS1"), QStringLiteral("anna"), titles[t], QDate(2024, 3, 1).addDays(d),
                       90 * (t + 1) + 30 * d);
    ReportProgress progress;
    int step = 0;
    const ReportCriteria criteria{QDate(2024, 3, 1), QDate(2024, 3, 21), f.allApplications(), f.allUsers(),
                                  f.allWorkstations()};
    const ReportOutcome outcome = GenerateReport(f.db(), criteria, f.programFolder(), progress, step);
    *path = outcome.path;
    return outcome.totals;
}

// Two years of 40 applications, as a long-running site has them.
std::shared_ptr<const ReportTotals> twoYears() {
    auto totals = std::make_shared<ReportTotals>();
    for (int i = 0; i < 40; ++i)
        totals->applications.append(QStringLiteral("Application %1").arg(i));
    totals->firstDay = QDate(2023, 1, 1);
    totals->lastDay = QDate(2024, 12, 30);
    for (QDate day = totals->firstDay; day <= totals->lastDay; day = day.addDays(1)) {
        ReportTotals::Day& row = totals->days.emplace_back();
        row.date = day;
        for (int i = 0; i < 40; ++i)
            row.cells.push_back({i, double(i % 7 + 1)});
    }
    return totals;
}

QStackedBarSeries* minutesSeries(const frameReports& page) {
    const auto all = page.rptCharts->chvMinutes->chart()->series();
    return all.size() == 1 ? qobject_cast<QStackedBarSeries*>(all[0]) : nullptr;
}

} // namespace

class TstReportCharts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void toggleShowsTheReportsNumbers();
    void longRangesInLongerBars();
    void save_data();
    void save();
    void nothingToChart();
};

void TstReportCharts::toggleShowsTheReportsNumbers() {
    ManagerFixture f;
    QString path;
    const auto totals = generateReport(f, &path);
    QVERIFY(totals);
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.resize(1400, 600);
    page.navigate(path);
    page.setChartTotals(totals);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(page.brwReport->isVisible());
    // Nothing is computed for charts nobody looks at.
    QVERIFY(page.rptCharts->data().isEmpty());

    page.cmdCharts->click();
    QVERIFY(page.chartsShown());
    QVERIFY(page.rptCharts->isVisible());
    QVERIFY(!page.brwReport->isVisible());
    const ChartData& data = page.rptCharts->data();
    QCOMPARE(int(data.period()), int(ChartData::Period::Day));
    const ChartData expected = ChartData::build(*totals, 21, ReportCharts::kMaxSeries);
    QCOMPARE(data.series().size(), expected.series().size());

    QStackedBarSeries* stacked = minutesSeries(page);
    QVERIFY(stacked);
    QCOMPARE(stacked->count(), int(data.series().size()));
    for (int i = 0; i < stacked->count(); ++i) {
        const ChartData::Series& series = expected.series()[size_t(i)];
        const QBarSet* set = stacked->barSets()[i];
        QCOMPARE(set->label(), series.name);
        QCOMPARE(set->count(), 21);
        for (int bar = 0; bar < set->count(); ++bar)
            QCOMPARE(set->at(bar), double(series.minutes[size_t(bar)]));
    }
    const auto bars =
        qobject_cast<QBarCategoryAxis*>(page.rptCharts->chvMinutes->chart()->axes(Qt::Horizontal).value(0));
    QVERIFY(bars);
    QCOMPARE(bars->count(), 21);
    QCOMPARE(bars->titleText(), QStringLiteral("21 days, one bar per day"));
    QCOMPARE(page.rptCharts->chvMinutes->chart()->axes(Qt::Vertical).value(0)->titleText(),
             QStringLiteral("Minutes per day"));

    // One share bar per application, the largest at the top.
    const auto shares = page.rptCharts->chvShares->chart()->series();
    QCOMPARE(shares.size(), 1);
    const auto* horizontal = qobject_cast<QHorizontalStackedBarSeries*>(shares[0]);
    QVERIFY(horizontal);
    const int n = horizontal->count();
    QCOMPARE(n, int(data.series().size()));
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const QBarSet* set = horizontal->barSets()[i];
        QCOMPARE(set->at(n - 1 - i), data.sharePercent(data.series()[size_t(i)]));
        sum += set->sum();
    }
    QVERIFY(qAbs(sum - 100.0) < 1e-9);
    const auto rows =
        qobject_cast<QBarCategoryAxis*>(page.rptCharts->chvShares->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(rows);
    QVERIFY(rows->at(n - 1).endsWith(QStringLiteral("%  ") + data.series()[0].name));

    // A report generated while the charts are shown replaces them at once.
    page.setChartTotals(twoYears());
    QCOMPARE(int(page.rptCharts->data().period()), int(ChartData::Period::Month));

    page.cmdCharts->click();
    QVERIFY(!page.chartsShown());
    QVERIFY(page.brwReport->isVisible());
}

void TstReportCharts::longRangesInLongerBars() {
    ReportCharts charts;
    charts.resize(1400, 600);
    charts.setTotals(twoYears());
    charts.show();
    QVERIFY(QTest::qWaitForWindowExposed(&charts));
    const ChartData& data = charts.data();
    QCOMPARE(int(data.period()), int(ChartData::Period::Month));
    QCOMPARE(data.barStarts().size(), size_t(24));
    QCOMPARE(data.series().size(), size_t(ReportCharts::kMaxSeries));
    QCOMPARE(data.series().back().name, QStringLiteral("Other (29 applications)"));
    QCOMPARE(charts.chvMinutes->chart()->axes(Qt::Vertical).value(0)->titleText(),
             QStringLiteral("Minutes per month"));
    // Wide enough for weeks: the bars get shorter.
    charts.resize(5400, 600);
    QTRY_COMPARE(int(charts.data().period()), int(ChartData::Period::Week));
    const auto* stacked = qobject_cast<QStackedBarSeries*>(charts.chvMinutes->chart()->series().value(0));
    QVERIFY(stacked);
    QCOMPARE(stacked->barSets().value(0)->count(), int(charts.data().barStarts().size()));
}

void TstReportCharts::save_data() {
    QTest::addColumn<QString>("target"); // relative to a temporary folder, unless absolute
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("new PNG") << "charts.png" << QByteArray("\x89PNG");
    QTest::newRow("replaces an older PNG") << "old.png" << QByteArray("\x89PNG");
    QTest::newRow("new PDF") << "charts.pdf" << QByteArray("%PDF-");
    QTest::newRow("replaces an older PDF") << "OLD.PDF" << QByteArray("%PDF-");
    QTest::newRow("PNG in a folder that is a file") << "blocker/charts.png" << QByteArray();
    QTest::newRow("PDF in a folder that is a file") << "blocker/charts.pdf" << QByteArray();
    QTest::newRow("PNG over a folder") << "folder.png" << QByteArray();
    QTest::newRow("PDF over a folder") << "folder.pdf" << QByteArray();
    // Not even root writes there: the existing file stays as it is.
    QTest::newRow("existing file in a read-only folder") << "/proc/version" << QByteArray();
}

void TstReportCharts::save() {
    QFETCH(QString, target);
    QFETCH(QByteArray, signature);
    QTemporaryDir dir;
    const auto make = [&dir](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    QVERIFY(make(QStringLiteral("old.png"), "older content"));
    QVERIFY(make(QStringLiteral("OLD.PDF"), "older content"));
    QVERIFY(make(QStringLiteral("blocker"), "a file, not a folder"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.png")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.pdf")));
    const QStringList before =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QString file = QDir::isAbsolutePath(target) ? target : dir.filePath(target);
    QByteArray previous;
    {
        QFile old(file);
        if (old.open(QIODevice::ReadOnly))
            previous = old.readAll();
    }

    ManagerFixture f;
    QString path;
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.resize(900, 600);
    page.setChartTotals(generateReport(f, &path));
    page.navigate(path);
    page.showCharts(true);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    feedback.fileAnswers = {file};
    page.cmdExportReport->click();
    QCOMPARE(feedback.fileDialogs.size(), 1);
    QCOMPARE(feedback.fileDialogs[0].title, QStringLiteral("Export Charts"));

    QFile result(file);
    if (!signature.isEmpty()) {
        QCOMPARE(feedback.messages.size(), 0);
        QVERIFY(result.open(QIODevice::ReadOnly));
        const QByteArray bytes = result.readAll();
        QVERIFY(bytes.startsWith(signature));
        if (signature.startsWith("\x89"))
            QVERIFY(QImage::fromData(bytes, "PNG").width() >= 800);
    } else {
        QCOMPARE(feedback.messages.size(), 1);
        QVERIFY(feedback.messages[0].text.startsWith(QStringLiteral("Could not save the charts to ") + file));
        QCOMPARE(int(feedback.messages[0].icon), int(Feedback::Icon::Critical));
        if (!previous.isEmpty()) {
            QVERIFY(result.open(QIODevice::ReadOnly));
            QCOMPARE(result.readAll(), previous);
        }
    }
    // Nothing else appears beside the target, and what was there before is still there.
    QStringList after = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    after.removeAll(target);
    QStringList expected = before;
    expected.removeAll(target);
    QCOMPARE(after, expected);
    for (const QString& old : {QStringLiteral("old.png"), QStringLiteral("OLD.PDF")}) {
        if (old == target)
            continue;
        QFile kept(dir.filePath(old));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("older content"));
    }
}

void TstReportCharts::nothingToChart() {
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.resize(900, 600);
    page.showCharts(true);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(page.rptCharts->lblNoCharts->isVisible());
    // Nothing to save or print: a beep, no dialog, and the report's buttons stay usable.
    page.cmdExportReport->click();
    page.cmdPrintReport->click();
    QCOMPARE(feedback.beeps, 2);
    QVERIFY(feedback.fileDialogs.isEmpty());
    QCOMPARE(feedback.printDialogs, 0);
    QVERIFY(page.cmdExportReport->isEnabled());
    QVERIFY(page.cmdPrintReport->isEnabled());

    // With charts, Print asks first; a cancelled dialog prints nothing and says nothing.
    ManagerFixture f;
    QString path;
    page.setChartTotals(generateReport(f, &path));
    QVERIFY(!page.rptCharts->lblNoCharts->isVisible());
    feedback.printAnswers = {false};
    page.cmdPrintReport->click();
    QCOMPARE(feedback.printDialogs, 1);
    QVERIFY(feedback.messages.isEmpty());
    page.setChartTotals(nullptr);
    QVERIFY(page.rptCharts->lblNoCharts->isVisible());
    QVERIFY(!page.rptCharts->hasCharts());
}

QTEST_MAIN(TstReportCharts)
#include "tst_reportcharts.moc"
