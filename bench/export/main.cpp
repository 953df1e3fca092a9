// Export benchmark: times exporting one calendar month of the big store into a new file.
#include "base/Feedback.h"
#include "export/DataExport.h"
#include "store/ManagerDatabase.h"
#include "store/UsageScan.h"
#include "support/BenchStore.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <vector>

namespace {
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A benchmark has no operator: messages go to the terminal and questions are refused.
class ConsoleFeedback : public Feedback {
public:
    Answer message(const QString& text, const QString& title, Icon, Buttons buttons) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        ++messages;
        return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    }
    void beep() override {}
    std::optional<QString> saveFileName(const FileDialog&) override { return std::nullopt; }
    std::optional<QString> openFileName(const FileDialog&) override { return std::nullopt; }
    bool print(QPrinter&) override { return false; }
    int messages = 0;
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    BenchStore::Parameters parameters;
    const QStringList args = app.arguments();
    if (args.size() > 1)
        parameters.rows = args.at(1).toLongLong();
    const int runs = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 3;

    const QString storePath = BenchStore::managerStore(parameters);
    const std::unique_ptr<ManagerDatabase> store = ManagerDatabase::open(storePath);
    ManagerDatabase& database = *store;
    // A whole calendar month well inside the store's days.
    const QDate monthStart =
        parameters.firstDay.addMonths(3).addDays(1 - parameters.firstDay.addMonths(3).day());
    const QDate monthEnd = monthStart.addMonths(1).addDays(-1);

    QTemporaryDir folder;
    ConsoleFeedback feedback;
    std::vector<double> seconds;
    std::vector<double> cpu;
    qint64 rows = 0;
    for (int run = 0; run < runs; ++run) {
        const QString target = folder.filePath(QStringLiteral("export%1.mdb").arg(run));
        DataExport exporter(feedback, database);
        QElapsedTimer timer;
        const double cpuStart = cpuSeconds();
        timer.start();
        const std::optional<QString> status = exporter.ExportData(target, monthStart, monthEnd);
        seconds.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        cpu.push_back(cpuSeconds() - cpuStart);
        if (!status || feedback.messages > 0) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
        rows = exporter.rowsAdded();
        std::printf("run %d: %.3f s (%.3f s of processor time), %lld rows written\n", run + 1, seconds.back(),
                    cpu.back(), static_cast<long long>(rows));
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpu.begin(), cpu.end());
    qint64 sourceRows = 0;
    {
        const std::unique_ptr<UsageScan> scan = database.openUsageScan(monthStart, monthEnd);
        UsageScan::Row row;
        while (scan->next(row))
            ++sourceRows;
    }
    std::printf("month %s .. %s of %s\n", qPrintable(monthStart.toString(Qt::ISODate)),
                qPrintable(monthEnd.toString(Qt::ISODate)), qPrintable(storePath));
    std::printf("BENCH export_month_seconds %.3f s\n", seconds[seconds.size() / 2]);
    // The machine may be shared: processor time shows the cost when the wall clock is crowded.
    std::printf("BENCH export_month_cpu_seconds %.3f s\n", cpu[cpu.size() / 2]);
    std::printf("BENCH export_month_source_rows %lld rows\n", static_cast<long long>(sourceRows));
    std::printf("BENCH export_month_rows %lld rows\n", static_cast<long long>(rows));
    return 0;
}
