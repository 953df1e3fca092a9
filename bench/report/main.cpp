// Report benchmark: one month and the full range of a 10-million-row store, extraction plus
// report file, and the Reports page opening on all days, against the floor of one pass over the
// covering date index with pre-mapped titles (and, for reference, one grouped query).
// The cached store is used in place and only read.
#include "app/HeadlessFeedback.h"
#include "base/VcError.h"
#include "groupings/ApplicationNames.h"
#include "report/frameData.h"
#include "report/frameReports.h"
#include "report/frmGenerateReport.h"
#include "report/GenerateReport.h"
#include "report/ReportDisplay.h"
#include "report/ReportProgress.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/sqlite/SqliteManagerDatabase.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"
#include "support/BenchStore.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <sys/resource.h>
#include <vector>

namespace {

void bench(const char* name, double value, const char* unit) {
    std::printf("BENCH %s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Timing {
    double seconds = 0;
    double cpu = 0; // processor time: the machine may be shared
    double total() const { return seconds; }
};

// One report as the report window runs it: extraction and the file under programFolder.
Timing runReport(ManagerDatabase& database, const ReportCriteria& criteria, const QString& programFolder,
                 ExtractionCounts* counts) {
    ReportProgress progress;
    int step = 0;
    const double cpu = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const ReportOutcome outcome = generateReport(database, criteria, programFolder, progress, step);
    Timing t;
    t.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    t.cpu = cpuSeconds() - cpu;
    *counts = outcome.counts;
    if (outcome.page != ReportPage::Report)
        throw VcError(ErrorNumber::DatabaseFailure, QStringLiteral("the criteria chose no report"));
    return t;
}

// The floor: per-day, per-application sums from one grouped query, titles already mapped.
double floorQuery(SqliteManagerDatabase& database, QDate from, QDate to, qint64* groups) {
    SqlStatement query(database.file(), "SELECT s.Date, m.App, SUM(s.Duration) FROM MGRDaySummary s "
                                        "JOIN temp.BenchTitleApp m ON m.AppTitleID = s.AppTitleKey "
                                        "WHERE s.Date >= ? AND s.Date < ? GROUP BY s.Date, m.App");
    const QByteArray lo = Dates::toStored(from).toUtf8();
    const QByteArray hi = Dates::toStored(to.addDays(1)).toUtf8();
    query.bindStaticText(1, lo);
    query.bindStaticText(2, hi);
    QElapsedTimer timer;
    timer.start();
    *groups = 0;
    while (query.step())
        ++*groups;
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// The floor the report pays on this store: one pass over the covering date index, each title
// mapped once beforehand, seconds summed per (day, application) and handed over per day.
Timing floorPass(SqliteManagerDatabase& database, QDate from, QDate to, qint64* groups) {
    std::vector<int> appOfTitle;
    int applications = 0;
    {
        QHash<QString, int> indexOfApp;
        SqlStatement map(database.file(), "SELECT AppTitleID, App FROM temp.BenchTitleApp");
        while (map.step()) {
            const auto title = static_cast<size_t>(map.int64(0));
            if (title >= appOfTitle.size())
                appOfTitle.resize(title + 1, -1);
            const auto it = indexOfApp.insert(map.text(1), indexOfApp.value(map.text(1), applications));
            if (it.value() == applications)
                ++applications;
            appOfTitle[title] = it.value();
        }
    }
    SqlStatement rows(database.file(), "SELECT Date, AppTitleKey, Duration FROM MGRDaySummary "
                                       "WHERE Date >= ? AND Date < ? ORDER BY Date");
    const QByteArray lo = Dates::toStored(from).toUtf8();
    const QByteArray hi = Dates::toStored(to.addDays(1)).toUtf8();
    rows.bindStaticText(1, lo);
    rows.bindStaticText(2, hi);
    const double cpu = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    std::vector<double> sums(static_cast<size_t>(applications), 0.0);
    std::vector<char> used(sums.size(), 0);
    QByteArray day;
    *groups = 0;
    const auto flush = [&] {
        for (size_t app = 0; app < sums.size(); ++app) {
            *groups += used[app];
            used[app] = 0;
            sums[app] = 0;
        }
    };
    while (rows.step()) {
        const QByteArray date = rows.bytes(0);
        if (date != day) {
            flush();
            day = QByteArray(date.constData(), date.size());
        }
        const auto title = static_cast<size_t>(rows.int64(1));
        const int app = title < appOfTitle.size() ? appOfTitle[title] : -1;
        if (app < 0)
            continue;
        sums[static_cast<size_t>(app)] += rows.real(2);
        used[static_cast<size_t>(app)] = 1;
    }
    flush();
    Timing t;
    t.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    t.cpu = cpuSeconds() - cpu;
    return t;
}

void mapTitles(SqliteManagerDatabase& database) {
    FileDatabase& db = database.file();
    db.exec("CREATE TEMP TABLE IF NOT EXISTS BenchTitleApp (AppTitleID INTEGER PRIMARY KEY, App TEXT)");
    db.exec("DELETE FROM temp.BenchTitleApp");
    ApplicationNames names(database);
    SqlStatement insert(db, "INSERT INTO temp.BenchTitleApp (AppTitleID, App) VALUES (?, ?)");
    SqlTransaction transaction(db);
    for (const auto& title : database.appTitles()) {
        insert.bindInt64(1, title.id);
        insert.bindText(2, names.GetApplicationName(title.name));
        insert.run();
    }
    transaction.commit();
}

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The Reports page as the main window opens it, with the criteria page's defaults (every day,
// every item checked): from the switch to the report painted. Run in its own process so that
// its peak memory is the page's alone.
int reportsPage(const QString& store) {
    QTemporaryDir programFolder;
    QDir().mkpath(programFolder.filePath(QStringLiteral("Data/HTML")));
    for (const char* page : {"Blank.html", "NoData.html", "NoSelection.html"})
        QFile::copy(QStringLiteral(VC_SOURCE_DIR "/Data/HTML/") + QLatin1String(page),
                    programFolder.filePath(QStringLiteral("Data/HTML/")) + QLatin1String(page));
    SqliteManagerDatabase database(store);
    HeadlessFeedback feedback;
    frameData criteria(database, feedback);
    criteria.LoadReportCriteria();
    frameReports page(feedback);
    page.resize(700, 560); // the page area of the main window's first size
    page.show();
    QCoreApplication::processEvents();

    const double cpu = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    page.navigate(programFolder.filePath(QStringLiteral("Data/HTML/Blank.html")));
    page.repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    {
        frmGenerateReport generate(database, criteria.criteria(), programFolder.path(), feedback, &page);
        QObject::connect(&generate, &frmGenerateReport::pageChosen, &page, &frameReports::navigate);
        generate.exec();
    }
    page.repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!page.currentPath().endsWith(QLatin1String("Report.html"))) {
        std::fprintf(stderr, "bench_report: the page shows %s, not the report\n",
                     qPrintable(page.currentPath()));
        return 1;
    }
    const auto* shown = page.findChild<QTextBrowser*>(QStringLiteral("brwReport"));
    std::printf("page: %lld characters shown\n",
                static_cast<long long>(shown ? shown->document()->characterCount() : 0));
    bench("report_page_s", seconds, "s");
    bench("report_page_cpu_s", cpuSeconds() - cpu, "s");
    bench("report_page_peak_rss", peakRssMb(), "MB");
    return 0;
}

// The report file handed to the view as HTML, as the page did before it laid reports out itself.
int htmlView(const QString& file) {
    QTextBrowser view;
    view.resize(700, 520);
    view.show();
    QCoreApplication::processEvents();
    const double cpu = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return 1;
    view.setHtml(reportHtmlForDisplay(in.readAll()));
    view.repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    bench("report_html_view_s", static_cast<double>(timer.nsecsElapsed()) / 1e9, "s");
    bench("report_html_view_cpu_s", cpuSeconds() - cpu, "s");
    bench("report_html_view_peak_rss", peakRssMb(), "MB");
    return 0;
}

// Runs a measure in a child process, for a peak memory of its own; its lines are passed on
// and its time (the BENCH lines <name>_s and <name>_cpu_s) returned.
Timing runChild(const QString& program, const QStringList& arguments, const QByteArray& name) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, arguments);
    child.waitForFinished(-1);
    Timing t;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        std::printf("%s\n", line.constData());
        if (line.startsWith("BENCH " + name + "_s "))
            t.seconds = line.split(' ').value(2).toDouble();
        if (line.startsWith("BENCH " + name + "_cpu_s "))
            t.cpu = line.split(' ').value(2).toDouble();
    }
    std::fflush(stdout);
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 ? t : Timing();
}

