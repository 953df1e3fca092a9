// The console end to end: first start on a generated network, the report it shows, the
// navigation between pages, later starts and the close.
#include "app/frmHelp.h"
#include "app/frmMain.h"
#include "app/ProgramFolder.h"
#include "app/Startup.h"
#include "base/Captions.h"
#include "base/Settings.h"
#include "discovery/frameConfiguration.h"
#include "discovery/frameWorkstationHealth.h"
#include "discovery/WorkstationHealth.h"
#include "report/frameData.h"
#include "report/frameReports.h"
#include "report/ReportCharts.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "support/AgentOracle.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedDialogRunner.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"
#include "verticalmenu/VerticalMenu.h"

#include <cmath>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTreeWidget>
#include <QtTest>

namespace {
struct Expected {
    qint64 rows = 0;
    // day -> application -> seconds
    QMap<QDate, QMap<QString, qint64>> seconds;
    QSet<QString> workstations;
};

QString applicationOf(const QString& title) {
    const QString folded = title.toCaseFolded();
    if (folded.contains("mail"))
        return "Mail";
    if (folded.contains("spreadsheet"))
        return "Spreadsheet";
    return "Undefined Applications";
}

QString timeText(qint64 minutes) {
    return QString::number(minutes / 60) + QLatin1Char(':') +
           QStringLiteral("%1").arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// What the console must have collected: the machines a scan checks, downloaded in order, with
// each title counted under the grouping the test database gives it.
Expected expectedFrom(const QString& network) {
    const AgentOracle::Import import = AgentOracle::expected(network, AgentOracle::agentMachines(network));
    Expected expected;
    expected.rows = import.rows;
    expected.workstations = import.workstations;
    for (auto day = import.seconds.cbegin(); day != import.seconds.cend(); ++day) {
        for (auto title = day->cbegin(); title != day->cend(); ++title)
            expected.seconds[day.key()][applicationOf(title.key())] += title.value();
    }
    return expected;
}

QString breadcrumb(const frmMain& window) {
    return TestEnv::child<QLabel>(&window, "lblTitle")->text();
}

// A query's first field, read from the file beside the window's own connection.
qint64 number(const ManagerDatabase& db, const QString& sql) {
    return ManagerFixture::query(db.location(), sql).value(0).toLongLong();
}

qint64 usageRows(ManagerDatabase& db) {
    return number(db, "SELECT count(*) FROM MGRDaySummary");
}
} // namespace

// Every test function starts from a program folder that has never been started, on a freshly
// generated network, and runs the start-ups it needs itself.
class TstConsole : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void init();
    void firstStartScansDownloadsAndReports();
    void navigationKeepsMenuBarAndBarInStep();
    void laterStartsUseTheRegistryAndTakeOnlyNewDays();
    void reportButtons();
    void failedReportSaysWhyAndIsNotSaved();
    void closeStoresPositionUnlessMinimised();
    void corruptedPositionClosesAndStoresAnew();
    void helpWithoutGuide();
    void keyboardReachesEveryPage();
    void newApplicationIsInTheNextReport();
    void withoutANetworkSaysWhereToConfigureOne();

private:
    std::unique_ptr<frmMain> start();
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_home;
    QString m_network;
    std::unique_ptr<Settings> m_settings;
    ScriptedFeedback m_feedback;
    ScriptedDialogRunner m_dialogs;
};

void TstConsole::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_home = m_dir->filePath("home");
    m_network = m_home + "/Network";
    ProgramFolder::install(m_home, TestEnv::buildDir());
    QVERIFY(TestEnv::runAgent({"generate", "--network", m_network, "--machines", "6", "--days", "4",
                               "--rows-per-day", "12", "--quirks", "--seed", "7"}));
    // Groupings exist before the first start, so the criteria page lists them.
    const auto db = ManagerDatabase::open(m_home + "/Data/VCManager.mdb");
    db->addGrouping("Mail", 1);
    db->addGrouping("Spreadsheet", 2);
    db->addGroupingTitle("Mail", "mail");
    db->addGroupingTitle("Spreadsheet", "SPREADSHEET");
    m_settings = std::make_unique<Settings>(m_dir->filePath("settings.ini"));
    m_feedback.clear();
    m_dialogs.shown.clear();
}

