// The download window over a simulated network: steps, texts and what reaches the database.
#include "base/VcError.h"
#include "collect/DataDownload.h"
#include "collect/frmDownloadData.h"
#include "collect/WorkstationMerge.h"
#include "network/SimNetwork.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/WorkstationDatabase.h"
#include "support/ManagerFixture.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TstDownload : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void noCheckedWorkstation();
    void threeCheckedOneUnreachable();
    void failedWorkstationInsideARun();
    void everyAttemptIsRecorded();
    void mergedRecordSharesTheMergesTransaction();
    void noTransactionWhileCopying();
    void outcomeSaysWhatDidNotHappen_data();
    void outcomeSaysWhatDidNotHappen();
    void damagedFileOrNames_data();
    void damagedFileOrNames();
};

void TstDownload::noCheckedWorkstation() {
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {"WS1"});
    writer.writeAgentService("WS1");
    writer.writeAgentDatabase("WS1", {"alice"}, {"Inbox - Mail"},
                              {{"2024-03-01", "alice", "Inbox - Mail", 60}});
    SimNetwork network(writer.dir());
    ManagerFixture f;
    f.exec("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('WS1', 0)");

    frmDownloadData form;
    QSignalSpy status(&form, &frmDownloadData::statusText);
    QSignalSpy snapshot(&form, &frmDownloadData::snapshotDateChanged);
    form.show();
    form.DownloadData({}, f.db(), network);
    QVERIFY(!form.isVisible());
    QCOMPARE(status.count(), 0);
    QCOMPARE(snapshot.count(), 0);
    QCOMPARE(TestEnv::child<QProgressBar>(&form, "pbWorkstations")->value(), 0);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers"), 0);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary"), 0);
}

void TstDownload::threeCheckedOneUnreachable() {
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
    ManagerFixture f;
    f.registerWorkstations({"WS1", "WS2", "WS3"});

    frmDownloadData form;
    QSignalSpy status(&form, &frmDownloadData::statusText);
    QSignalSpy snapshot(&form, &frmDownloadData::snapshotDateChanged);
    auto* pbWorkstations = TestEnv::child<QProgressBar>(&form, "pbWorkstations");
    auto* lblCurrentWS = TestEnv::child<QLabel>(&form, "lblCurrentWS");
    // Every step as the operator sees it: the bar's value with the label beside it.
    QStringList steps;
    connect(pbWorkstations, &QProgressBar::valueChanged, this, [&](int value) {
        if (value > 0)
            steps << QString::number(value) + QLatin1Char(' ') + lblCurrentWS->text();
    });
    form.show();
    form.DownloadData({"WS1", "WS2", "WS3"}, f.db(), network);

    QVERIFY(!form.isVisible());
    QCOMPARE(pbWorkstations->maximum(), 9);
    QCOMPARE(pbWorkstations->value(), 6);
    QCOMPARE(steps, QStringList({"1 Downloading data from: WS1", "2 Downloading data from: WS1",
                                 "3 Downloading data from: WS1", "4 Downloading data from: WS3",
                                 "5 Downloading data from: WS3", "6 Downloading data from: WS3"}));
    QCOMPARE(lblCurrentWS->text(), QStringLiteral("Downloading data from: WS3"));
    QCOMPARE(lblCurrentWS->textFormat(), Qt::PlainText); // names are never markup
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Downloading workstation data..."));
    QCOMPARE(snapshot.count(), 1);
    QCOMPARE(snapshot.at(0).at(0).toString(), QStringLiteral(" Friday, March 1, 2024"));
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary"), 3);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers"), 2);
}

void TstDownload::failedWorkstationInsideARun() {
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
    ManagerFixture f;
    f.registerWorkstations({"WS1", "WS2", "WS3"});

    {
        // WS2's second usage row is refused, after its first went in.
        f.refuse(
            "INSERT", "MGRDaySummary",
            "NEW.WorkstationKey = 2 AND (SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 2) >= 1");
        WorkstationMerge merge(f.db());
        const DownloadSummary summary = downloadWorkstations(merge, network, {"WS1", "WS2", "WS3"});
        QCOMPARE(summary.merged, 2);
        QCOMPARE(summary.failed, 1);
        QCOMPARE(summary.rowsImported, 4);
    }
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 2"), 0);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary"), 4);
    // WS3's rows point at the names as WS3 stored them, not at keys WS2 had before its rollback.
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary s JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
                      "JOIN MGRAppTitles t ON t.AppTitleID = s.AppTitleKey WHERE u.UserName = 'carol' "
                      "AND t.AppTitle = 'Notes' AND s.WorkstationKey = 3"),
             1);

    // The next start brings WS2 in full, once.
    f.allow("INSERT", "MGRDaySummary");
    WorkstationMerge next(f.db());
    QCOMPARE(downloadWorkstations(next, network, {"WS1", "WS2", "WS3"}).rowsImported, 3);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 2"), 3);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers"), 3);
    QCOMPARE(downloadWorkstations(next, network, {"WS1", "WS2", "WS3"}).rowsImported, 0);
}

