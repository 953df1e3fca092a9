// Discovery over a network made by the agent stand-in, quirks included.
#include "discovery/frameCheckWorkstations.h"
#include "discovery/frameConfiguration.h"
#include "discovery/ServiceStatus.h"
#include "network/NetworkFactory.h"
#include "store/ManagerDatabase.h"
#include "support/ScriptedDialogRunner.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

class TstAgentNetwork : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void scanAndCheckMatchTheServiceFiles();
};

namespace {

// The agent's state per machine as its services.ini states it, read line by line: 0 when
// no line names "VCWorkstation" exactly.
int agentState(const QString& servicesFile) {
    QFile file(servicesFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line == "unreachable" || line == "access denied" || line.startsWith("first-call-error=") ||
            line.startsWith("second-call-error="))
            return 0;
        if (line.startsWith("VCWorkstation="))
            return line.mid(14).toInt();
    }
    return 0;
}

} // namespace

void TstAgentNetwork::scanAndCheckMatchTheServiceFiles() {
    QTemporaryDir dir;
    const QString net = dir.filePath("net");
    QString output;
    if (!TestEnv::runAgent({"generate", "--network", net, "--machines", "12", "--days", "3", "--quirks"},
                           &output))
        QSKIP("the agent stand-in is not available in this build");

    auto network = createNetwork("sim:" + net, dir.path());
    const auto machines = network->enumerateMachines();
    QVERIFY(machines && !machines->isEmpty());
    QStringList expectedTree{network->domainName()};
    QStringList expectedLines;
    for (const QString& machine : *machines) {
        const int state = agentState(net + "/" + machine + "/services.ini");
        if (state != 0)
            expectedTree << machine;
        expectedLines << machine + serviceStateText(state);
    }

    ManagerDatabase database(dir.filePath("VCManager.mdb"));
    ScriptedFeedback feedback;
    ScriptedDialogRunner dialogs;
    frameConfiguration page(*network, feedback, dialogs);
    page.setDatabase(&database);
    page.cmdScanNetworkClick();
    QStringList tree;
    const QTreeWidgetItem* root = TestEnv::child<QTreeWidget>(&page, "tvWorkstations")->topLevelItem(0);
    tree << root->text(0);
    for (int i = 0; i < root->childCount(); ++i)
        tree << root->child(i)->text(0);
    QCOMPARE(tree, expectedTree);
    QStringList registered;
    for (const auto& row : database.workstations())
        registered << row.name;
    QCOMPARE(registered, expectedTree.mid(1));

    frameCheckWorkstations check(*network, feedback);
    check.checkWorkstations();
    QStringList lines;
    const auto* list = TestEnv::child<QListWidget>(&check, "lstCheck");
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    QCOMPARE(lines, expectedLines);
}

QTEST_MAIN(TstAgentNetwork)
#include "tst_agentnetwork.moc"