std::unique_ptr<frmMain> TstConsole::start() {
    Startup startup(*m_settings, m_feedback, m_dialogs,
                    [](int code) { QFAIL(qPrintable(QStringLiteral("terminated %1").arg(code))); });
    return startup.run(m_home, TestEnv::network(QString(), m_home));
}

void TstConsole::firstStartScansDownloadsAndReports() {
    QVERIFY(!m_settings->previouslyLoaded());
    auto window = start();
    QVERIFY(window);
    QVERIFY(m_settings->previouslyLoaded());
    // The status bar names exactly the monitored machines whose file could not be read.
    QStringList notRead;
    {
        const QStringList readable = AgentOracle::agentMachines(m_network);
        for (const ManagerDatabase::Workstation& ws : window->database()->workstations())
            if (ws.monitored && !readable.contains(ws.name, Qt::CaseInsensitive))
                notRead << ws.name;
    }
    QVERIFY(!notRead.isEmpty()); // the quirky network has a machine whose share cannot be read
    // The first start says in one line what it found and what came in.
    const QRegularExpression outcome("^(\\d+) workstations found, (\\d+) downloaded, \\d+ could not be read: "
                                     "(.*) \u2014 see Workstation Health$");
    const auto match = outcome.match(window->statusText());
    QVERIFY2(match.hasMatch(), qPrintable(window->statusText()));
    QCOMPARE(match.captured(1).toInt(),
             TestEnv::child<QTreeWidget>(window.get(), "tvWorkstations")->topLevelItem(0)->childCount());
    QCOMPARE(match.captured(2).toInt() + notRead.size(), match.captured(1).toInt());
    QStringList named = match.captured(3).split(", ");
    named.sort();
    notRead.sort();
    QCOMPARE(named, notRead);
    const QString reasons =
        QTextDocumentFragment::fromHtml(TestEnv::child<QLabel>(window.get(), "sbPanelStatus")->toolTip())
            .toPlainText();
    for (const QString& name : notRead)
        QVERIFY2(reasons.contains(name + ": "), qPrintable(reasons));
    QCOMPARE(breadcrumb(*window), "Main -> Workstation Data");
    QCOMPARE(window->currentPageName(), "Workstation Data");

    const Expected expected = expectedFrom(m_network);
    QVERIFY(expected.rows > 0);
    QCOMPARE(usageRows(*window->database()), expected.rows);

    // The Reports page writes the report; its numbers are those of the agent databases.
    window->findChild<QAction*>("mnuMainReports")->trigger();
    QCOMPARE(breadcrumb(*window), "Main -> Reports");
    const QString reportPath = m_home + "/Data/HTML/Report.html";
    QCOMPARE(TestEnv::child<frameReports>(window.get())->currentPath(), reportPath);
    QFile file(reportPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString report = QString::fromLatin1(file.readAll());
    const QStringList lines = report.split("\r\n");
    QList<QDate> days;
    QMap<QDate, QList<QPair<QString, QString>>> appLines;
    QMap<QDate, QString> dayTotals;
    static const QRegularExpression dayLine("^<B>(.*)</B>$");
    static const QRegularExpression appLine("^<TD WIDTH=300> <FONT FACE=\"Arial\" SIZE=1>(.*)</FONT> </TD>$");
    static const QRegularExpression timeCell(
        "^<TD> <FONT FACE=\"Arial\" SIZE=1>(?:&nbsp;&nbsp;)?(\\d+:\\d\\d)</FONT> </TD>$");
    static const QRegularExpression totalCell("<HR>(?:&nbsp;&nbsp;)?(\\d+:\\d\\d)</FONT> </TD>$");
    for (int i = 0; i < lines.size(); ++i) {
        if (const auto m = dayLine.match(lines[i]); m.hasMatch()) {
            days << Dates::fromShortText(m.captured(1));
        } else if (const auto a = appLine.match(lines[i]); a.hasMatch() && i + 1 < lines.size()) {
            const auto t = timeCell.match(lines[i + 1]);
            QVERIFY2(t.hasMatch(), qPrintable(lines[i + 1]));
            appLines[days.constLast()].append({a.captured(1), t.captured(1)});
        } else if (const auto t = totalCell.match(lines[i]); t.hasMatch() && !days.isEmpty()) {
            dayTotals[days.constLast()] = t.captured(1);
        }
    }
    QCOMPARE(days, expected.seconds.keys());
    for (const QDate& day : days) {
        QList<QPair<QString, QString>> want;
        qint64 seconds = 0;
        for (auto it = expected.seconds[day].cbegin(); it != expected.seconds[day].cend(); ++it) {
            want.append({it.key(), timeText(static_cast<qint64>(
                                       std::nearbyint(static_cast<double>(it.value()) / 60.0)))});
            seconds += it.value();
        }
        QCOMPARE(appLines[day], want);
        // The day's exact sum rounded once (halves to even), never the lines added up.
        QCOMPARE(dayTotals[day],
                 timeText(static_cast<qint64>(std::nearbyint(static_cast<double>(seconds) / 60.0))));
    }
    for (const QString& ws : expected.workstations)
        QVERIFY2(report.contains("<FONT FACE=\"Arial\" SIZE=1>" + ws + "</FONT>"), qPrintable(ws));
    QVERIFY(m_feedback.messages.isEmpty());

    // Entering the page again regenerates the report.
    QFile::remove(reportPath);
    window->MenuItemClick(1, 3);
    QVERIFY(QFile::exists(reportPath));
    window->close();
}

void TstConsole::navigationKeepsMenuBarAndBarInStep() {
    auto window = start();
    QVERIFY(window);
    window->findChild<QAction*>("mnuOptionsGroupings")->trigger();
    QCOMPARE(breadcrumb(*window), "Options -> Application Groupings");
    QCOMPARE(TestEnv::child<VerticalMenu>(window.get(), "VerticalMenu1")->MenuCur(), 2);
    window->findChild<QAction*>("mnuToolsCheck")->trigger();
    QCOMPARE(breadcrumb(*window), "Tools -> Check Workstations");
    QCOMPARE(TestEnv::child<VerticalMenu>(window.get(), "VerticalMenu1")->MenuCur(), 3);
    window->findChild<QAction*>("mnuOptionsSecurity")->trigger();
    QCOMPARE(breadcrumb(*window), "Options -> Security");
    window->findChild<QAction*>("mnuHelpVisit")->trigger();
    QCOMPARE(breadcrumb(*window), "Help -> Vellumcrest Web Site");
    QVERIFY(TestEnv::child<QTextBrowser>(window.get(), "wbWeb")
                ->source()
                .toLocalFile()
                .endsWith(QLatin1String("/Data/HTML/WebSite.html")));
    window->findChild<QAction*>("mnuMainData")->trigger();
    QCOMPARE(breadcrumb(*window), "Main -> Data Ranges");

    // The navigation item "Scan Workstations" shows the check page; it scans nothing.
    const int nodes = TestEnv::child<frameConfiguration>(window.get())->workstationNodeCount();
    TestEnv::child<VerticalMenu>(window.get(), "VerticalMenu1")->setMenuCur(3);
    window->MenuItemClick(3, 1);
    QCOMPARE(window->currentPageName(), "Check Workstations");
    QCOMPARE(TestEnv::child<frameConfiguration>(window.get())->workstationNodeCount(), nodes);
    // The health page, from the bar and from the menu bar, with a row per registered machine.
    window->MenuItemClick(3, 3);
    QCOMPARE(window->currentPageName(), "Workstation Health");
    QCOMPARE(TestEnv::child<frameWorkstationHealth>(window.get())->model().rowCount(),
             int(window->database()->workstations().size()));
    window->findChild<QAction*>("mnuToolsCheck")->trigger();
    window->findChild<QAction*>("mnuToolsHealth")->trigger();
    QCOMPARE(breadcrumb(*window), "Tools -> Workstation Health");
    // Retention saved on the Privacy page is accounted for on the Audit Log page, after the
    // start-up's collection.
    window->MenuItemClick(2, 3);
    QCOMPARE(window->currentPageName(), "Privacy");
    TestEnv::child<QSpinBox>(window.get(), "spnKeepDays")->setValue(4000);
    TestEnv::child<QPushButton>(window.get(), "cmdSavePrivacy")->click();
    // A rule added on the page rewrites the titles the start-up imported.
    TestEnv::child<QLineEdit>(window.get(), "txtRedactionPattern")->setText("*e*");
    TestEnv::child<QPushButton>(window.get(), "cmdAddRedaction")->click();
    QCOMPARE(TestEnv::child<QListWidget>(window.get(), "lstRedactionRules")->count(), 1);
    TestEnv::child<QPushButton>(window.get(), "cmdApplyRedaction")->click();
    QVERIFY2(window->database()->appTitles().size() > 0, "no titles to rewrite");
    for (const ManagerDatabase::NamedRow& title : window->database()->appTitles())
        QVERIFY2(title.name == "(private)" || !title.name.contains('e', Qt::CaseInsensitive),
                 qPrintable(title.name));
    window->findChild<QAction*>("mnuToolsAuditLog")->trigger();
    QCOMPARE(breadcrumb(*window), "Tools -> Audit Log");
    const QAbstractItemModel* audit = TestEnv::child<QTableView>(window.get(), "tvAuditLog")->model();
    QCOMPARE(audit->index(0, 5).data().toString(), "scan");
    QCOMPARE(audit->index(1, 5).data().toString(), "collect");
    QCOMPARE(audit->index(audit->rowCount() - 3, 6).data().toString(), "KeepDays=4000; MinimumGroup=5");
    QVERIFY(audit->index(audit->rowCount() - 1, 6).data().toString().startsWith("apply rules=1; titles="));
    QVERIFY(TestEnv::child<QLabel>(window.get(), "lblAuditChain")->text().contains("every hash matches"));
    window->MenuItemClick(3, 1);
    // Combinations outside the table do nothing.
    window->MenuItemClick(3, 5);
    window->MenuItemClick(5, 1);
    window->MenuItemClick(1, 11); // not the Groupings page
    window->MenuItemClick(2, -9); // not the Workstation Data page
    QCOMPARE(window->currentPageName(), "Check Workstations");
    window->close();
}

void TstConsole::laterStartsUseTheRegistryAndTakeOnlyNewDays() {
    qint64 before = 0;
    int nodes = 0;
    {
        auto window = start();
        before = usageRows(*window->database());
        nodes = TestEnv::child<frameConfiguration>(window.get())->workstationNodeCount();
        window->close();
    }
    // A second start on the same day takes nothing; the tree comes from the registry even
    // when the network cannot be enumerated.
    QVERIFY(TestEnv::runAgent({"enumeration", "--network", m_network, "--fail"}));
    {
        auto window = start();
        QCOMPARE(usageRows(*window->database()), before);
        QCOMPARE(TestEnv::child<frameConfiguration>(window.get())->workstationNodeCount(), nodes);
        window->close();
    }
    QVERIFY(TestEnv::runAgent({"enumeration", "--network", m_network, "--ok"}));
    QVERIFY(TestEnv::runAgent({"advance", "--network", m_network}));
    const Expected expected = expectedFrom(m_network);
    auto window = start();
    QCOMPARE(usageRows(*window->database()), expected.rows);
    QVERIFY(expected.rows > before);
    QCOMPARE(window->database()->distinctDays().size(), expected.seconds.size());
    // One new day, from exactly the machines whose agent wrote one; names that differ only in
    // letter case are stored once.
    const QDate newest = expected.seconds.lastKey();
    const AgentOracle::Import newDay =
        AgentOracle::expected(m_network, AgentOracle::agentMachines(m_network), newest.addDays(-1));
    QVERIFY(!newDay.withNewDays.isEmpty());
    QCOMPARE(number(*window->database(),
                    "SELECT count(DISTINCT WorkstationKey) FROM MGRDaySummary WHERE Date = '" +
                        Dates::toStored(newest) + "'"),
             qint64(newDay.workstations.size()));
    QCOMPARE(number(*window->database(),
                    "SELECT count(*) FROM (SELECT lower(UserName) FROM MGRUsers GROUP BY 1 "
                    "HAVING count(*) > 1)"),
             0);
    window->close();
}

void TstConsole::reportButtons() {
    auto window = start();
    window->showPageByName("Reports");
    frameReports* page = TestEnv::child<frameReports>(window.get());
    auto* cmdPrintReport = TestEnv::child<QPushButton>(page, "cmdPrintReport");
    auto* cmdExportReport = TestEnv::child<QPushButton>(page, "cmdExportReport");
    // Without an icon theme Print shows the program's own printer, not Export's disk.
    const QImage printIcon = cmdPrintReport->icon().pixmap(16).toImage();
    QVERIFY(!printIcon.isNull());
    QVERIFY(printIcon != cmdExportReport->icon().pixmap(16).toImage());
    // Print dialog cancelled: nothing changes.
    m_feedback.printAnswers = {false};
    cmdPrintReport->click();
    QCOMPARE(m_feedback.printDialogs, 1);
    QVERIFY(cmdPrintReport->isEnabled());
    // Export writes the shown page as it is on disk.
    const QString saved = m_dir->filePath("saved.html");
    m_feedback.fileAnswers = {saved};
    cmdExportReport->click();
    QFile a(saved), b(page->currentPath());
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(a.readAll(), b.readAll());
    // CSV is the shown report's rows, one per day and application, as the report lists them.
    const QString csv = m_dir->filePath("saved.csv");
    m_feedback.fileAnswers = {csv};
    cmdExportReport->click();
    QVERIFY(m_feedback.fileDialogs.last().filter.contains("*.csv"));
    QFile rows(csv);
    QVERIFY(rows.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = rows.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("Date,Application,Minutes,Percent\r"));
    QCOMPARE(lines.size() - 2,
             b.seek(0) ? QString::fromLatin1(b.readAll()).count("<TD WIDTH=300> <FONT") : -1);
    // Each copy that left the console is in the audit log, with where it went.
    const QStringList copies = ManagerFixture::query(
        m_home + "/Data/VCManager.mdb", "SELECT Details FROM MGRAuditLog WHERE Action = 'report' AND "
                                        "Details NOT LIKE 'format=screen;%' ORDER BY Sequence");
    QCOMPARE(copies.size(), 2);
    QVERIFY2(copies[0].startsWith("format=html;") && copies[0].endsWith("output=" + saved),
             qPrintable(copies[0]));
    QVERIFY2(copies[1].startsWith("format=csv;") && copies[1].endsWith("output=" + csv),
             qPrintable(copies[1]));
    // A command the view cannot run disables its own button, and only that one, for good.
    page->setStatusQuery([](frameReports::Command c) { return c != frameReports::Command::SaveAs; });
    cmdExportReport->click();
    QVERIFY(!cmdExportReport->isEnabled());
    QVERIFY(cmdPrintReport->isEnabled());
    page->setStatusQuery({});
    window->showPageByName("Reports");
    QVERIFY(!cmdExportReport->isEnabled());
    QVERIFY(cmdPrintReport->isEnabled());
    // The shown report displays the trade mark and blanks, not raw entity text.
    QVERIFY(!TestEnv::child<QTextBrowser>(page, "brwReport")->toPlainText().contains("&nbsp"));
    // "Charts" (as --page names it): the Reports page generated anew, its charts shown.
    QVERIFY(window->showPageByName("charts"));
    QCOMPARE(window->currentPageName(), "Reports");
    QVERIFY(page->chartsShown());
    QVERIFY(TestEnv::child<ReportCharts>(page)->hasCharts());
    m_feedback.clear();
    window->close();
}

void TstConsole::failedReportSaysWhyAndIsNotSaved() {
    auto window = start();
    // A folder where the report file goes: the file cannot be written.
    QVERIFY(QDir().mkpath(m_home + "/Data/HTML/Report.html/x"));
    m_feedback.clear();
    window->showPageByName("Reports");
    frameReports* page = TestEnv::child<frameReports>(window.get());
    QCOMPARE(m_feedback.messages.size(), 1);
    const QString shown = TestEnv::child<QTextBrowser>(page, "brwReport")->toPlainText();
    QVERIFY2(!shown.contains("Preparing the report"), qPrintable(shown));
    QVERIFY(shown.contains("The report could not be produced."));
    QVERIFY(shown.contains(m_feedback.messages[0].text)); // and why
    const QString saved = m_dir->filePath("saved.html");
    m_feedback.fileAnswers = {saved};
    TestEnv::child<QPushButton>(page, "cmdExportReport")->click();
    QVERIFY(!QFile::exists(saved));
    QCOMPARE(m_feedback.messages.size(), 2);
    QVERIFY(m_feedback.messages[1].text.startsWith("There is no report to export."));
    window->close();
}

void TstConsole::closeStoresPositionUnlessMinimised() {
    m_settings->storeMainPosition(1500, 1500);
    {
        auto window = start();
        window->showMinimized();
        window->close();
    }
    QCOMPARE(m_settings->mainLeft(), 1500);
    QCOMPARE(m_settings->mainTop(), 1500);
    {
        auto window = start();
        QCOMPARE(window->geometry().topLeft(), QPoint(100, 100));   // exactly what was stored
        window->setGeometry(QRect(QPoint(20, 40), window->size())); // the inside, as stored
        window->close();
    }
    QCOMPARE(m_settings->mainLeft(), pixelsToTwips(20, 96.0));
    QCOMPARE(m_settings->mainTop(), pixelsToTwips(40, 96.0));
    // A position no screen shows (a screen since removed) brings the window back onto one.
    m_settings->storeMainPosition(150000, -3000);
    auto window = start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.contains(window->geometry().topLeft()),
             qPrintable(QString("%1,%2").arg(window->x()).arg(window->y())));
    window->close();
}

