// The Workstation Data page: network scan, registry writes, start-up tree and check box rules.
#include "discovery/frameConfiguration.h"
#include "network/SimNetwork.h"
#include "store/ManagerDatabase.h"
#include "support/ScriptedDialogRunner.h"
#include "support/ScriptedFeedback.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

// A simulated network, a manager database and the page over them.
struct Fixture {
    QTemporaryDir dir;
    SimNetworkWriter writer{dir.filePath("net")};
    std::unique_ptr<ManagerDatabase> store = ManagerDatabase::open(dir.filePath("VCManager.mdb"));
    ManagerDatabase& database = *store;
    SimNetwork network{dir.filePath("net")};
    ScriptedFeedback feedback;
    ScriptedDialogRunner dialogs;
    frameConfiguration page{network, feedback, dialogs};
    QTreeWidget* tvWorkstations = TestEnv::child<QTreeWidget>(&page, "tvWorkstations");

    Fixture() {
        page.setDatabase(&database);
        page.show();
    }

    // Node texts with their check state, root first: "+SIMNET", "-WS001".
    QStringList tree() const {
        QStringList nodes;
        const auto mark = [&nodes](const QTreeWidgetItem* item) {
            nodes << (item->checkState(0) == Qt::Checked ? "+" : "-") + item->text(0);
        };
        if (const QTreeWidgetItem* root = tvWorkstations->topLevelItem(0)) {
            mark(root);
            for (int i = 0; i < root->childCount(); ++i)
                mark(root->child(i));
        }
        return nodes;
    }

    QTreeWidgetItem* node(const QString& key) const {
        QTreeWidgetItem* root = tvWorkstations->topLevelItem(0);
        if (key == "root")
            return root;
        for (int i = 0; i < root->childCount(); ++i)
            if (root->child(i)->data(0, frameConfiguration::KeyRole).toString() == key)
                return root->child(i);
        return nullptr;
    }

    // Registry rows as "+Name" / "-Name" in stored order.
    QStringList registry() const {
        QStringList rows;
        for (const auto& row : database.workstations())
            rows << (row.monitored ? "+" : "-") + row.name;
        return rows;
    }

    void addRow(const QString& name, bool monitored) { database.addWorkstation(name, monitored); }
};

} // namespace

class TstFrameConfiguration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void scanFindsAgentMachines() {
        Fixture f;
        f.writer.writeNetwork("SIMNET", {"WS001", "WS002", "WS003"});
        f.writer.writeAgentService("WS001", 4);
        f.writer.writeNoAgent("WS002");
        f.writer.writeAgentService("WS003", 1);
        QSignalSpy status(&f.page, &frameConfiguration::statusText);
        QSignalSpy showPage(&f.page, &frameConfiguration::showWorkstationDataPageRequested);
        QSignalSpy checked(&f.page, &frameConfiguration::serviceChecked);

