// Agent service checks: exact-case match, silent unreachable machines, the failure messages.
#include "discovery/ServiceStatus.h"
#include "network/SimNetwork.h"
#include "support/ScriptedFeedback.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QtTest>

class TstServiceStatus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void lookup_data();
    void lookup();
    void existsHonoursFilter();
    void stateTexts_data();
    void stateTexts();
};

void TstServiceStatus::lookup_data() {
    QTest::addColumn<QStringList>("lines"); // empty: no services.ini at all
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("stateMessage");
    QTest::addColumn<QString>("existsMessage");
    QTest::newRow("running") << QStringList{"Spooler=4", "VCWorkstation=4"} << 4 << true << ""
                             << "";
    QTest::newRow("stopped") << QStringList{"VCWorkstation=1"} << 1 << true << ""
                             << "";
    QTest::newRow("paused") << QStringList{"VCWorkstation=7"} << 7 << true << ""
                            << "";
    QTest::newRow("first of two") << QStringList{"VCWorkstation=2", "VCWorkstation=4"} << 2 << true << ""
                                  << "";
    QTest::newRow("other case") << QStringList{"vcworkstation=4", "VCWORKSTATION=4"} << 0 << false << ""
                                << "";
    QTest::newRow("missing") << QStringList{"Spooler=4"} << 0 << false << ""
                             << "";
    QTest::newRow("no services") << QStringList{"# nothing"} << 0 << false << ""
                                 << "";
    QTest::newRow("refused") << QStringList{"access denied"} << 0 << false << ""
                             << "";
    QTest::newRow("unreachable") << QStringList{"unreachable"} << 0 << false << ""
                                 << "";
    QTest::newRow("no services.ini") << QStringList{} << 0 << false << ""
                                     << "";
    QTest::newRow("size query fails") << QStringList{"first-call-error=5", "VCWorkstation=4"} << 0 << false
                                      << "ERROR_MORE_DATA not returned; error 5"
                                      << "ERROR_MORE_DATA not returned; error 5";
    QTest::newRow("size query succeeds") << QStringList{"first-call-error=0", "VCWorkstation=4"} << 0 << false
                                         << "ERROR_MORE_DATA not returned; error 0"
                                         << "ERROR_MORE_DATA not returned; error 0";
    QTest::newRow("listing fails") << QStringList{"second-call-error=1722", "VCWorkstation=4"} << 0 << false
                                   << "GetSystemServicesState; error 1722"
                                   << "EnumServicesStatus; error 1722";
}

void TstServiceStatus::lookup() {
    QFETCH(QStringList, lines);
    QFETCH(int, state);
    QFETCH(bool, exists);
    QFETCH(QString, stateMessage);
    QFETCH(QString, existsMessage);
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.path());
    writer.writeNetwork("D", {"M1"});
    if (!lines.isEmpty())
        writer.writeServiceLines("M1", lines);
    SimNetwork network(dir.path());
    ScriptedFeedback feedback;

    QCOMPARE(GetServiceState(network, feedback, "M1", kAgentServiceName), state);
    QCOMPARE(feedback.messages.size(), stateMessage.isEmpty() ? 0 : 1);
    if (!stateMessage.isEmpty()) {
        QCOMPARE(feedback.messages[0].text, stateMessage);
        QCOMPARE(feedback.messages[0].title, QString("Vellumcrest"));
        QCOMPARE(feedback.messages[0].buttons, Feedback::Buttons::Ok);
        QCOMPARE(feedback.messages[0].icon, Feedback::Icon::None);
    }
    feedback.clear();
    QCOMPARE(ServiceExists(network, feedback, Network::kServiceStateAll, "M1", kAgentServiceName), exists);
    QCOMPARE(feedback.messages.size(), existsMessage.isEmpty() ? 0 : 1);
    if (!existsMessage.isEmpty())
        QCOMPARE(feedback.messages[0].text, existsMessage);
}

void TstServiceStatus::existsHonoursFilter() {
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.path());
    writer.writeNetwork("D", {"M1"});
    writer.writeAgentService("M1", 1);
    SimNetwork network(dir.path());
    ScriptedFeedback feedback;
    QVERIFY(!ServiceExists(network, feedback, Network::kServiceActive, "M1", kAgentServiceName));
    QVERIFY(ServiceExists(network, feedback, Network::kServiceInactive, "M1", kAgentServiceName));
    // A filter the service manager does not know fails at the size query.
    QVERIFY(!ServiceExists(network, feedback, 0, "M1", kAgentServiceName));
    QCOMPARE(feedback.messages.size(), 1);
    QCOMPARE(feedback.messages[0].text, QString("ERROR_MORE_DATA not returned; error 87"));
}

void TstServiceStatus::stateTexts_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << ": Vellumcrest service not installed";
    QTest::newRow("1") << 1 << ": Vellumcrest service stopped";
    QTest::newRow("2") << 2 << ": Vellumcrest service starting";
    QTest::newRow("3") << 3 << ": Vellumcrest service stopping";
    QTest::newRow("4") << 4 << ": Vellumcrest service running normally";
    QTest::newRow("5") << 5 << ": Vellumcrest service about to resume";
    QTest::newRow("6") << 6 << ": Vellumcrest service about to pause";
    QTest::newRow("7") << 7 << ": Vellumcrest service paused";
    QTest::newRow("8") << 8 << ": Vellumcrest service not installed";
    QTest::newRow("-1") << -1 << ": Vellumcrest service not installed";
}

void TstServiceStatus::stateTexts() {
    QFETCH(int, state);
    QFETCH(QString, text);
    QCOMPARE(serviceStateText(state), text);
}

QTEST_GUILESS_MAIN(TstServiceStatus)
#include "tst_servicestatus.moc"