void TstConsole::corruptedPositionClosesAndStoresAnew() {
    // A retention the console cannot read stops the start before any usage comes in, and says why.
    m_settings->setValue("Privacy", "KeepDays", "abc");
    m_feedback.clear();
    {
        auto window = start();
        QVERIFY(window && !window->isVisible());
        QCOMPARE(m_feedback.messages.size(), 1);
        QVERIFY2(m_feedback.messages[0].text.contains("KeepDays"), qPrintable(m_feedback.messages[0].text));
        QCOMPARE(ManagerFixture::query(m_home + "/Data/VCManager.mdb", "SELECT count(*) FROM MGRDaySummary"),
                 QStringList{"0"});
    }
    m_settings->setValue("Privacy", "KeepDays", "0");
    m_settings->setValue("Settings", "MainLeft", "abc");
    m_feedback.clear();
    auto window = start();
    QVERIFY(window);
    QVERIFY(!window->isVisible());
    QCOMPARE(m_feedback.messages.size(), 1);
    QCOMPARE(m_feedback.messages[0].text, corruptedSettingsMessage());
    QCOMPARE(m_feedback.messages[0].title, "Vellumcrest\u2122 Manager");
    // The close stored a readable position again, so the next start works.
    bool readable = false;
    m_settings->value("Settings", "MainLeft", QString()).toInt(&readable);
    QVERIFY(readable);
    m_feedback.clear();
}