        TestEnv::child<QPushButton>(&f.page, "cmdScanNetwork")->click();
        // The scan saw each machine's service: a check the health page counts.
        QCOMPARE(checked.size(), 3);
        QCOMPARE(checked[0], (QList<QVariant>{"WS001", 4}));
        QCOMPARE(checked[1], (QList<QVariant>{"WS002", 0}));
        QCOMPARE(checked[2], (QList<QVariant>{"WS003", 1}));

        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "+WS001", "+WS003"}));
        QVERIFY(f.node("root")->isExpanded());
        QCOMPARE(f.registry(), (QStringList{"+WS001", "+WS003"}));
        QCOMPARE(status.last()[0].toString(), QString("2 monitored workstations found"));
        QCOMPARE(showPage.size(), 1);
        QVERIFY(f.feedback.messages.isEmpty());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(f.page.checkedWorkstations(), (QStringList{"WS001", "WS003"}));
        // The newest day's box is shown, not edited: Tab passes it by.
        QVERIFY(!(TestEnv::child<QLineEdit>(&f.page, "txtSnapshotDate")->focusPolicy() & Qt::TabFocus));
    }

    void statusText_data() {
        QTest::addColumn<int>("agents");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << "0 monitored workstations found";
        QTest::newRow("one") << 1 << "1 monitored workstation found";
        QTest::newRow("three") << 3 << "3 monitored workstations found";
    }

    void statusText() {
        QFETCH(int, agents);
        QFETCH(QString, text);
        Fixture f;
        QStringList machines;
        for (int i = 0; i < 4; ++i) {
            const QString name = QString("PC%1").arg(i);
            machines << name;
            if (i < agents)
                f.writer.writeAgentService(name);
            else
                f.writer.writeNoAgent(name);
        }
        f.writer.writeNetwork("LAB", machines);
        QSignalSpy status(&f.page, &frameConfiguration::statusText);
        f.page.LoadWorkstations();
        QCOMPARE(status.last()[0].toString(), text);
    }

    // The registry keeps the operator's choice: a rescan ticks only machines it never saw.
    void rescanKeepsTheOperatorsChoice() {
        Fixture f;
        f.writer.writeNetwork("SIMNET", {"WS001", "WS002"});
        f.writer.writeAgentService("WS001");
        f.writer.writeAgentService("WS002");
        f.page.cmdScanNetworkClick();

        f.node("WS001")->setCheckState(0, Qt::Unchecked); // as the operator's click does
        QCOMPARE(f.registry(), (QStringList{"-WS001", "+WS002"}));
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "-WS001", "+WS002"}));

        f.writer.writeNetwork("SIMNET", {"WS001", "WS002", "WS003"});
        f.writer.writeAgentService("WS003");
        f.page.cmdScanNetworkClick();
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "-WS001", "+WS002", "+WS003"}));
        QCOMPARE(f.registry(), (QStringList{"-WS001", "+WS002", "+WS003"}));
    }

    void registeredMachineGoneFromNetwork() {
        Fixture f;
        f.addRow("OLDPC", true);
        f.writer.writeNetwork("SIMNET", {"WS001"});
        f.writer.writeAgentService("WS001");
        f.page.cmdScanNetworkClick();
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "+WS001"}));
        QCOMPARE(f.page.checkedWorkstations(), QStringList{"WS001"});
        QCOMPARE(f.registry(), (QStringList{"+OLDPC", "+WS001"}));

        // The next start builds the tree from the registry, without asking the network.
        f.writer.writeNetwork("SIMNET", {}, false);
        f.page.loadTreeFromRegistry();
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "+OLDPC", "+WS001"}));
    }

    void clearingRootClearsEverything() {
        Fixture f;
        f.addRow("A", true);
        f.addRow("B", false);
        f.addRow("C", true);
        f.writer.writeNetwork("SIMNET", {});
        f.page.loadTreeFromRegistry();
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "+A", "-B", "+C"}));

        f.node("root")->setCheckState(0, Qt::Unchecked);
        QCOMPARE(f.tree(), (QStringList{"-SIMNET", "-A", "-B", "-C"}));
        QCOMPARE(f.registry(), (QStringList{"-A", "-B", "-C"}));

        f.node("B")->setCheckState(0, Qt::Checked);
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "-A", "+B", "-C"}));
        QCOMPARE(f.registry(), (QStringList{"-A", "+B", "-C"}));
    }

    void checkedCountNeverCountsRoot() {
        Fixture f;
        f.writer.writeNetwork("SIMNET", {});
        QCOMPARE(f.page.GetCheckedWSCount(), qint16(0)); // no tree yet
        f.page.loadTreeFromRegistry();
        QCOMPARE(f.page.GetCheckedWSCount(), qint16(0)); // the root alone, checked
        // A machine that happens to be called "root" is still a workstation.
        f.addRow("root", true);
        f.addRow("X", false);
        f.addRow("Y", true);
        f.page.loadTreeFromRegistry();
        QCOMPARE(f.page.GetCheckedWSCount(), qint16(2));
        QCOMPARE(f.page.checkedWorkstations(), (QStringList{"root", "Y"}));
        // The machine called "root" is cleared alone, like any workstation.
        f.tvWorkstations->topLevelItem(0)->child(0)->setCheckState(0, Qt::Unchecked);
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "-root", "-X", "+Y"}));
        QCOMPARE(f.registry(), (QStringList{"-root", "-X", "+Y"}));
        // Ticking the domain node checks nothing else, not even the machine that shares its key.
        f.node("root")->setCheckState(0, Qt::Unchecked);
        f.node("root")->setCheckState(0, Qt::Checked);
        QCOMPARE(f.registry(), (QStringList{"-root", "-X", "-Y"}));
        QCOMPARE(f.page.GetCheckedWSCount(), qint16(0));
    }

    void enumerationFailureLeavesTree() {
        Fixture f;
        f.addRow("A", true);
        f.addRow("B", false);
        f.writer.writeNetwork("SIMNET", {"A", "B", "C"}, false);
        f.writer.writeAgentService("C");
        f.page.loadTreeFromRegistry();
        QSignalSpy status(&f.page, &frameConfiguration::statusText);

        qint32 count = -1;
        f.page.GetServers(QString(), count);
        QCOMPARE(count, 0);

        f.page.cmdScanNetworkClick();
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "+A", "-B"}));
        QCOMPARE(f.registry(), (QStringList{"+A", "-B"}));
        QCOMPARE(status.last()[0].toString(), QString("2 monitored workstations found"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void failingServiceCallsShowMessages() {
        Fixture f;
        f.writer.writeNetwork("SIMNET", {"M1", "M2", "M3", "M4"});
        f.writer.writeServiceLines("M1", {"first-call-error=5", "VCWorkstation=4"});
        f.writer.writeServiceLines("M2", {"second-call-error=1722", "VCWorkstation=4"});
        f.writer.writeServiceLines("M3", {"unreachable"});
        f.writer.writeAgentService("M4");
        f.page.cmdScanNetworkClick();
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "+M4"}));
        QCOMPARE(f.feedback.messages.size(), 2);
        QCOMPARE(f.feedback.messages[0].text, QString("ERROR_MORE_DATA not returned; error 5"));
        QCOMPARE(f.feedback.messages[1].text, QString("EnumServicesStatus; error 1722"));
    }

    void namesWithQuotesAndLetterCase() {
        Fixture f;
        f.addRow("ws001", false); // the same machine, registered in another letter case
        const QStringList machines{"WS001", "O'Brien", "Say \"Hi\""};
        f.writer.writeNetwork("SIMNET", machines);
        for (const QString& machine : machines)
            f.writer.writeAgentService(machine);
        f.page.cmdScanNetworkClick();
        f.page.cmdScanNetworkClick();
        QCOMPARE(f.tree(), (QStringList{"+SIMNET", "-WS001", "+O'Brien", "+Say \"Hi\""}));
        QCOMPARE(f.registry(), (QStringList{"-ws001", "+O'Brien", "+Say \"Hi\""}));

        f.node("Say \"Hi\"")->setCheckState(0, Qt::Unchecked);
        QCOMPARE(f.registry(), (QStringList{"-ws001", "+O'Brien", "-Say \"Hi\""}));
    }
};

QTEST_MAIN(TstFrameConfiguration)
#include "tst_frameconfiguration.moc"
