// The download window over a simulated network: steps, texts and what reaches the database.
#include "collect/DataDownload.h"
#include "collect/frmDownloadData.h"
#include "collect/WorkstationMerge.h"
#include "discovery/SimNetwork.h"
#include "base/TextUtils.h"
#include "base/VcError.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QProgressBar>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {
qint64 count(ManagerDatabase& db, const QString& table) {
    QSqlQuery q(db.db());
    q.exec(QStringLiteral("SELECT count(*) FROM ") + table);
    return q.next() ? q.value(0).toLongLong() : -1;
}

QStringList networkMachines(const QString& dir) {
    QFile file(dir + QStringLiteral("/network.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("machines=")))
            return line.mid(9).trimmed().split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    return {};
}

// What a download of machines in order should import, counted straight from the agent files:
// a row counts when its day is readable and later than since, and its user and title were
// listed by this machine or one read before it (in any letter case).
qint64 expectedRows(const QString& dir, const QStringList& machines, QDate since) {
    QSet<QString> users;
    QSet<QString> titles;
    qint64 total = 0;
    for (const QString& machine : machines) {
        const QString path =
            dir + QLatin1Char('/') + machine + QStringLiteral("/Vellumcrest$/Data/VCWorkstation.mdb");
        if (!QFile::exists(path))
            continue;
        {
            QSqlDatabase agent =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("oracle"));
            agent.setDatabaseName(path);
            agent.open();
            QSqlQuery q(agent);
            q.exec(QStringLiteral("SELECT UserName FROM PCUsers"));
            while (q.next())
                users.insert(q.value(0).toString().toCaseFolded());
            q.exec(QStringLiteral("SELECT AppTitle FROM PCAppTitles"));
            while (q.next())
                titles.insert(BlankDoubleQuotes(q.value(0).toString()).toCaseFolded());
            q.exec(QStringLiteral("SELECT Date, UserName, AppTitle, Duration FROM PCDaySummary"));
            while (q.next()) {
                const QDate day = Dates::fromStored(q.value(0).toString());
                if (day.isValid() && (!since.isValid() || day > since) && q.value(3).toLongLong() >= 0 &&
                    users.contains(q.value(1).toString().toCaseFolded()) &&
                    titles.contains(BlankDoubleQuotes(q.value(2).toString()).toCaseFolded()))
                    ++total;
            }
            agent.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("oracle"));
    }
    return total;
}

// Machines whose agent file holds a day later than since.
qint64 machinesWithDayAfter(const QString& dir, const QStringList& machines, QDate since) {
    qint64 count = 0;
    for (const QString& machine : machines) {
        const QString path =
            dir + QLatin1Char('/') + machine + QStringLiteral("/Vellumcrest$/Data/VCWorkstation.mdb");
        if (!QFile::exists(path))
            continue;
        {
            QSqlDatabase agent =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("oracle"));
            agent.setDatabaseName(path);
            agent.open();
            QSqlQuery q(agent);
            q.prepare(QStringLiteral("SELECT count(*) FROM PCDaySummary WHERE substr(Date, 1, 10) > ?"));
            q.addBindValue(Dates::toStored(since));
            q.exec();
            if (q.next() && q.value(0).toLongLong() > 0)
                ++count;
            agent.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("oracle"));
    }
    return count;
}

qint64 scalar(ManagerDatabase& db, const QString& sql) {
    QSqlQuery q(db.db());
    q.exec(sql);
    return q.next() ? q.value(0).toLongLong() : -1;
}

// A run whose write of the second day row of one workstation fails.
DownloadSummary downloadFailingAt(ManagerDatabase& db, Network& network, const QStringList& machines,
                                  const QString& failing) {
    WorkstationMerge merge(db);
    QString current;
    merge.setRowWrittenHook([&](qint64 written) {
        if (current == failing && written == 2)
            throw VcError(ErrorNumber::DatabaseFailure, "injected");
    });
    DownloadObserver observer;
    observer.starting = [&](const QString& name) { current = name; };
    return DownloadWorkstations(merge, network, machines, observer);
}
} // namespace

class tst_download : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void noCheckedWorkstation();
    void threeCheckedOneUnreachable();
    void generatedNetworkFirstSecondAndNextDay();
    void failedWorkstationInsideARun();
    void everyAttemptIsRecorded();
    void mergedRecordSharesTheMergesTransaction();
};

