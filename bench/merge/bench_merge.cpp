// Benchmark of the workstation merge: a generated network merged into a store that already
// holds many rows, compared with a plain bulk insert of the same rows into an empty table.
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "network/SimNetwork.h"
#include "store/FileDatabase.h"
#include "store/ManagerDatabase.h"
#include "store/sqlite/SqliteManagerDatabase.h"
#include "store/SqlStatement.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void bench(const char* name, double value, const char* unit) {
    std::printf("BENCH %s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

// CPU time of this process: on a shared machine the wall clock also counts other people's work.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void note(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

void runAgent(const QString& agent, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(agent, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error("vcnetsim failed: " + arguments.join(' ').toStdString());
}

QStringList machinesOf(const QString& networkDir) {
    QFile file(networkDir + QStringLiteral("/network.ini"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("no network.ini");
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(QLatin1String("machines=")))
            return line.mid(9).split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    throw std::runtime_error("network.ini lists no machines");
}

// Rows of every agent database, counted without the console's code.
qint64 agentRows(const QString& networkDir, const QStringList& machines, const char* where = "",
                 int* withData = nullptr) {
    qint64 total = 0;
    int found = 0;
    for (const QString& machine : machines) {
        const QString path =
            networkDir + QLatin1Char('/') + machine + QStringLiteral("/Vellumcrest$/Data/VCWorkstation.mdb");
        if (!QFile::exists(path))
            continue;
        FileDatabase db(path, FileDatabase::Access::ReadOnly);
        const std::string sql = std::string("SELECT count(*) FROM PCDaySummary ") + where;
        SqlStatement q(db, sql.c_str());
        if (q.step() && q.int64(0) > 0) {
            total += q.int64(0);
            ++found;
        }
    }
    if (withData)
        *withData = found;
    return total;
}

// The store as a site with a long history has it: other workstations' rows over the same
// days, so the new rows land between existing ones in the date index.
void buildStore(const QString& path, const QStringList& machines, qint64 existingRows, QDate from, int days) {
    ManagerDatabase::create(path);
    FileDatabase db(path, FileDatabase::Access::ReadWrite);
    db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    // The usage table's indexes as the schema makes them: dropped while the rows go in, made
    // again afterwards.
    QList<QByteArray> indexes;
    {
        SqlStatement schema(db, "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                                "tbl_name = 'MGRDaySummary' AND sql IS NOT NULL ORDER BY rowid");
        while (schema.step()) {
            db.exec("DROP INDEX \"" + schema.text(0) + '"');
            indexes.append(schema.bytes(1) + ';');
        }
    }
    db.exec("BEGIN");
    const int oldWorkstations = 2000;
    const int oldUsers = 3000;
    const int oldTitles = 20000;
    {
        SqlStatement ws(db, "INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, ?)");
        for (int i = 0; i < oldWorkstations; ++i) {
            ws.bindText(1, QStringLiteral("RETIRED%1").arg(i, 4, 10, QLatin1Char('0')));
            ws.bindInt64(2, 0);
            ws.run();
        }
        for (const QString& machine : machines) {
            ws.bindText(1, machine);
            ws.bindInt64(2, 1);
            ws.run();
        }
        SqlStatement users(db, "INSERT INTO MGRUsers (UserName) VALUES (?)");
        for (int i = 0; i < oldUsers; ++i) {
            users.bindText(1, QStringLiteral("former.user%1").arg(i));
            users.run();
        }
        SqlStatement titles(db, "INSERT INTO MGRAppTitles (AppTitle) VALUES (?)");
        for (int i = 0; i < oldTitles; ++i) {
            titles.bindText(1, QStringLiteral("Archived document %1 - Editor").arg(i));
            titles.run();
        }

        std::vector<QByteArray> dayTexts;
        for (int d = 0; d < days; ++d)
            dayTexts.push_back(from.addDays(d).toString(Qt::ISODate).toUtf8());
        SqlStatement insert(db, "INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, "
                                "Duration, Date) VALUES (?, ?, ?, ?, ?)");
        std::uint64_t state = 88172645463325252ULL;
        const auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return state;
        };
        for (qint64 i = 0; i < existingRows; ++i) {
            const std::uint64_t r = next();
            const int workstation = 1 + int(i % oldWorkstations);
            const QByteArray& day = dayTexts[size_t((i / oldWorkstations) % days)];
            insert.bindInt64(1, 1 + int(r % oldUsers));
            insert.bindInt64(2, 1 + int((r >> 20) % oldTitles));
            insert.bindInt64(3, workstation);
            insert.bindInt64(4, qint64((r >> 40) % 7200));
            insert.bindStaticText(5, day);
            insert.run();
        }
    }
    db.exec("COMMIT");
    for (const QByteArray& index : indexes)
        db.exec(index.constData());
}

struct KeyedRow {
    int user;
    int title;
    int workstation;
    qint64 duration;
    QByteArray date;
};

std::vector<KeyedRow> rowsAfter(const QString& path, qint64 rowid) {
    std::vector<KeyedRow> rows;
    FileDatabase db(path, FileDatabase::Access::ReadOnly);
    SqlStatement q(db, "SELECT UserNameKey, AppTitleKey, WorkstationKey, Duration, Date FROM MGRDaySummary "
                       "WHERE rowid > ? ORDER BY rowid");
    q.bindInt64(1, rowid);
    while (q.step()) {
        const QByteArray date = q.bytes(4);
        rows.push_back({int(q.int64(0)), int(q.int64(1)), int(q.int64(2)), q.int64(3),
                        QByteArray(date.constData(), date.size())});
    }
    return rows;
}

qint64 maxRowid(const QString& path) {
    FileDatabase db(path, FileDatabase::Access::ReadOnly);
    SqlStatement q(db, "SELECT coalesce(max(rowid), 0) FROM MGRDaySummary");
    return q.step() ? q.int64(0) : 0;
}

// The floor: the same rows into an empty copy of the table (same indexes), one prepared
// statement, one transaction, on a connection set up as the console sets up its own.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

Timing floorSeconds(const QString& path, const std::vector<KeyedRow>& rows) {
    SqliteManagerDatabase db(path);
    FileDatabase& file = db.file();
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    file.exec("BEGIN");
    {
        SqlStatement insert(file, "INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, "
                                  "Duration, Date) VALUES (?, ?, ?, ?, ?)");
        for (const KeyedRow& row : rows) {
            insert.bindInt64(1, row.user);
            insert.bindInt64(2, row.title);
            insert.bindInt64(3, row.workstation);
            insert.bindInt64(4, row.duration);
            insert.bindStaticText(5, row.date);
            insert.step();
            insert.reset();
        }
    }
    file.exec("COMMIT");
    return {double(timer.nsecsElapsed()) / 1e9, cpuSeconds() - cpu};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"rows", "New rows in the network (approximate).", "N", "1000000"});
    parser.addOption({"existing", "Rows already in the store.", "N", "10000000"});
    parser.addOption({"machines", "Machines in the network.", "N", "200"});
    parser.addOption({"agent", "The vcnetsim executable.", "PATH", QStringLiteral(VC_AGENT_PATH)});
    parser.addOption({"work", "Folder for the network and databases (default: a temporary one).", "DIR"});
    parser.addOption({"reuse", "Reuse the network and store that an earlier run left in --work."});
    parser.process(app);

    try {
        QTemporaryDir temp;
        const QString work = parser.isSet("work") ? parser.value("work") : temp.path();
        const bool reuse = parser.isSet("reuse") && parser.isSet("work");
        const int machineCount = parser.value("machines").toInt();
        const qint64 wanted = parser.value("rows").toLongLong();
        const qint64 existing = parser.value("existing").toLongLong();
        const int rowsPerDay = 50;
        const QDate start(2026, 1, 5);

        const QString networkDir = work + QStringLiteral("/network");
        const QString pristineNetwork = work + QStringLiteral("/network.pristine");
        const QString storePath = work + QStringLiteral("/VCManager.mdb");
        const QString pristineStore = work + QStringLiteral("/VCManager.pristine.mdb");
        QSettings saved(work + QStringLiteral("/bench.ini"), QSettings::IniFormat);
        int days = 0;
        if (!reuse) {
            // Only what this benchmark writes is removed: --work may name any folder.
            QDir(pristineNetwork).removeRecursively();
            for (const QString& file : {pristineStore, storePath, work + QStringLiteral("/Floor.mdb")}) {
                for (const char* suffix : {"", "-wal", "-shm"})
                    QFile::remove(file + QLatin1String(suffix));
            }
            QDir().mkpath(work);
            QElapsedTimer setup;
            setup.start();
            // Some generated machines run no agent: size the network so that the machines with
            // data and their rows come out as asked.
            int generated = machineCount;
            days = int(std::max<qint64>(1, wanted / (qint64(machineCount) * rowsPerDay)));
            for (int attempt = 0; attempt < 2; ++attempt) {
                QDir(pristineNetwork).removeRecursively();
                runAgent(parser.value("agent"),
                         {"generate", "--network", pristineNetwork, "--machines", QString::number(generated),
                          "--days", QString::number(days), "--rows-per-day", QString::number(rowsPerDay),
                          "--users", "4", "--titles", "3000", "--start", start.toString(Qt::ISODate),
                          "--seed", "20261206"});
                int withData = 0;
                const qint64 rows = agentRows(pristineNetwork, machinesOf(pristineNetwork), "", &withData);
                if (withData >= machineCount && rows >= wanted * 95 / 100)
                    break;
                generated = int(std::ceil(double(generated) * machineCount / std::max(1, withData)));
                days = int(std::ceil(double(days) * double(wanted) / double(std::max<qint64>(1, rows)) *
                                     double(withData) / double(machineCount)));
            }
            note(QStringLiteral("network generated (%1 s)").arg(double(setup.elapsed()) / 1000));
            setup.restart();
            buildStore(pristineStore, machinesOf(pristineNetwork), existing, start.addDays(-days / 2),
                       days * 2);
            note(QStringLiteral("store: %1 rows (%2 s)").arg(existing).arg(double(setup.elapsed()) / 1000));
            saved.setValue("days", days);
            saved.sync();
        } else {
            days = saved.value("days").toInt();
        }
        // Every run starts from the same network and store.
        QDir(networkDir).removeRecursively();
        for (const QString& file : {storePath, work + QStringLiteral("/Floor.mdb")}) {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(file + QLatin1String(suffix));
        }
        if (QProcess::execute("cp", {"-a", pristineNetwork, networkDir}) != 0 ||
            !QFile::copy(pristineStore, storePath))
            throw std::runtime_error("cannot copy the pristine network and store");
        const QStringList machines = machinesOf(networkDir);
        int withData = 0;
        const qint64 networkRows = agentRows(networkDir, machines, "", &withData);
        note(QStringLiteral("network: %1 machines, %2 with data, %3 rows over %4 days")
                 .arg(machines.size())
                 .arg(withData)
                 .arg(networkRows)
                 .arg(days));

        SimNetwork network(networkDir);
        std::vector<KeyedRow> imported;
        {
            const qint64 before = maxRowid(storePath);
            const auto db = ManagerDatabase::open(storePath);
            QElapsedTimer timer;
            timer.start();
            const double cpu = cpuSeconds();
            WorkstationMerge merge(*db);
            const DownloadSummary summary = downloadWorkstations(merge, network, machines);
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            const double cpuUsed = cpuSeconds() - cpu;
            bench("merge_first_rows", double(summary.rowsImported), "rows");
            bench("merge_first_seconds", seconds, "s");
            bench("merge_first_cpu_seconds", cpuUsed, "s");
            bench("merge_first_rows_per_s", double(summary.rowsImported) / seconds, "rows/s");
            if (summary.rowsImported != networkRows)
                note(QStringLiteral("warning: imported %1 rows of %2 in the network")
                         .arg(summary.rowsImported)
                         .arg(networkRows));
            imported = rowsAfter(storePath, before);

            const Timing floor = floorSeconds(work + QStringLiteral("/Floor.mdb"), imported);
            bench("merge_floor_seconds", floor.wall, "s");
            bench("merge_floor_cpu_seconds", floor.cpu, "s");
            bench("merge_floor_rows_per_s", double(imported.size()) / floor.wall, "rows/s");
            bench("merge_ratio_to_floor", seconds / floor.wall, "ratio");
            bench("merge_cpu_ratio_to_floor", cpuUsed / floor.cpu, "ratio");
        }

        runAgent(parser.value("agent"), {"advance", "--network", networkDir, "--days", "1"});
        {
            const auto db = ManagerDatabase::open(storePath);
            QElapsedTimer timer;
            timer.start();
            const double cpu = cpuSeconds();
            WorkstationMerge merge(*db);
            const DownloadSummary summary = downloadWorkstations(merge, network, machines);
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            bench("merge_incremental_cpu_seconds", cpuSeconds() - cpu, "s");
            bench("merge_incremental_machines", double(summary.merged), "machines");
            bench("merge_incremental_rows", double(summary.rowsImported), "rows");
            bench("merge_incremental_seconds", seconds, "s");
            const QString newDay = start.addDays(days).toString(Qt::ISODate);
            const qint64 expected =
                agentRows(networkDir, machines,
                          qPrintable(QStringLiteral("WHERE substr(Date, 1, 10) = '%1'").arg(newDay)));
            if (summary.rowsImported != expected)
                note(QStringLiteral("warning: incremental imported %1 rows, the new day holds %2")
                         .arg(summary.rowsImported)
                         .arg(expected));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_merge: %s\n", e.what());
        return 1;
    }
    return 0;
}