void TstDownload::everyAttemptIsRecorded() {
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
    ManagerFixture f;
    f.registerWorkstations({"WS1", "WS2", "WS3", "WS4"});
    ManagerDatabase& db = f.db();
    // WS4's second usage row is refused, after its first went in.
    f.refuse("INSERT", "MGRDaySummary",
             "NEW.WorkstationKey = 4 AND (SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 4) >= 1");

    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    {
        WorkstationMerge merge(db);
        downloadWorkstations(merge, network, {"WS1", "WS2", "WS3", "WS4"});
    }
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
    f.allow("INSERT", "MGRDaySummary");

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
    QVERIFY2(!unreadable->reason.contains(QDir::separator()),
             qPrintable(unreadable->reason)); // no copy's path
    const auto failed = db.downloadStatus(4);
    QVERIFY(failed);
    QCOMPARE(failed->result, Result::Failed);
    QCOMPARE(failed->rowsMerged, 0);
    QVERIFY2(failed->reason.contains("refused by the test"), qPrintable(failed->reason));
    QVERIFY(!failed->newestDay);
    for (const auto& status : {merged, unreachable, unreadable, failed})
        QVERIFY(status->attemptTime >= before && status->attemptTime <= after);

    // The next attempt replaces the record, keeping the newest day held.
    WorkstationMerge next(db);
    writer.writeAgentDatabase("WS1", {}, {}, {});
    downloadWorkstations(next, network, {"WS1"});
    QCOMPARE(db.downloadStatus(1)->rowsMerged, 0);
    QCOMPARE(db.downloadStatus(1)->newestDay, std::optional<QDate>(QDate(2024, 3, 2)));
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDownloadStatus"), 4);
}

void TstDownload::mergedRecordSharesTheMergesTransaction() {
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {"WS1", "WS2"});
    for (const QString ws : {"WS1", "WS2"})
        writer.writeAgentDatabase(ws, {"alice"}, {"Inbox - Mail"},
                                  {{"2024-03-01", "alice", "Inbox - Mail", 1}});
    SimNetwork network(writer.dir());
    ManagerFixture f;
    f.registerWorkstations({"WS1", "WS2"});
    ManagerDatabase& db = f.db();
    // The record of WS1's merge cannot be written: its rows must not stay without it.
    f.refuse("INSERT", "MGRDownloadStatus", "NEW.WorkstationKey = 1 AND NEW.Result = 0");
    WorkstationMerge merge(db);
    const DownloadSummary summary = downloadWorkstations(merge, network, {"WS1", "WS2"});
    QCOMPARE(summary.merged, 1);
    QCOMPARE(summary.failed, 1);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 1"), 0);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 2"), 1);
    QCOMPARE(db.downloadStatus(1)->result, ManagerDatabase::DownloadStatus::Result::Failed);
    QVERIFY(db.downloadStatus(1)->reason.contains("refused"));
}

// A machine that takes its time must never hold the database's write lock from the console and
// the reports: every copy is made with no transaction open.
void TstDownload::noTransactionWhileCopying() {
    class WatchedNetwork : public SimNetwork {
    public:
        WatchedNetwork(const QString& dir, ManagerDatabase& db) : SimNetwork(dir), m_db(db) {}
        ShareFile openShareFile(const QString& machine, const QString& relativePath) override {
            if (m_db.inTransaction())
                copiedInsideATransaction << machine;
            return SimNetwork::openShareFile(machine, relativePath);
        }
        QStringList copiedInsideATransaction;

    private:
        ManagerDatabase& m_db;
    };
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    // More machines than are copied ahead of their merge at once.
    QStringList machines;
    for (int i = 1; i <= 20; ++i)
        machines << QStringLiteral("WS%1").arg(i);
    writer.writeNetwork("SIMNET", machines);
    for (const QString& ws : machines)
        writer.writeAgentDatabase(ws, {"alice"}, {"Inbox - Mail"},
                                  {{"2024-03-01", "alice", "Inbox - Mail", 1}});
    ManagerFixture f;
    f.registerWorkstations(machines);
    WatchedNetwork network(writer.dir(), f.db());
    WorkstationMerge merge(f.db());
    QCOMPARE(downloadWorkstations(merge, network, machines).merged, 20);
    QCOMPARE(network.copiedInsideATransaction, QStringList());
}