void tst_download::noCheckedWorkstation() {
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {"WS1"});
    writer.writeAgentService("WS1");
    writer.writeAgentDatabase("WS1", {"alice"}, {"Inbox - Mail"},
                              {{"2024-03-01", "alice", "Inbox - Mail", 60}});
    SimNetwork network(writer.dir());
    ManagerDatabase db(dir.filePath("VCManager.mdb"));
    QSqlQuery(db.db()).exec("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('WS1', 0)");

    frmDownloadData form;
    QSignalSpy status(&form, &frmDownloadData::statusText);
    QSignalSpy snapshot(&form, &frmDownloadData::snapshotDateChanged);
    form.show();
    form.DownloadData({}, db, network);
    QVERIFY(!form.isVisible());
    QCOMPARE(status.count(), 0);
    QCOMPARE(snapshot.count(), 0);
    QCOMPARE(form.pbWorkstations->value(), 0);
    QCOMPARE(count(db, "MGRUsers"), 0);
    QCOMPARE(count(db, "MGRDaySummary"), 0);
}

void tst_download::threeCheckedOneUnreachable() {
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {"WS1", "WS2", "WS3"});
    for (const QString ws : {"WS1", "WS2", "WS3"})
        writer.writeAgentService(ws);
    writer.writeAgentDatabase("WS1", {"alice"}, {"Inbox - Mail"},
                              {{"2024-03-01", "alice", "Inbox - Mail", 60}});
    // WS2 has no share at all.
    writer.writeAgentDatabase(
        "WS3", {"bob"}, {"Inbox - Mail"},
        {{"2024-02-29 17:00:00", "bob", "Inbox - Mail", 30}, {"2024-02-28", "bob", "Inbox - Mail", 5}});
    SimNetwork network(writer.dir());
    ManagerDatabase db(dir.filePath("VCManager.mdb"));
    for (const QString ws : {"WS1", "WS2", "WS3"})
        QSqlQuery(db.db()).exec(
            QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('%1', 1)").arg(ws));

    frmDownloadData form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Vellumcrest\u2122 Data Download"));
    QSignalSpy status(&form, &frmDownloadData::statusText);
    QSignalSpy snapshot(&form, &frmDownloadData::snapshotDateChanged);
    // Every step as the operator sees it: the bar's value with the label beside it.
    QStringList steps;
    connect(form.pbWorkstations, &QProgressBar::valueChanged, this, [&](int value) {
        if (value > 0)
            steps << QString::number(value) + QLatin1Char(' ') + form.lblCurrentWS->text();
    });
    form.show();
    form.DownloadData({"WS1", "WS2", "WS3"}, db, network);

    QVERIFY(!form.isVisible());
    QCOMPARE(form.pbWorkstations->maximum(), 9);
    QCOMPARE(form.pbWorkstations->value(), 6);
    QCOMPARE(steps, QStringList({"1 Downloading data from: WS1", "2 Downloading data from: WS1",
                                 "3 Downloading data from: WS1", "4 Downloading data from: WS3",
                                 "5 Downloading data from: WS3", "6 Downloading data from: WS3"}));
    QCOMPARE(form.lblCurrentWS->text(), QStringLiteral("Downloading data from: WS3"));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Downloading workstation data..."));
    QCOMPARE(snapshot.count(), 1);
    QCOMPARE(snapshot.at(0).at(0).toString(), QStringLiteral(" Friday, March 1, 2024"));
    QCOMPARE(count(db, "MGRDaySummary"), 3);
    QCOMPARE(count(db, "MGRUsers"), 2);
}

