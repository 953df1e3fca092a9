// Report benchmark: one month and the full range of a 10-million-row store, extraction plus
// report file, against the floor of one grouped query over pre-mapped titles.
// The cached store is used in place: each run empties and refills its working table.
#include "base/VcError.h"
#include "report/ApplicationNames.h"
#include "report/GenerateData.h"
#include "report/ReportProgress.h"
#include "report/WriteReportFile.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"
#include "support/BenchStore.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <sys/resource.h>

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
    double extract = 0;
    double write = 0;
    double cpu = 0; // processor time of both: the machine may be shared
    double total() const { return extract + write; }
};

Timing runReport(ManagerDatabase& database, const ReportCriteria& criteria, const QString& file,
                 ExtractionCounts* counts) {
    ReportProgress progress;
    int step = 0;
    const double cpu = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    *counts = GenerateData(database, criteria, progress, step);
    Timing t;
    t.extract = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    timer.restart();
    WriteReportFile(database, file, progress, step);
    t.write = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    t.cpu = cpuSeconds() - cpu;
    return t;
}

// The floor: per-day, per-application sums from one grouped query, titles already mapped.
double floorQuery(ManagerDatabase& database, QDate from, QDate to, qint64* groups) {
    SqlStatement query(database.handle(), "SELECT s.Date, m.App, SUM(s.Duration) FROM MGRDaySummary s "
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

void mapTitles(ManagerDatabase& database) {
    sqlite3* db = database.handle();
    SqlStatement::exec(
        db, "CREATE TEMP TABLE IF NOT EXISTS BenchTitleApp (AppTitleID INTEGER PRIMARY KEY, App TEXT)");
    SqlStatement::exec(db, "DELETE FROM temp.BenchTitleApp");
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

template <typename F> double best(int times, F f) {
    double result = 1e300;
    for (int i = 0; i < times; ++i)
        result = std::min(result, f());
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const BenchStore::Parameters parameters;
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
        ManagerDatabase database(path);
        QTemporaryDir out;
        const QString file = out.path() + QStringLiteral("/Report.html");

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
            runReport(database, criteria, file, &counts); // warms the page cache
            Timing month;
            const double monthTotal = best(3, [&] {
                const Timing t = runReport(database, criteria, file, &counts);
                if (t.total() < month.total() || month.total() == 0)
                    month = t;
                return t.total();
            });
            std::printf(
                "month: %lld rows, %lld merged, %lld report rows; extract %.3f s, write %.3f s, cpu %.3f s\n",
                static_cast<long long>(counts.extracted), static_cast<long long>(counts.merged),
                static_cast<long long>(counts.kept), month.extract, month.write, month.cpu);
            const double monthFloor =
                best(3, [&] { return floorQuery(database, monthStart, monthEnd, &groups); });
            bench("report_month_s", monthTotal, "s");
            bench("report_month_cpu_s", month.cpu, "s");
            bench("report_month_floor_s", monthFloor, "s");
            bench("report_month_ratio_to_floor", monthTotal / monthFloor, "ratio");
        }

        criteria.startDate = first;
        criteria.endDate = last;
        const Timing full = runReport(database, criteria, file, &counts);
        std::printf("full: %lld rows, %lld merged, %lld report rows; extract %.3f s, write %.3f s, cpu %.3f "
                    "s, file %lld bytes\n",
                    static_cast<long long>(counts.extracted), static_cast<long long>(counts.merged),
                    static_cast<long long>(counts.kept), full.extract, full.write, full.cpu,
                    static_cast<long long>(QFileInfo(file).size()));
        const double fullFloor = fullOnly ? 0.0 : floorQuery(database, first, last, &groups);
        bench("report_full_s", full.total(), "s");
        bench("report_full_cpu_s", full.cpu, "s");
        bench("report_full_floor_s", fullFloor, "s");

        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        bench("report_peak_rss", static_cast<double>(usage.ru_maxrss) / 1024.0, "MB");
    } catch (const VcError& error) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
