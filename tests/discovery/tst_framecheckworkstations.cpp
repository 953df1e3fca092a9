// The Check Workstations page: a line per enumerated machine, messages only for failed calls.
#include "discovery/frameCheckWorkstations.h"
#include "network/NetworkFactory.h"
#include "network/SimNetwork.h"
#include "support/ScriptedFeedback.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TstFrameCheckWorkstations : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void everyMachineGetsALine();
    void noLines_data();
    void noLines();
    void anUnreadableNetworkSaysWhy();

private:
    static QStringList lines(const QListWidget* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }
};

void TstFrameCheckWorkstations::everyMachineGetsALine() {
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.path());
    const QStringList machines{"WS1", "WS2", "WS3", "WS4", "WS5", "WS6", "WS7", "O'Brien", "WS9"};
    writer.writeNetwork("SIMNET", machines);
    writer.writeAgentService("WS1", 4);
    writer.writeAgentService("WS2", 1);
    writer.writeNoAgent("WS3");
    writer.writeServiceLines("WS4", {"access denied"});
    writer.writeServices("WS5", {{"vcWorkstation", 4}});
    writer.writeServiceLines("WS6", {"first-call-error=6", "VCWorkstation=4"});
    writer.writeServiceLines("WS7", {"second-call-error=1722", "VCWorkstation=4"});
    writer.writeAgentService("O'Brien", 7);
    // WS9 has no folder at all: unreachable.
    // Names the list held that no machine can have end the list, printable.
    struct SkippingNetwork : SimNetwork {
        using SimNetwork::SimNetwork;
        QList<MachineName::Skipped> skippedNames() const override {
            return {{"2130706433", "an all-digit name"}, {"bad\tname", "not a name"}};
        }
    } network(dir.path());
    ScriptedFeedback feedback;
    frameCheckWorkstations page(network, feedback);
    page.show();
    auto* list = TestEnv::child<QListWidget>(&page, "lstCheck");
    list->addItem("left over from before");

    TestEnv::child<QPushButton>(&page, "cmdCheck")->click();

    QCOMPARE(lines(list), (QStringList{
                              "WS1: Vellumcrest service running normally",
                              "WS2: Vellumcrest service stopped",
                              "WS3: Vellumcrest service not installed",
                              "WS4: Vellumcrest service not installed",
                              "WS5: Vellumcrest service not installed",
                              "WS6: Vellumcrest service not installed",
                              "WS7: Vellumcrest service not installed",
                              "O'Brien: Vellumcrest service paused",
                              "WS9: Vellumcrest service not installed",
                              "\"2130706433\" skipped: an all-digit name",
                              "\"bad\\x09name\" skipped: not a name",
                          }));
    QCOMPARE(feedback.messages.size(), 2);
    QCOMPARE(feedback.messages[0].text, QString("ERROR_MORE_DATA not returned; error 6"));
    QCOMPARE(feedback.messages[1].text, QString("GetSystemServicesState; error 1722"));
    QVERIFY(!QApplication::overrideCursor());
}

void TstFrameCheckWorkstations::noLines_data() {
    QTest::addColumn<bool>("enumerationOk");
    QTest::newRow("enumeration fails") << false;
    QTest::newRow("empty enumeration") << true;
}

void TstFrameCheckWorkstations::noLines() {
    QFETCH(bool, enumerationOk);
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.path());
    writer.writeNetwork("SIMNET", enumerationOk ? QStringList{} : QStringList{"WS1"}, enumerationOk);
    writer.writeAgentService("WS1");
    SimNetwork network(dir.path());
    ScriptedFeedback feedback;
    frameCheckWorkstations page(network, feedback);
    auto* list = TestEnv::child<QListWidget>(&page, "lstCheck");
    list->addItem("left over from before");
    page.checkWorkstations();
    QCOMPARE(list->count(), 0);
    QVERIFY(feedback.messages.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void TstFrameCheckWorkstations::anUnreadableNetworkSaysWhy() {
    // The real network says why its machines could not be listed (a directory that is not
    // trusted, a refused account): one message with that reason, no lines.
    const std::unique_ptr<Network> network = createNetwork(QString(), QString());
    ScriptedFeedback feedback;
    frameCheckWorkstations page(*network, feedback);
    page.checkWorkstations();
    QCOMPARE(TestEnv::child<QListWidget>(&page, "lstCheck")->count(), 0);
    QCOMPARE(feedback.messages.size(), 1);
    QCOMPARE(feedback.messages[0].text,
             QString("The workstations could not be checked: no network is configured"));
}

QTEST_MAIN(TstFrameCheckWorkstations)
#include "tst_framecheckworkstations.moc"
