// The Workstation Health page: its service check, the limit box and its setting, and the same mark on the
// Workstation Data page's tree.
#include "base/Settings.h"
#include "discovery/frameCheckWorkstations.h"
#include "discovery/frameConfiguration.h"
#include "discovery/frameWorkstationHealth.h"
#include "discovery/WorkstationHealth.h"
#include "network/SimNetwork.h"
#include "store/Dates.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedDialogRunner.h"
#include "support/ScriptedFeedback.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QHeaderView>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTreeWidget>
#include <QtTest>

namespace {
// Registry WS1 (read yesterday), ws2 (ten days behind), WS3 (nothing held); the network knows
// WS1 running, WS2 stopped, WS3 unreachable.
struct Fixture {
    QTemporaryDir dir;
    SimNetworkWriter writer{dir.filePath("net")};
    ManagerFixture f;
    ScriptedFeedback feedback;
    std::unique_ptr<SimNetwork> network;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<frameWorkstationHealth> page;
    QStringList settingsFailures;

    explicit Fixture(const QString& settingsPath = {}) {
        writer.writeNetwork("SIMNET", {"WS1", "WS2", "WS3"});
        writer.writeAgentService("WS1", 4);
        writer.writeAgentService("WS2", 1);
        network = std::make_unique<SimNetwork>(writer.dir());
        settings =
            std::make_unique<Settings>(settingsPath.isEmpty() ? dir.filePath("settings.ini") : settingsPath);
        settings->setWriteFailureHandler([this](const QString& message) { settingsFailures << message; });
        f.registerWorkstations({"WS1", "ws2", "WS3"});
        const QDate today = QDate::currentDate();
        f.addUsage("WS1", "anna", "Notes", today.addDays(-1), 60);
        f.addUsage("ws2", "anna", "Notes", today.addDays(-11), 60);
        page = std::make_unique<frameWorkstationHealth>(*network, feedback, *settings);
        page->setDatabase(&f.db());
        page->resize(760, 420);
        page->show();
    }

    QTableView* tvHealth() const { return TestEnv::child<QTableView>(page.get(), "tvHealth"); }
    QSpinBox* spnDaysBehind() const { return TestEnv::child<QSpinBox>(page.get(), "spnDaysBehind"); }

    QStringList column(int column) const {
        QStringList texts;
        const QAbstractItemModel* model = tvHealth()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, column).data().toString();
        return texts;
    }
};

QStringList treeImages(const frameConfiguration& tree) {
    QStringList images;
    const QTreeWidgetItem* root = TestEnv::child<QTreeWidget>(&tree, "tvWorkstations")->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i)
        images << root->child(i)->text(0) + "=" +
                      root->child(i)->data(0, frameConfiguration::ImageRole).toString();
    return images;
}
} // namespace

