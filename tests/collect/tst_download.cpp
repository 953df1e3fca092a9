// The download window over a simulated network: steps, texts and what reaches the database.
#include "collect/frmDownloadData.h"
#include "discovery/SimNetwork.h"
#include "store/ManagerDatabase.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {
qint64 count(ManagerDatabase& db, const QString& table) {
    QSqlQuery q(db.db());
    q.exec(QStringLiteral("SELECT count(*) FROM ") + table);
    return q.next() ? q.value(0).toLongLong() : -1;
}
} // namespace

class tst_download : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void noCheckedWorkstation();
    void threeCheckedOneUnreachable();
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

QTEST_MAIN(tst_download)
#include "tst_download.moc"