void tst_download::generatedNetworkFirstSecondAndNextDay() {
    QTemporaryDir dir;
    const QString net = dir.filePath("net");
    QVERIFY(TestEnv::runAgent(
        {"generate", "--network", net, "--machines", "6", "--days", "20", "--quirks", "--seed", "42"}));
    const QStringList machines = networkMachines(net);
    QVERIFY(machines.size() >= 6);
    SimNetwork network(net);
    ManagerDatabase db(dir.filePath("VCManager.mdb"));
    for (const QString& machine : machines) {
        QSqlQuery q(db.db());
        q.prepare("INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, 1)");
        q.addBindValue(machine);
        QVERIFY(q.exec());
    }
    const auto download = [&] {
        frmDownloadData form;
        form.show();
        form.DownloadData(machines, db, network);
        QVERIFY(!form.isVisible());
    };

    const qint64 expected = expectedRows(net, machines, {});
    QVERIFY(expected > 0);
    download();
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDaySummary"), expected);
    QCOMPARE(
        scalar(db,
               "SELECT count(*) FROM (SELECT lower(UserName) FROM MGRUsers GROUP BY 1 HAVING count(*) > 1)"),
        0);

    download();
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDaySummary"), expected);

    const QDate newest = *db.newestDay();
    QVERIFY(TestEnv::runAgent({"advance", "--network", net}));
    const qint64 nextDay = expectedRows(net, machines, newest);
    QVERIFY(nextDay > 0);
    download();
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDaySummary"), expected + nextDay);
    // Exactly one new day for every machine whose agent ran and wrote one.
    const QString after = QStringLiteral("'%1'").arg(Dates::toStored(newest));
    QCOMPARE(scalar(db, "SELECT count(DISTINCT Date) FROM MGRDaySummary WHERE Date > " + after), 1);
    const qint64 running = machinesWithDayAfter(net, machines, newest);
    QVERIFY(running >= 4);
    QCOMPARE(scalar(db, "SELECT count(DISTINCT WorkstationKey) FROM MGRDaySummary WHERE Date > " + after),
             running);
}

void tst_download::failedWorkstationInsideARun() {
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {"WS1", "WS2", "WS3"});
    writer.writeAgentDatabase(
        "WS1", {"alice"}, {"Inbox - Mail"},
        {{"2024-03-01", "alice", "Inbox - Mail", 1}, {"2024-03-02", "alice", "Inbox - Mail", 2}});
    // WS2 brings in "carol" and "Notes"; WS3 uses them too and lists them itself.
    writer.writeAgentDatabase("WS2", {"carol"}, {"Notes"},
                              {{"2024-03-01", "carol", "Notes", 3},
                               {"2024-03-02", "carol", "Notes", 4},
                               {"2024-03-03", "carol", "Notes", 5}});
    writer.writeAgentDatabase("WS3", {"carol", "dave"}, {"Notes"},
                              {{"2024-03-01", "carol", "Notes", 6}, {"2024-03-01", "dave", "Notes", 7}});
    SimNetwork network(writer.dir());
    ManagerDatabase db(dir.filePath("VCManager.mdb"));
    for (const QString ws : {"WS1", "WS2", "WS3"})
        QSqlQuery(db.db()).exec(
            QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('%1', 1)").arg(ws));

    {
        const DownloadSummary summary = downloadFailingAt(db, network, {"WS1", "WS2", "WS3"}, "WS2");
        QCOMPARE(summary.merged, 2);
        QCOMPARE(summary.failed, 1);
        QCOMPARE(summary.rowsImported, 4);
    }
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 2"), 0);
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDaySummary"), 4);
    // WS3's rows point at the names as WS3 stored them, not at keys WS2 had before its rollback.
    QCOMPARE(scalar(db,
                    "SELECT count(*) FROM MGRDaySummary s JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
                    "JOIN MGRAppTitles t ON t.AppTitleID = s.AppTitleKey WHERE u.UserName = 'carol' "
                    "AND t.AppTitle = 'Notes' AND s.WorkstationKey = 3"),
             1);

    // The next start brings WS2 in full, once.
    WorkstationMerge next(db);
    QCOMPARE(DownloadWorkstations(next, network, {"WS1", "WS2", "WS3"}).rowsImported, 3);
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 2"), 3);
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRUsers"), 3);
    QCOMPARE(DownloadWorkstations(next, network, {"WS1", "WS2", "WS3"}).rowsImported, 0);
}