void TstDownload::outcomeSaysWhatDidNotHappen_data() {
    QTest::addColumn<QStringList>("notRead"); // "name|reason"
    QTest::addColumn<QStringList>("future");
    QTest::addColumn<QString>("stopped");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("details");
    QTest::newRow("everything came in") << QStringList{} << QStringList{} << ""
                                        << "Workstation data download complete"
                                        << "";
    QTest::newRow("one not read")
        << QStringList{"WS004|could not be reached"} << QStringList{} << ""
        << "Workstation data download complete (1 workstation could not be read: WS004)"
        << "WS004: could not be reached";
    QTest::newRow("two, and a wrong clock")
        << QStringList{"WS004|could not be reached", "WS007|database disk image is malformed"}
        << QStringList{"WS009"} << ""
        << "Workstation data download complete (2 workstations could not be read: WS004, WS007; rows dated "
           "after today left out: WS009)"
        << "WS004: could not be reached\nWS007: database disk image is malformed\nWS009: rows dated after "
           "today "
           "were left out (check the machine's clock)";
    // At a site's scale the status bar counts; the health page names them.
    QTest::newRow("four not read: counted")
        << QStringList{"WS1|no answer within 5 s", "WS2|no answer within 5 s", "WS3|not published",
                       "WS4|no share"}
        << QStringList{} << ""
        << "Workstation data download complete (4 workstations could not be read (see Workstation Health))"
        << "WS1: no answer within 5 s\nWS2: no answer within 5 s\nWS3: not published\nWS4: no share";
    QTest::newRow("a refused account stops the run")
        << QStringList{} << QStringList{} << "logon failure: the account is locked out"
        << "Workstation data download stopped: logon failure: the account is locked out"
        << "Stopped: logon failure: the account is locked out";
}

void TstDownload::outcomeSaysWhatDidNotHappen() {
    QFETCH(QStringList, notRead);
    QFETCH(QStringList, future);
    QFETCH(QString, stopped);
    QFETCH(QString, text);
    QFETCH(QString, details);
    DownloadSummary summary;
    summary.stopped = stopped;
    for (const QString& entry : notRead)
        summary.notRead.append({entry.section('|', 0, 0), entry.section('|', 1)});
    summary.datedAfterToday = future;
    QCOMPARE(downloadOutcomeText(summary), text);
    QCOMPARE(downloadOutcomeDetails(summary), details);
}

// An empty file is a file cut off on its way, not a workstation without usage; names that are
// not well-formed text are no names, so two different ones never become one person.
void TstDownload::damagedFileOrNames_data() {
    QTest::addColumn<QString>("encoding"); // of the agent file; empty: the file is emptied
    QTest::addColumn<QString>("first");    // the two damaged names' bytes, in hex
    QTest::addColumn<QString>("second");
    QTest::newRow("an empty file") << ""
                                   << ""
                                   << "";
    QTest::newRow("bytes that are no UTF-8") << "UTF-8"
                                             << "FF41"
                                             << "FE41";
    QTest::newRow("surrogates encoded in UTF-8") << "UTF-8"
                                                 << "EDA08041"
                                                 << "EDA08141";
    QTest::newRow("half pairs in a UTF-16 file") << "UTF-16le"
                                                 << "00D84100"
                                                 << "01D84100";
}

void TstDownload::damagedFileOrNames() {
    QFETCH(QString, encoding);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {"WS1"});
    writer.writeAgentDatabase("WS1", {}, {}, {});
    const QString path = writer.agentDatabasePath("WS1");
    QVERIFY(QFile::resize(path, 0));
    if (!encoding.isEmpty()) {
        const QString damaged = "CAST(X'%1' AS TEXT)";
        ManagerFixture::execute(
            path, QStringLiteral("PRAGMA encoding = '%1';").arg(encoding) + kWorkstationSchemaSql +
                      QStringLiteral("INSERT INTO PCUsers (UserName) VALUES ('alice'), (%1), (%2);"
                                     "INSERT INTO PCAppTitles (AppTitle) VALUES ('Notes'), (%1 || ' title');"
                                     "INSERT INTO PCDaySummary VALUES ('2024-03-01', 'alice', 'Notes', 30), "
                                     "('2024-03-01', %1, 'Notes', 60), ('2024-03-01', %2, 'Notes', 90), "
                                     "('2024-03-01', 'alice', %1 || ' title', 120);")
                          .arg(damaged.arg(first), damaged.arg(second)));
    }
    SimNetwork network(writer.dir());
    ManagerFixture f;
    f.registerWorkstations({"WS1"});
    WorkstationMerge merge(f.db());
    const DownloadSummary summary = downloadWorkstations(merge, network, {"WS1"});
    QCOMPARE(summary.notRead.size(), encoding.isEmpty() ? 1 : 0);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers"), encoding.isEmpty() ? 0 : 1);
    QCOMPARE(f.scalar("SELECT count(*) FROM MGRAppTitles"), encoding.isEmpty() ? 0 : 1);
    QCOMPARE(f.scalar("SELECT coalesce(sum(Duration), 0) FROM MGRDaySummary"), encoding.isEmpty() ? 0 : 30);
}

QTEST_MAIN(TstDownload)
#include "tst_download.moc"
