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

#include <QBarSet>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QHorizontalStackedBarSeries>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedBarSeries>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

namespace {
// The page's own controls, found as the operator's tools name them.
ReportCharts* charts(const frameReports& page) {
    return TestEnv::child<ReportCharts>(&page, "rptCharts");
}
QPushButton* button(const frameReports& page, const char* name) {
    return TestEnv::child<QPushButton>(&page, name);
}
template <typename Series> const Series* seriesOf(const ReportCharts* charts, const char* view) {
    return qobject_cast<Series*>(TestEnv::child<QChartView>(charts, view)->chart()->series().value(0));
}
bool noChartsShown(const frameReports& page) {
    return TestEnv::child<QLabel>(charts(page), "lblNoCharts")->isVisible();
}

// A report of three weeks: five applications, every day.
std::shared_ptr<const ReportSums> threeWeeks(ManagerFixture& f, QString* path) {
    f.addGrouping("Mail", {"inbox"});
    f.addGrouping("Writer", {"writer"});
    f.addGrouping("Browser", {"browser"});
    const QStringList titles{"Inbox", "a - Writer", "Browser", "Solitaire", "Desktop"};
    for (int d = 0; d < 21; ++d)
        for (int t = 0; t < titles.size(); ++t)
            f.addUsage("WS1", "anna", titles[t], QDate(2024, 3, 1).addDays(d), 90 * (t + 1) + 30 * d);
    ReportProgress progress;
    int step = 0;
    const ReportCriteria criteria{QDate(2024, 3, 1), QDate(2024, 3, 21), f.allApplications(), f.allUsers(),
                                  f.allWorkstations()};
    const ReportOutcome outcome = generateReport(f.db(), criteria, f.programFolder(), progress, step);
    *path = outcome.path;
    return outcome.report;
}

// Two years of 40 applications, as a long-running site has them.
std::shared_ptr<const ReportSums> twoYears() {
    auto sums = std::make_shared<ReportSums>();
    sums->setRange(QDate(2023, 1, 1), QDate(2024, 12, 30));
    for (QDate day = sums->firstDay(); day <= sums->lastDay(); day = day.addDays(1)) {
        for (int i = 0; i < 40; ++i)
            sums->add(day, QByteArray("Application ") + QByteArray::number(i), "u", "w", double(i % 7 + 1));
    }
    return sums;
}

QStringList entries(const QTemporaryDir& dir, const QString& except) {
    QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll(except);
    return names;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TstReportCharts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void toggleShowsTheReportsNumbers();
    void save_data();
    void save();
    void nothingToChart();
};

void TstReportCharts::toggleShowsTheReportsNumbers() {
    ManagerFixture f;
    QString path;
    const auto report = threeWeeks(f, &path);
    QVERIFY(report);
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.resize(1400, 600);
    page.navigate(path, report);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // Nothing is computed for charts nobody looks at.
    QVERIFY(charts(page)->data().isEmpty());
    // Tab goes from the report to the buttons, left to right.
    const auto tabFrom = [](QWidget* widget) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        return widget;
    };
    QCOMPARE(tabFrom(TestEnv::child<QTextBrowser>(&page, "brwReport")), button(page, "cmdCharts"));
    QCOMPARE(tabFrom(button(page, "cmdCharts")), button(page, "cmdPrintReport"));
    QCOMPARE(tabFrom(button(page, "cmdPrintReport")), button(page, "cmdExportReport"));

    button(page, "cmdCharts")->click();
    QVERIFY(charts(page)->isVisible());
    QVERIFY(!TestEnv::child<QTextBrowser>(&page, "brwReport")->isVisible());
    const ChartData& data = charts(page)->data();
    const ChartData expected = ChartData::build(*report, ChartData::kMaxBars, ReportCharts::kMaxSeries);
    QCOMPARE(int(data.period()), int(ChartData::Period::Day));
    // The stacked bars carry their own key, and the buttons say they act on the charts.
    QVERIFY(TestEnv::child<QChartView>(charts(page), "chvMinutes")->chart()->legend()->isVisible());
    QCOMPARE(button(page, "cmdExportReport")->text(), "&Export Charts");
    QCOMPARE(button(page, "cmdPrintReport")->text(), "&Print Charts");
    const auto* stacked = seriesOf<QStackedBarSeries>(charts(page), "chvMinutes");
    QVERIFY(stacked);
    QCOMPARE(size_t(stacked->count()), expected.series().size());
    for (int i = 0; i < stacked->count(); ++i) {
        const ChartData::Series& series = expected.series()[size_t(i)];
        const QBarSet* set = stacked->barSets()[i];
        QCOMPARE(set->label(), series.name);
        QCOMPARE(set->count(), 21);
        for (int bar = 0; bar < set->count(); ++bar) // over two hours a bar: the axis counts hours
            QCOMPARE(set->at(bar), double(series.minutes[size_t(bar)]) / (expected.inHours() ? 60.0 : 1.0));
    }
    // One share bar per application, the largest at the top.
    const auto* horizontal = seriesOf<QHorizontalStackedBarSeries>(charts(page), "chvShares");
    QVERIFY(horizontal);
    const int n = horizontal->count();
    QCOMPARE(size_t(n), data.series().size());
    for (int i = 0; i < n; ++i)
        QCOMPARE(horizontal->barSets()[i]->at(n - 1 - i), data.sharePercent(data.series()[size_t(i)]));