void tst_download::everyAttemptIsRecorded() {
    using Result = ManagerDatabase::DownloadStatus::Result;
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {"WS1", "WS2", "WS3", "WS4"});
    writer.writeAgentDatabase(
        "WS1", {"alice"}, {"Inbox - Mail"},
        {{"2024-03-01", "alice", "Inbox - Mail", 1}, {"2024-03-02 09:00:00", "alice", "Inbox - Mail", 2}});
    // WS2 has no share. WS3 publishes a file that is no database.
    writer.writeAgentDatabase("WS3", {}, {}, {});
    {
        QFile damaged(writer.agentDatabasePath("WS3"));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(QByteArray(8192, 'x'));
    }
    writer.writeAgentDatabase("WS4", {"bob"}, {"Notes"},
                              {{"2024-03-01", "bob", "Notes", 3}, {"2024-03-02", "bob", "Notes", 4}});
    SimNetwork network(writer.dir());
    ManagerDatabase db(dir.filePath("VCManager.mdb"));
    for (const QString ws : {"WS1", "WS2", "WS3", "WS4"})
        QSqlQuery(db.db()).exec(
            QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('%1', 1)").arg(ws));

    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    downloadFailingAt(db, network, {"WS1", "WS2", "WS3", "WS4"}, "WS4");
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    const auto merged = db.downloadStatus(1);
    QVERIFY(merged);
    QCOMPARE(merged->result, Result::Merged);
    QCOMPARE(merged->rowsMerged, 2);
    QCOMPARE(merged->newestDay, std::optional<QDate>(QDate(2024, 3, 2)));
    QVERIFY(merged->reason.isEmpty());
    const auto unreachable = db.downloadStatus(2);
    QVERIFY(unreachable);
    QCOMPARE(unreachable->result, Result::Unreachable);
    QVERIFY(!unreachable->newestDay);
    const auto unreadable = db.downloadStatus(3);
    QVERIFY(unreadable);
    QCOMPARE(unreadable->result, Result::Failed);
    QVERIFY2(unreadable->reason.contains("not a database"), qPrintable(unreadable->reason));
    const auto failed = db.downloadStatus(4);
    QVERIFY(failed);
    QCOMPARE(failed->result, Result::Failed);
    QCOMPARE(failed->rowsMerged, 0);
    QVERIFY(failed->reason.contains("injected"));
    QVERIFY(!failed->newestDay);
    for (const auto& status : {merged, unreachable, unreadable, failed})
        QVERIFY(status->attemptTime >= before && status->attemptTime <= after);

    // The next attempt replaces the record, keeping the newest day held.
    WorkstationMerge next(db);
    writer.writeAgentDatabase("WS1", {}, {}, {});
    DownloadWorkstations(next, network, {"WS1"});
    QCOMPARE(db.downloadStatus(1)->rowsMerged, 0);
    QCOMPARE(db.downloadStatus(1)->newestDay, std::optional<QDate>(QDate(2024, 3, 2)));
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDownloadStatus"), 4);
}

void tst_download::mergedRecordSharesTheMergesTransaction() {
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {"WS1", "WS2"});
    for (const QString ws : {"WS1", "WS2"})
        writer.writeAgentDatabase(ws, {"alice"}, {"Inbox - Mail"},
                                  {{"2024-03-01", "alice", "Inbox - Mail", 1}});
    SimNetwork network(writer.dir());
    ManagerDatabase db(dir.filePath("VCManager.mdb"));
    for (const QString ws : {"WS1", "WS2"})
        QSqlQuery(db.db()).exec(
            QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('%1', 1)").arg(ws));
    // The record of WS1's merge cannot be written: its rows must not stay without it.
    QVERIFY(QSqlQuery(db.db()).exec("CREATE TRIGGER refuse BEFORE INSERT ON MGRDownloadStatus "
                                    "WHEN NEW.WorkstationKey = 1 AND NEW.Result = 0 "
                                    "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    WorkstationMerge merge(db);
    const DownloadSummary summary = DownloadWorkstations(merge, network, {"WS1", "WS2"});
    QCOMPARE(summary.merged, 1);
    QCOMPARE(summary.failed, 1);
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 1"), 0);
    QCOMPARE(scalar(db, "SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 2"), 1);
    QCOMPARE(db.downloadStatus(1)->result, ManagerDatabase::DownloadStatus::Result::Failed);
    QVERIFY(db.downloadStatus(1)->reason.contains("refused"));
}

QTEST_MAIN(tst_download)
#include "tst_download.moc"
