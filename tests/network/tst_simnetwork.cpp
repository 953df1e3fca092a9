// The simulated network back end: enumeration, service lists and share copies.
#include "base/VcError.h"
#include "network/NetworkFactory.h"
#include "network/ShareCopies.h"
#include "network/SimNetwork.h"
#include "store/WorkstationDatabase.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TstSimNetwork : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void enumeration_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("machines");
        QTest::addColumn<QString>("domain");
        QTest::newRow("order kept") << "domain=SIMNET\nenumeration=ok\nmachines=WS003,WS001,WS002\n"
                                    << true << QStringList{"WS003", "WS001", "WS002"} << "SIMNET";
        QTest::newRow("comments and blanks") << "# c\n\n domain = LAB \nmachines= A , B,,C \n"
                                             << true << QStringList{"A", "B", "C"} << "LAB";
        QTest::newRow("fails") << "domain=SIMNET\nenumeration=fail\nmachines=A\n"
                               << false << QStringList{} << "SIMNET";
        QTest::newRow("empty") << "domain=D\nenumeration=ok\nmachines=\n" << true << QStringList{} << "D";
        QTest::newRow("no file") << QString() << false << QStringList{} << QString();
    }

    void enumeration() {
        QFETCH(QString, ini);
        QFETCH(bool, ok);
        QFETCH(QStringList, machines);
        QTemporaryDir dir;
        if (!ini.isNull()) {
            QFile file(dir.filePath("network.ini"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini.toUtf8());
        }
        SimNetwork network(dir.path());
        const auto result = network.enumerateMachines();
        QCOMPARE(result.has_value(), ok);
        if (ok)
            QCOMPARE(*result, machines);
        QTEST(network.domainName(), "domain");
    }

    void services_data() {
        QTest::addColumn<QStringList>("lines"); // empty list: no services.ini
        QTest::addColumn<int>("filter");
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("names");
        const QStringList mixed{"Spooler=4", "VCWorkstation=1", "vcworkstation=4"};
        const int ok = int(Network::ServiceStage::Ok);
        const int unavailable = int(Network::ServiceStage::ManagerUnavailable);
        QTest::newRow("all states, case kept")
            << mixed << 3 << ok << 0 << QStringList{"Spooler", "VCWorkstation", "vcworkstation"};
        QTest::newRow("active") << mixed << 1 << ok << 0 << QStringList{"Spooler", "vcworkstation"};
        QTest::newRow("inactive") << mixed << 2 << ok << 0 << QStringList{"VCWorkstation"};
        QTest::newRow("bad filter") << mixed << 9 << int(Network::ServiceStage::FirstCall) << 87
                                    << QStringList{};
        QTest::newRow("missing file") << QStringList{} << 3 << unavailable << 0 << QStringList{};
        QTest::newRow("unreachable") << QStringList{"Spooler=4", "unreachable"} << 3 << unavailable << 0
                                     << QStringList{};
        QTest::newRow("access denied")
            << QStringList{"access denied"} << 3 << unavailable << 0 << QStringList{};
        QTest::newRow("first call") << QStringList{"first-call-error=5", "VCWorkstation=4"} << 3
                                    << int(Network::ServiceStage::FirstCall) << 5 << QStringList{};
        QTest::newRow("first call answers more data")
            << QStringList{"first-call-error=234", "VCWorkstation=4"} << 3 << ok << 0
            << QStringList{"VCWorkstation"};
        QTest::newRow("second call") << QStringList{"second-call-error=1722", "VCWorkstation=4"} << 3
                                     << int(Network::ServiceStage::SecondCall) << 1722 << QStringList{};
    }

    void services() {
        QFETCH(QStringList, lines);
        QFETCH(int, filter);
        QTemporaryDir dir;
        SimNetworkWriter writer(dir.path());
        writer.writeNetwork("D", {"M1"});
        if (!lines.isEmpty())
            writer.writeServiceLines("M1", lines);
        SimNetwork network(dir.path());
        const auto list = network.services("M1", filter);
        QTEST(int(list.stage), "stage");
        QTEST(list.errorCode, "code");
        QStringList got;
        for (const auto& entry : list.entries)
            got << entry.name;
        QTEST(got, "names");
    }

    void shareCopyIsIndependentAndRemoved() {
        QTemporaryDir dir;
        SimNetworkWriter writer(dir.path());
        writer.writeNetwork("D", {"M1", "M2"});
        writer.writeAgentDatabase("M1", {"alice"}, {"Inbox"}, {{"2024-03-01", "alice", "Inbox", 60}});
        SimNetwork network(dir.path());

        // Each missing piece says what is missing, as the health page shows it.
        QVERIFY(QDir(dir.path()).mkpath("M2"));
        QCOMPARE(network.openShareFile("M2", "Data\\VCWorkstation.mdb").failure, NetworkFailure::NoShare);
        QCOMPARE(network.openShareFile("M1", "Data\\Other.mdb").failure, NetworkFailure::NotPublished);
        QCOMPARE(network.openShareFile("M9", "Data\\VCWorkstation.mdb").failure, NetworkFailure::Unreachable);

        QString copyPath;
        {
            auto copy = network.openShareFile("M1", "Data\\VCWorkstation.mdb");
            QVERIFY(copy);
            copyPath = copy->path();
            // In this process's own folder of the per-user copies folder.
            QVERIFY(copyPath.startsWith(ShareCopies::folder() + '/' +
                                        QString::number(QCoreApplication::applicationPid()) + '-'));
            // The agent replacing its file meanwhile does not change what this reader sees.
            writer.writeAgentDatabase("M1", {"bob"}, {}, {});
            WorkstationDatabase db(copyPath);
            QCOMPARE(*db.userNames(), QStringList{"alice"});
        }
        QVERIFY(!QFileInfo::exists(QFileInfo(copyPath).absolutePath())); // the copy and its folder
    }

    void shareRefusesEscapes_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("relative");
        const auto row = [](const char* tag, const QString& machine, const QString& relative) {
            QTest::newRow(tag) << machine << relative;
        };
        row("dotdot machine", "..", "Data/VCWorkstation.mdb");
        row("slash machine", "M1/Vellumcrest$", "Data/VCWorkstation.mdb");
        row("dotdot path", "M1", "..\\..\\network.ini");
        row("empty path", "M1", "");
    }

    void shareRefusesEscapes() {
        QFETCH(QString, machine);
        QFETCH(QString, relative);
        QTemporaryDir dir;
        SimNetworkWriter writer(dir.path());
        writer.writeNetwork("D", {"M1"});
        writer.writeAgentDatabase("M1", {}, {}, {});
        SimNetwork network(dir.path());
        QVERIFY(!network.openShareFile(machine, relative));
        QCOMPARE(int(network.services(machine, 3).stage), int(Network::ServiceStage::ManagerUnavailable));
    }

    void createNetwork() {
        QTemporaryDir program;
        // No Network folder: nothing configured, enumeration fails as a whole.
        auto none = ::createNetwork(QString(), program.path());
        QVERIFY(!none->enumerateMachines());
        QCOMPARE(int(none->services("X", 3).stage), int(Network::ServiceStage::ManagerUnavailable));

        SimNetworkWriter defaults(program.filePath("Network"));
        defaults.writeNetwork("HOME", {"A"});
        QCOMPARE(::createNetwork(QString(), program.path())->domainName(), QString("HOME"));

        QTemporaryDir other;
        SimNetworkWriter explicitNet(other.path());
        explicitNet.writeNetwork("ELSEWHERE", {"B", "C"});
        auto sim = ::createNetwork(explicitNet.source(), program.path());
        QCOMPARE(*sim->enumerateMachines(), (QStringList{"B", "C"}));

        QVERIFY_THROWS_EXCEPTION(VcError, ::createNetwork("smb", program.path()));
        QVERIFY_THROWS_EXCEPTION(VcError, ::createNetwork("sim:", program.path()));
    }

    // The registry may hold "ws001" for the folder "WS001": both the service list and the share
    // must still be found, or the machine is silently unreachable at every start.
    void machineNamesIgnoreLetterCase() {
        QTemporaryDir dir;
        SimNetworkWriter writer(dir.path());
        writer.writeNetwork("D", {"WS001"});
        writer.writeAgentService("WS001", 4);
        writer.writeAgentDatabase("WS001", {"alice"}, {"Inbox"}, {{"2024-03-01", "alice", "Inbox", 60}});
        SimNetwork network(dir.path());
        for (const QString& spelling :
             {QStringLiteral("ws001"), QStringLiteral("Ws001"), QStringLiteral("WS001")}) {
            const Network::ServiceList list = network.services(spelling, Network::kServiceStateAll);
            QCOMPARE(int(list.stage), int(Network::ServiceStage::Ok));
            QVERIFY(!list.entries.isEmpty());
            QVERIFY2(network.openShareFile(spelling, "Data\\VCWorkstation.mdb"), qPrintable(spelling));
        }
        QCOMPARE(int(network.services("WS002", Network::kServiceStateAll).stage),
                 int(Network::ServiceStage::ManagerUnavailable));
    }

    // Copies live in one per-user folder, each in a folder named after its process; those of
    // processes that no longer run (a console killed mid-download) are removed, others kept.
    void copiesLeftByKilledProcessesGo() {
        const QString base = ShareCopies::folder();
        QVERIFY(!base.isEmpty());
        QCOMPARE(QFileInfo(base).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        const QString dead = base + QStringLiteral("/2147483646-dead01");
        const QString alive = base + QLatin1Char('/') + QString::number(QCoreApplication::applicationPid()) +
                              QStringLiteral("-alive1");
        const QString foreign = base + QStringLiteral("/notes");
        for (const QString& dir : {dead, alive, foreign})
            QVERIFY(QDir().mkpath(dir));
        QFile leftOver(dead + QStringLiteral("/VCWorkstation.mdb"));
        QVERIFY(leftOver.open(QIODevice::WriteOnly));
        leftOver.close();
        QFile::setPermissions(leftOver.fileName(), QFile::ReadOwner);

        QCOMPARE(ShareCopies::removeStale(), 1);
        QVERIFY(!QFileInfo::exists(dead));
        QVERIFY(QFileInfo::exists(alive));
        QVERIFY(QFileInfo::exists(foreign));
        QDir(alive).removeRecursively();
        QDir(foreign).removeRecursively();
    }
};

QTEST_GUILESS_MAIN(TstSimNetwork)
#include "tst_simnetwork.moc"