    // A report generated while the charts are shown replaces them at once; the window's width
    // never changes the period (a saved or printed chart is the one on the screen).
    page.navigate(path, twoYears());
    QCOMPARE(int(charts(page)->data().period()), int(ChartData::Period::Month));
    page.resize(5400, 600);
    QTest::qWait(20);
    QCOMPARE(int(charts(page)->data().period()), int(ChartData::Period::Month));
    stacked = seriesOf<QStackedBarSeries>(charts(page), "chvMinutes");
    QVERIFY(stacked);
    QCOMPARE(size_t(stacked->barSets().value(0)->count()), charts(page)->data().barStarts().size());

    button(page, "cmdCharts")->click();
    QVERIFY(!page.chartsShown());
    QVERIFY(TestEnv::child<QTextBrowser>(&page, "brwReport")->isVisible());
    QCOMPARE(button(page, "cmdExportReport")->text(), "&Export Report");
}

void TstReportCharts::save_data() {
    QTest::addColumn<QString>("target"); // relative to a temporary folder, unless absolute
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("new PNG") << "charts.png" << QByteArray("\x89PNG");
    QTest::newRow("replaces an older PNG") << "old.png" << QByteArray("\x89PNG");
    QTest::newRow("replaces an older PDF") << "OLD.PDF" << QByteArray("%PDF-");
    QTest::newRow("PNG in a folder that is a file") << "blocker/charts.png" << QByteArray();
    QTest::newRow("PNG over a folder") << "folder.png" << QByteArray();
    QTest::newRow("PDF over a folder") << "folder.pdf" << QByteArray();
    // Not even root writes there: the existing file stays as it is.
    QTest::newRow("existing file in a read-only folder") << "/proc/version" << QByteArray();
}

void TstReportCharts::save() {
    QFETCH(QString, target);
    QFETCH(QByteArray, signature);
    QTemporaryDir dir;
    for (const char* name : {"old.png", "OLD.PDF", "blocker"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("older content") > 0);
    }
    QVERIFY(QDir(dir.path()).mkdir("folder.png"));
    QVERIFY(QDir(dir.path()).mkdir("folder.pdf"));
    const QStringList before = entries(dir, target);
    const QString file = QDir::isAbsolutePath(target) ? target : dir.filePath(target);
    const QByteArray previous = readAll(file);

    ManagerFixture f;
    QString path;
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.resize(900, 600);
    const auto report = threeWeeks(f, &path);
    page.navigate(path, report);
    page.showCharts(true);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    feedback.fileAnswers = {file};
    QSignalSpy saved(&page, &frameReports::statusText);
    button(page, "cmdExportReport")->click();
    QCOMPARE(feedback.fileDialogs.size(), 1);
    // The name carries the days; a saved file is said on the status line.
    QVERIFY(feedback.fileDialogs[0].initialName.startsWith("Charts 2024-03-01 to 2024-03-21."));
    QCOMPARE(saved.size(), signature.isEmpty() ? 0 : 1);

    const QByteArray bytes = readAll(file);
    QCOMPARE(feedback.messages.size(), signature.isEmpty() ? 1 : 0);
    if (!signature.isEmpty()) {
        QVERIFY(bytes.startsWith(signature));
        if (signature.startsWith("\x89"))
            QVERIFY(QImage::fromData(bytes, "PNG").width() >= 800);
    } else {
        QVERIFY(feedback.messages[0].text.startsWith("Could not save the charts to " + file));
        QCOMPARE(bytes, previous);
    }
    // Nothing else appears beside the target, and what was there before is still there.
    QCOMPARE(entries(dir, target), before);
    for (const char* old : {"old.png", "OLD.PDF"})
        if (old != target)
            QCOMPARE(readAll(dir.filePath(old)), QByteArray("older content"));
}

void TstReportCharts::nothingToChart() {
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.resize(900, 600);
    page.showCharts(true);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(noChartsShown(page));
    // Nothing to save or print: a beep, no dialog, and the report's buttons stay usable.
    button(page, "cmdExportReport")->click();
    button(page, "cmdPrintReport")->click();
    QCOMPARE(feedback.beeps, 2);
    QVERIFY(feedback.fileDialogs.isEmpty());
    QCOMPARE(feedback.printDialogs, 0);
    QVERIFY(button(page, "cmdExportReport")->isEnabled());
    QVERIFY(button(page, "cmdPrintReport")->isEnabled());

    // With charts, Print asks first; a cancelled dialog prints nothing and says nothing.
    ManagerFixture f;
    QString path;
    const auto report = threeWeeks(f, &path);
    page.navigate(path, report);
    QVERIFY(!noChartsShown(page));
    feedback.printAnswers = {false};
    button(page, "cmdPrintReport")->click();
    QCOMPARE(feedback.printDialogs, 1);
    QVERIFY(feedback.messages.isEmpty());
    page.navigate(f.programFolder() + "/Data/HTML/NoData.html");
    QVERIFY(noChartsShown(page));
}

QTEST_MAIN(TstReportCharts)
#include "tst_reportcharts.moc"