class TstFrameWorkstationHealth : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void checkServicesAsksEveryRegisteredMachine() {
        Fixture fx;
        fx.page->refresh();
        // Sorted by the service, worst first: the check's states sort the rows again.
        fx.tvHealth()->sortByColumn(WorkstationHealth::Service, Qt::DescendingOrder);
        TestEnv::child<QPushButton>(fx.page.get(), "cmdCheckServices")->click();
        // ws2 is registered in another letter case than the network spells it.
        QCOMPARE(fx.column(WorkstationHealth::Name), (QStringList{"WS3", "ws2", "WS1"}));
        QCOMPARE(fx.column(WorkstationHealth::Service),
                 (QStringList{"Not reached", "Stopped", "Running normally"}));
        QVERIFY(fx.feedback.messages.isEmpty());
        // A stopped agent is marked as such, not only for the days it lags.
        QVERIFY(fx.page->model().marks().value("ws2").contains("stopped"));
        fx.tvHealth()->sortByColumn(WorkstationHealth::Name, Qt::AscendingOrder);
        // The Check Workstations page's check counts as the last one too.
        fx.writer.writeAgentService("WS3", 7);
        frameCheckWorkstations check(*fx.network, fx.feedback);
        connect(&check, &frameCheckWorkstations::serviceChecked, fx.page.get(),
                &frameWorkstationHealth::serviceChecked);
        TestEnv::child<QPushButton>(&check, "cmdCheck")->click();
        QCOMPARE(fx.column(WorkstationHealth::Service),
                 (QStringList{"Running normally", "Stopped", "Paused"}));
    }

    // The back end is told every machine at once (so it can ask several in parallel); Cancel in
    // the progress window stops before the next machine.
    void checkServicesRunsAheadAndCancels() {
        struct WatchedNetwork : SimNetwork {
            using SimNetwork::SimNetwork;
            QList<QStringList> ahead;
            int asked = 0;
            QWidget* page = nullptr;
            void prefetchServices(const QStringList& machines) override { ahead.append(machines); }
            ServiceList services(const QString& machine, int filter) override {
                if (++asked == 2)
                    TestEnv::child<QProgressDialog>(page, "dlgCheckServices")->cancel();
                return SimNetwork::services(machine, filter);
            }
        };
        Fixture fx;
        WatchedNetwork network(fx.writer.dir());
        frameWorkstationHealth page(network, fx.feedback, *fx.settings);
        network.page = &page;
        page.setDatabase(&fx.f.db());
        TestEnv::child<QPushButton>(&page, "cmdCheckServices")->click();
        // Told of every machine first; after the Cancel, what was still ahead is dropped.
        QCOMPARE(network.ahead, (QList<QStringList>{{"WS1", "ws2", "WS3"}, {}}));
        QCOMPARE(network.asked, 2);
        QCOMPARE(page.model().rows().at(2).serviceState, WorkstationHealth::kNotChecked);
    }

    void limitBoxMarksAndIsStored_data() {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("marked");
        QTest::newRow("nine days") << 9 << QStringList{"ws2", "WS3"};
        QTest::newRow("ten days") << 10 << QStringList{"WS3"};
        QTest::newRow("none") << 0 << QStringList{"ws2", "WS3"};
    }

    void limitBoxMarksAndIsStored() {
        QFETCH(int, limit);
        QFETCH(QStringList, marked);
        Fixture fx;
        fx.page->refresh();
        QSignalSpy spy(fx.page.get(), &frameWorkstationHealth::markedChanged);
        fx.spnDaysBehind()->setValue(limit);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(fx.page->model().markedNames(), marked);
        QCOMPARE(Settings(fx.dir.filePath("settings.ini")).daysBehindLimit(), limit);
        // Marked rows are shaded; the others keep the table's ground.
        const QAbstractItemModel* shown = fx.tvHealth()->model();
        for (int row = 0; row < shown->rowCount(); ++row) {
            const QString name = shown->index(row, WorkstationHealth::Name).data().toString();
            QCOMPARE(shown->index(row, WorkstationHealth::Result).data(Qt::BackgroundRole).isValid(),
                     marked.contains(name));
        }
        QVERIFY(fx.settingsFailures.isEmpty());
    }

    void limitThatCannotBeStoredIsReported() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Fixture fx(dir.filePath("blocker/settings.ini"));
        fx.page->refresh();
        fx.spnDaysBehind()->setValue(20);
        QCOMPARE(fx.settingsFailures.size(), 1);
        // The limit holds for this run all the same.
        QCOMPARE(fx.page->model().markedNames(), QStringList{"WS3"});
    }

    void reasonsAreShownLiterally() {
        Fixture fx;
        ManagerDatabase::DownloadStatus status;
        status.attemptTime = QDateTime::currentDateTimeUtc();
        status.result = ManagerDatabase::DownloadStatus::Result::Failed;
        status.reason = "<b>not</b> a database";
        fx.f.db().recordDownload(1, status);
        fx.page->refresh();
        const QString tip =
            fx.tvHealth()->model()->index(0, WorkstationHealth::Result).data(Qt::ToolTipRole).toString();
        QCOMPARE(QTextDocumentFragment::fromHtml(tip).toPlainText(),
                 QString("Could not be read: <b>not</b> a database"));
        // At the page's size in the console's first window the reason is shown whole.
        QVERIFY(QTest::qWaitForWindowExposed(fx.page.get()));
        QHeaderView* header = fx.tvHealth()->horizontalHeader();
        const int needed =
            fx.tvHealth()->fontMetrics().horizontalAdvance("Could not be read: <b>not</b> a database");
        QVERIFY(fx.tvHealth()->columnWidth(WorkstationHealth::Result) > needed);
        QVERIFY(header->sectionViewportPosition(WorkstationHealth::Result) +
                    header->sectionSize(WorkstationHealth::Result) <=
                fx.tvHealth()->viewport()->width());
    }

    void treeShowsTheSameMark() {
        Fixture fx;
        ScriptedDialogRunner dialogs;
        frameConfiguration tree(*fx.network, fx.feedback, dialogs);
        tree.setDatabase(&fx.f.db());
        connect(fx.page.get(), &frameWorkstationHealth::markedChanged, &tree,
                &frameConfiguration::setMarkedWorkstations);
        tree.loadTreeFromRegistry();
        QCOMPARE(treeImages(tree), (QStringList{"WS1=pc", "ws2=pc", "WS3=pc"}));
        fx.page->refresh();
        QCOMPARE(treeImages(tree), (QStringList{"WS1=pc", "ws2=pc-behind", "WS3=pc-behind"}));
        // The mark survives the tree being built again, and follows the limit.
        tree.loadTreeFromRegistry();
        QCOMPARE(treeImages(tree), (QStringList{"WS1=pc", "ws2=pc-behind", "WS3=pc-behind"}));
        fx.spnDaysBehind()->setValue(10);
        QCOMPARE(treeImages(tree), (QStringList{"WS1=pc", "ws2=pc", "WS3=pc-behind"}));
        // A machine without any day says so on hover.
        QTreeWidgetItem* ws3 =
            TestEnv::child<QTreeWidget>(&tree, "tvWorkstations")->topLevelItem(0)->child(2);
        QVERIFY2(ws3->toolTip(0).contains("no day"), qPrintable(ws3->toolTip(0)));
        // Names from elsewhere match whatever their letter case.
        tree.setMarkedWorkstations({{"WS2", "More than 3 days behind"}});
        QCOMPARE(treeImages(tree), (QStringList{"WS1=pc", "ws2=pc-behind", "WS3=pc"}));
        // Unticking a machine takes its mark away at once.
        TestEnv::child<QTreeWidget>(&tree, "tvWorkstations")
            ->topLevelItem(0)
            ->child(1)
            ->setCheckState(0, Qt::Unchecked);
        QCOMPARE(treeImages(tree), (QStringList{"WS1=pc", "ws2=pc", "WS3=pc"}));
    }
};

QTEST_MAIN(TstFrameWorkstationHealth)
#include "tst_frameworkstationhealth.moc"