void TstConsole::helpWithoutGuide() {
    QTemporaryDir bare;
    QDir().mkpath(bare.filePath("Data/HTML"));
    Startup startup(*m_settings, m_feedback, m_dialogs, [](int) { QFAIL("terminated"); });
    auto window = startup.run(bare.path(), TestEnv::network("sim:" + m_network, bare.path()));
    QVERIFY(window);
    m_feedback.clear();
    window->findChild<QAction*>("mnuHelpContents")->trigger();
    QCOMPARE(m_feedback.messages.size(), 1);
    QCOMPARE(m_feedback.messages[0].text,
             "Unable to display Help Contents. There is no Help associated with this project.");
    QCOMPARE(m_feedback.messages[0].icon, Feedback::Icon::Information);
    QCOMPARE(m_feedback.messages[0].title, "Vellumcrest\u2122 Manager");
    window->close();
}

// A first start without a network finds and downloads nothing; the status bar says why.
void TstConsole::withoutANetworkSaysWhereToConfigureOne() {
    QVERIFY(QDir(m_network).removeRecursively());
    auto window = start();
    QVERIFY(window);
    QVERIFY2(window->statusText().endsWith(
                 " - no network is configured: see Help, \"Monitoring a Windows network\""),
             qPrintable(window->statusText()));
}