template <typename F> double best(int times, F f) {
    double result = 1e300;
    for (int i = 0; i < times; ++i)
        result = std::min(result, f());
    return result;
}

} // namespace

int main(int argc, char** argv) {
    const BenchStore::Parameters parameters;
    const bool page = argc >= 2 && std::strcmp(argv[1], "--page") == 0;
    const bool view = argc >= 3 && std::strcmp(argv[1], "--html-view") == 0;
    if (page || view) {
        QApplication app(argc, argv);
        try {
            return page ? reportsPage(BenchStore::cachedPath(parameters)) : htmlView(app.arguments().at(2));
        } catch (const VcError& error) {
            std::fprintf(stderr, "bench_report: %s\n", qPrintable(error.description()));
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--build-store"))) {
        BenchStore::managerStore(parameters);
        return 0;
    }
    try {
        // Built in a child process, so the peak memory below is the report's alone.
        const QString path = BenchStore::cachedPath(parameters);
        if (!QFileInfo::exists(path)) {
            std::printf("building the store (once; cached at %s)\n", qPrintable(path));
            std::fflush(stdout);
            if (QProcess::execute(app.applicationFilePath(), {QStringLiteral("--build-store")}) != 0)
                return 1;
        }
        SqliteManagerDatabase database(path);
        QTemporaryDir out;
        QDir().mkpath(out.filePath(QStringLiteral("Data/HTML")));
        const QString file = out.filePath(QStringLiteral("Data/HTML/Report.html"));

        ReportCriteria criteria;
        criteria.applications.append(kUndefinedApplications);
        for (const auto& grouping : database.groupings())
            criteria.applications.append(grouping.alias);
        for (const auto& user : database.users())
            criteria.users.append(user.name);
        for (const auto& workstation : database.workstations())
            criteria.workstations.append(workstation.name);
        mapTitles(database);

        const QDate first = parameters.firstDay;
        const QDate last = first.addDays(parameters.days - 1);
        const QDate monthStart(2023, 6, 1);
        const QDate monthEnd(2023, 6, 30);

        ExtractionCounts counts;
        qint64 groups = 0;
        const bool fullOnly = app.arguments().contains(QStringLiteral("--full-only"));
        if (!fullOnly) {
            criteria.startDate = monthStart;
            criteria.endDate = monthEnd;
            runReport(database, criteria, out.path(), &counts); // warms the page cache
            Timing month;
            const double monthTotal = best(3, [&] {
                const Timing t = runReport(database, criteria, out.path(), &counts);
                if (t.total() < month.total() || month.total() == 0)
                    month = t;
                return t.total();
            });
            std::printf("month: %lld rows, %lld merged, %lld report rows; %.3f s, cpu %.3f s\n",
                        static_cast<long long>(counts.extracted), static_cast<long long>(counts.merged),
                        static_cast<long long>(counts.kept), month.seconds, month.cpu);
            const double monthQuery =
                best(3, [&] { return floorQuery(database, monthStart, monthEnd, &groups); });
            bench("report_month_floor_query_s", monthQuery, "s");
            Timing monthFloor;
            best(3, [&] {
                const Timing t = floorPass(database, monthStart, monthEnd, &groups);
                if (t.total() < monthFloor.total() || monthFloor.total() == 0)
                    monthFloor = t;
                return t.total();
            });
            bench("report_month_s", monthTotal, "s");
            bench("report_month_cpu_s", month.cpu, "s");
            bench("report_month_floor_s", monthFloor.seconds, "s");
            bench("report_month_floor_cpu_s", monthFloor.cpu, "s");
            bench("report_month_ratio_to_floor", monthTotal / monthFloor.seconds, "ratio");
            bench("report_month_cpu_ratio_to_floor", month.cpu / monthFloor.cpu, "ratio");
            if (app.arguments().contains(QStringLiteral("--month-only")))
                return 0;
        }

        criteria.startDate = first;
        criteria.endDate = last;
        const Timing full = runReport(database, criteria, out.path(), &counts);
        std::printf("full: %lld rows, %lld merged, %lld report rows; %.3f s, cpu %.3f s, file %lld bytes\n",
                    static_cast<long long>(counts.extracted), static_cast<long long>(counts.merged),
                    static_cast<long long>(counts.kept), full.seconds, full.cpu,
                    static_cast<long long>(QFileInfo(file).size()));
        if (!fullOnly)
            bench("report_full_floor_query_s", floorQuery(database, first, last, &groups), "s");
        bench("report_full_s", full.total(), "s");
        bench("report_full_cpu_s", full.cpu, "s");
        bench("report_peak_rss", peakRssMb(), "MB");
        if (fullOnly)
            return 0;
        const Timing fullFloor = floorPass(database, first, last, &groups);
        bench("report_full_floor_s", fullFloor.seconds, "s");
        bench("report_full_floor_cpu_s", fullFloor.cpu, "s");
        bench("report_full_ratio_to_floor", full.total() / fullFloor.seconds, "ratio");
        bench("report_full_cpu_ratio_to_floor", full.cpu / fullFloor.cpu, "ratio");

        const Timing pageTiming =
            runChild(app.applicationFilePath(), {QStringLiteral("--page")}, "report_page");
        if (pageTiming.seconds <= 0)
            return 1;
        bench("report_page_ratio_to_full_floor", pageTiming.seconds / fullFloor.seconds, "ratio");
        bench("report_page_cpu_ratio_to_full_floor", pageTiming.cpu / fullFloor.cpu, "ratio");
        // The same file as the page showed it before, as HTML: what the light document saves.
        runChild(app.applicationFilePath(), {QStringLiteral("--html-view"), file}, "report_html_view");
    } catch (const VcError& error) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