QTEST_MAIN(TstConsole)
#include "tst_console.moc"

// One Alt key per page (the menu bar's letters included), and F1 opens the page's own part of
// the guide.
void TstConsole::keyboardReachesEveryPage() {
    auto window = start();
    QVERIFY(window);
    const auto mnemonic = [](const QString& text) {
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != '&')
                continue;
            if (text[i + 1] == '&') {
                ++i;
                continue;
            }
            return QString(text[i + 1].toLower());
        }
        return QString();
    };
    QStringList bar;
    for (const QAction* action : window->menuBar()->actions())
        bar << mnemonic(action->text());
    for (const QString page : {"Workstation Data", "Data Ranges", "Reports", "Application Groupings",
                               "Security", "Check Workstations", "Workstation Health"}) {
        QVERIFY(window->showPageByName(page));
        const QWidget* shown = TestEnv::child<QStackedWidget>(window.get(), "pages")->currentWidget();
        QStringList keys = bar;
        for (const QAbstractButton* button : shown->findChildren<QAbstractButton*>())
            keys << mnemonic(button->text());
        for (const QLabel* label : shown->findChildren<QLabel*>())
            if (label->buddy())
                keys << mnemonic(label->text());
        keys.removeAll(QString());
        QStringList twice;
        for (const QString& key : keys)
            if (keys.count(key) > 1 && !twice.contains(key))
                twice << key;
        QVERIFY2(twice.isEmpty(), qPrintable(page + ": Alt+" + twice.join(", Alt+")));
    }

    QVERIFY(window->showPageByName("Data Ranges"));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F1);
    const auto* help = window->findChild<frmHelp*>();
    QVERIFY(help);
    QCOMPARE(TestEnv::child<QTextBrowser>(help, "brwHelp")->source().fileName(), "data-ranges.html");
    window->close();
}

// An application added while the console runs is in the criteria at once, ticked, and so in
// the next report, never silently left out.
void TstConsole::newApplicationIsInTheNextReport() {
    auto window = start();
    QVERIFY(window);
    window->findChild<QAction*>("mnuOptionsGroupings")->trigger();
    auto* box = window->findChild<QLineEdit*>("txtAppGroup");
    box->setText("Notes");
    QTest::keyClick(box, Qt::Key_Return);
    const frameData* data = TestEnv::child<frameData>(window.get());
    QVERIFY2(data->checkedApplications().contains("Notes"),
             qPrintable(data->checkedApplications().join(",")));
    window->close();
}
