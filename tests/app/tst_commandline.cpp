// The commands for scheduled runs, run as the installed program is: a separate process without
// a display, judged by its exit code, its lines and the files it leaves.
#include "app/CommandLine.h"
#include "app/Password.h"
#include "app/ProgramFolder.h"
#include "base/Settings.h"
#include "base/Version.h"
#include "export/DataExport.h"
#include "report/frameData.h"
#include "report/GenerateReport.h"
#include "report/ReportCsv.h"
#include "report/ReportProgress.h"
#include "store/ManagerDatabase.h"
#include "support/AgentOracle.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// A disk that fills up: larger than an agent file of the test's network (20 KiB), smaller than
// what the first merge of its four machines commits (about 36 KiB).
constexpr qint64 kFullDisk = 24 * 1024;

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool ownerOnly(const QString& path) {
    return (QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser)) ==
           (QFile::ReadOwner | QFile::WriteOwner);
}

// Unchecks every item of a criteria list but those named.
void keepOnly(QListWidget* list, const QStringList& names) {
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(names.contains(list->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
}

} // namespace

class TstCommandLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void init();
    void runsWithoutDisplay_data();
    void runsWithoutDisplay();
    void usage_data();
    void usage();
    void collectReadsAndNamesWhatCouldNotBeRead();
    void collectScanDownloadsTheRegistry_data();
    void collectScanDownloadsTheRegistry();
    void collectFatal_data();
    void collectFatal();
    void reportIsTheConsolesReport_data();
    void reportIsTheConsolesReport();
    void reportRefusesUnknownNames_data();
    void reportRefusesUnknownNames();
    void reportWhileAnotherProcessWrites();
    void writersTakeTurns();
    void outputRefused_data();
    void outputRefused();
    void exportWritesTheDataExport();
    void password_data();
    void password();
    void auditAccountsForEveryCommand();
    void pseudonymisedReportsNameNoOne();
    void redactionRulesOnImportAndStoredTitles();

private:
    // fileSizeLimit: the largest file the program may write (a full disk), 0 for none.
    Outcome run(const QStringList& arguments, const QString& home = QString(), qint64 fileSizeLimit = 0);
    // run() in two halves, for processes that run at once.
    void start(QProcess& process, const QStringList& arguments, const QString& home = QString(),
               qint64 fileSizeLimit = 0);
    Outcome finish(QProcess& process);
    // Scans and downloads once, so that the database holds usage: --from its first day --to its last.
    QStringList collected();
    QString database() const { return m_home + "/Data/VCManager.mdb"; }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_home;
    QString m_network;
    QString m_settings;
};

void TstCommandLine::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_home = m_dir->filePath("home");
    m_network = m_dir->filePath("network");
    m_settings = m_dir->filePath("settings.ini");
    ProgramFolder::install(m_home, TestEnv::buildDir());
    QVERIFY(TestEnv::runAgent({"generate", "--network", m_network, "--machines", "4", "--days", "3",
                               "--rows-per-day", "10", "--seed", "5"}));
    const auto db = ManagerDatabase::open(database());
    db->addGrouping("Mail", 1);
    db->addGrouping("Spreadsheet", 2);
    db->addGroupingTitle("Mail", "mail");
    db->addGroupingTitle("Spreadsheet", "SPREADSHEET");
}

void TstCommandLine::start(QProcess& process, const QStringList& arguments, const QString& home,
                           qint64 fileSizeLimit) {
    if (fileSizeLimit > 0) {
        process.setChildProcessModifier([fileSizeLimit] {
            // A write past the limit fails with EFBIG, as one on a full disk fails.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    // No display at all, and a platform that would need one: the commands must not care.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    // The report's dates are in the locale's short format: the same locale as this test's.
    environment.insert("LC_ALL", "en_US.UTF-8");
    process.setProcessEnvironment(environment);
    // Relative paths in the arguments are the test folder's.
    process.setWorkingDirectory(m_dir->path());
    process.start(TestEnv::buildDir() + "/vellumcrest-manager",
                  QStringList{"--home", home.isEmpty() ? m_home : home, "--network", "sim:" + m_network,
                              "--settings", m_settings} +
                      arguments);
}

Outcome TstCommandLine::run(const QStringList& arguments, const QString& home, qint64 fileSizeLimit) {
    QProcess process;
    start(process, arguments, home, fileSizeLimit);
    return finish(process);
}

Outcome TstCommandLine::finish(QProcess& process) {
    Outcome outcome;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        outcome.err = QStringLiteral("did not finish: ") + process.errorString();
        return outcome;
    }
    outcome.code = process.exitCode();
    outcome.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.err = QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

QStringList TstCommandLine::collected() {
    const Outcome scan = run({"collect", "--scan"});
    const QList<QDate> days = ManagerDatabase::open(database())->distinctDays();
    if (scan.code != 0 || days.isEmpty())
        return {};
    return {"--from", days.first().toString(Qt::ISODate), "--to", days.last().toString(Qt::ISODate)};
}

// Decided before the application exists, so that a command gets the offscreen platform and the
// console keeps the display, whatever values the options carry.
void TstCommandLine::runsWithoutDisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("command");
    QTest::newRow("nothing") << QStringList{} << false;
    QTest::newRow("command first") << QStringList{"collect", "--scan"} << true;
    QTest::newRow("after options") << QStringList{"--home", "h", "--settings=s.ini", "report"} << true;
    QTest::newRow("a value named like a command") << QStringList{"--home", "collect"} << false;
    QTest::newRow("Qt's own option with its value")
        << QStringList{"-platform", "xcb", "--page", "Reports"} << false;
    QTest::newRow("screenshot run") << QStringList{"--screenshot", "a.png", "--page", "Reports"} << false;
    QTest::newRow("after the end of options") << QStringList{"--", "export"} << true;
    // Help and usage errors need no display either.
    QTest::newRow("help") << QStringList{"--help"} << true;
    QTest::newRow("version") << QStringList{"-v"} << true;
    QTest::newRow("a command's option alone") << QStringList{"--output", "x"} << true;
    QTest::newRow("an unknown option") << QStringList{"--home", "h", "--fast"} << true;
    QTest::newRow("Qt's own switch") << QStringList{"-reverse"} << false;
}

void TstCommandLine::runsWithoutDisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, command);
    QList<QByteArray> storage{"vellumcrest-manager"};
    for (const QString& argument : arguments)
        storage.append(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    QCOMPARE(CommandLine::runsWithoutDisplay(static_cast<int>(argv.size()), argv.data()), command);
}

void TstCommandLine::usage_data() {
    QTest::addColumn<QString>("arguments"); // split at spaces
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says"); // on stdout for code 0, else on stderr
    QTest::newRow("help documents everything")
        << "--help" << 0
        << "collect|report|export|store init|--scan|--wait|--from|--to|--applications|--users|"
           "--workstations|--format|--csv-raw|--output|--password-file|--quiet|--screenshot|--page|"
           "--home|--network|--settings|YYYY-MM-DD|smb:FILE|Network=|Exit status|3 the database failed|"
           "audit|--verify|--pseudonymise|--pseudonymise-workstations|redaction|--pattern|--replacement|"
           "--position";
    QTest::newRow("version") << "--version" << 0 << QStringLiteral("vellumcrest-manager ") + Version::kText;
    QTest::newRow("unknown command") << "publish" << 2 << "Unknown command: publish";
    QTest::newRow("two commands") << "collect export" << 2 << "Only one command";
    QTest::newRow("unknown option") << "collect --fast" << 2 << "fast";
    // Without a display, not even the console's own start aborts.
    QTest::newRow("unknown option, no command") << "--fast" << 2 << "Unknown option 'fast'";
    QTest::newRow("the console without a display") << "" << 2 << "no display; the commands run without one";
    QTest::newRow("a wait that is no number") << "collect --wait soon" << 2 << "--wait needs a number";
    QTest::newRow("store without its action") << "store" << 2 << "store init";
    QTest::newRow("redaction without its action") << "redaction clear" << 2 << "list, add, remove or apply";
    QTest::newRow("a rule without a pattern") << "redaction add --replacement x" << 2 << "needs --pattern";
    QTest::newRow("a pattern to list") << "redaction list --pattern x" << 2 << "add and remove only";
    QTest::newRow("a position that is no number")
        << "redaction add --pattern x --position 0" << 2 << "--position needs";
    QTest::newRow("option of another command") << "export --scan --from 2024-01-01 --to 2024-01-02 --output x"
                                               << 2 << "--scan does not apply to export";
    QTest::newRow("command option without a command") << "--from 2024-01-01" << 2 << "--from needs a command";
    QTest::newRow("no dates") << "export --output x" << 2 << "--from DATE is required";
    QTest::newRow("not ISO") << "export --from 1/2/2024 --to 2024-01-02 --output x" << 2 << "not a date";
    QTest::newRow("no such day") << "report --from 2024-02-30 --to 2024-03-01 --format csv --output x" << 2
                                 << "not a date (YYYY-MM-DD): 2024-02-30";
    QTest::newRow("days reversed") << "export --from 2024-03-02 --to 2024-03-01 --output x" << 2
                                   << "is after";
    QTest::newRow("unknown format") << "report --from 2024-03-01 --to 2024-03-01 --format xls --output x" << 2
                                    << "not xls";
    QTest::newRow("raw names for a PDF") << "report --from 2024-03-01 --to 2024-03-01 --format pdf --csv-raw "
                                            "--output x"
                                         << 2 << "--csv-raw applies to --format csv only";
    QTest::newRow("no output") << "report --from 2024-03-01 --to 2024-03-01 --format csv" << 2 << "--output";
    QTest::newRow("no network for collect")
        << "--network= collect" << 2 << "No network is configured|smb:FILE";
}

void TstCommandLine::usage() {
    QFETCH(QString, arguments);
    QFETCH(int, code);
    QFETCH(QString, says);
    // A program folder that is not there: a usage error, help or the version never makes it.
    const QString home = m_dir->filePath("unmade");
    const Outcome outcome = run(arguments.split(' ', Qt::SkipEmptyParts), home);
    QCOMPARE(outcome.code, code);
    const QString& text = code == 0 ? outcome.out : outcome.err;
    for (const QString& part : says.split('|'))
        QVERIFY2(text.contains(part), qPrintable(part + QStringLiteral(" not in: ") + text));
    QVERIFY(!QFileInfo::exists(home));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("x")));
}

void TstCommandLine::collectReadsAndNamesWhatCouldNotBeRead() {
    const QStringList machines = AgentOracle::agentMachines(m_network);
    QVERIFY(machines.size() >= 3);
    QStringList expected;
    for (const QString& machine : machines)
        expected << machine + ": read";
    for (const QStringList& arguments : {QStringList{"collect", "--scan"}, QStringList{"collect"}}) {
        const Outcome outcome = run(arguments);
        QVERIFY2(outcome.code == 0, qPrintable(outcome.out + outcome.err));
        QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.takeLast(), "Workstation data download complete");
        if (arguments.contains("--scan"))
            QVERIFY(lines.takeFirst().startsWith(QString::number(machines.size()) + " monitored"));
        QCOMPARE(lines, expected);
    }
    // A cron job with --quiet mails nothing when all went well.
    const Outcome quiet = run({"collect", "--quiet"});
    QCOMPARE(quiet.code, 0);
    QCOMPARE(quiet.out + quiet.err, QString());
    {
        // What came in is exactly what the agent files hold, taken once.
        const QStringList rows = ManagerFixture::query(database(), "SELECT count(*) FROM MGRDaySummary");
        QCOMPARE(rows.value(0).toLongLong(), AgentOracle::expected(m_network, machines).rows);
    }
    QVERIFY(Settings(m_settings).previouslyLoaded());

    // The first machine's share is gone, the second's file is no database.
    QVERIFY(QDir(m_network + '/' + machines[0]).rename("Vellumcrest$", "gone"));
    QFile file(m_network + '/' + machines[1] + "/Vellumcrest$/Data/VCWorkstation.mdb");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(4096, 'x'));
    file.close();

    const Outcome outcome = run({"collect"});
    QCOMPARE(outcome.code, 1);
    const QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), machines.size() + 1);
    for (int i = 0; i < machines.size(); ++i)
        QVERIFY2(lines[i].startsWith(machines[i] + (i >= 2 ? ": read" : ": not read: ")),
                 qPrintable(lines[i]));
    QVERIFY2(lines.last().contains("2 workstations could not be read"), qPrintable(lines.last()));
    // --quiet keeps exactly the problems (a copy's temporary path differs from run to run).
    const Outcome problems = run({"collect", "--quiet"});
    QCOMPARE(problems.code, 1);
    const QStringList kept = problems.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(kept.size(), 3);
    QCOMPARE(kept[0], lines[0]);
    QVERIFY2(kept[1].startsWith(machines[1] + ": not read: "), qPrintable(kept[1]));
    QCOMPARE(kept[2], lines.last());
}

// After a scan, every monitored machine of the registry is downloaded, found or not, and a scan
// that finds none of them (an expired password makes every machine look agent-less) is no success.
void TstCommandLine::collectScanDownloadsTheRegistry_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("says"); // on stderr
    QTest::newRow("a monitored machine switched off") << "off"
                                                      << "";
    QTest::newRow("every machine looks agent-less") << "agentless"
                                                    << "found no workstation running the agent";
    QTest::newRow("the machines cannot be listed") << "unlisted"
                                                   << "could not be listed";
}

void TstCommandLine::collectScanDownloadsTheRegistry() {
    QFETCH(QString, change);
    QFETCH(QString, says);
    const QStringList machines = AgentOracle::agentMachines(m_network);
    QCOMPARE(run({"collect", "--scan"}).code, 0);
    if (change == "off") {
        QVERIFY(QDir(m_network + '/' + machines[0]).rename("Vellumcrest$", "gone"));
        QVERIFY(TestEnv::runAgent(
            {"service", "--network", m_network, "--machine", machines[0], "--state", "unreachable"}));
    } else if (change == "agentless") {
        for (const QString& machine : machines)
            QVERIFY(TestEnv::runAgent(
                {"service", "--network", m_network, "--machine", machine, "--state", "denied"}));
    } else {
        QVERIFY(TestEnv::runAgent({"enumeration", "--network", m_network, "--fail"}));
    }
    const Outcome outcome = run({"collect", "--scan"});
    QVERIFY2(outcome.code == 1, qPrintable(QString::number(outcome.code) + outcome.out + outcome.err));
    QVERIFY2(outcome.err.contains(says), qPrintable(outcome.err));
    for (const QString& machine : machines)
        QVERIFY2(outcome.out.contains(machine +
                                      (change == "off" && machine == machines[0] ? ": not read" : ": read")),
                 qPrintable(outcome.out));
}

void TstCommandLine::collectFatal_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("says");
    QTest::newRow("home under a file") << "home"
                                       << "No database at";
    QTest::newRow("no database at --home") << "missing"
                                           << "store init";
    QTest::newRow("database of a newer version") << "schema"
                                                 << "newer version";
    // A failed commit is the store's failure, not a laptop that was off.
    QTest::newRow("disk full at the merge's commit") << "full"
                                                     << "could not be read";
}

// The store failed: exit 3, and nothing made where --home points.
void TstCommandLine::collectFatal() {
    QFETCH(QString, damage);
    QFETCH(QString, says);
    QString home = m_home;
    QStringList arguments{"collect"};
    qint64 limit = 0;
    // Held open, so the engine's shared-memory file exists and the limit meets only the log that
    // a commit appends to.
    std::unique_ptr<ManagerDatabase> holder;
    if (damage == "home") {
        // Even root cannot make a folder under a file.
        QFile blocker(m_dir->filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        home = blocker.fileName() + "/home";
    } else if (damage == "missing") {
        home = m_dir->filePath("typo");
    } else if (damage == "schema") {
        ManagerFixture::execute(database(), "PRAGMA user_version = 9999");
    } else {
        holder = ManagerDatabase::open(database());
        arguments << "--scan";
        limit = kFullDisk;
    }
    const Outcome outcome = run(arguments, home, limit);
    QVERIFY2(outcome.code == 3, qPrintable(QString::number(outcome.code) + outcome.out + outcome.err));
    QVERIFY2((outcome.out + outcome.err).contains(says), qPrintable(outcome.out + outcome.err));
    if (damage == "missing") {
        QVERIFY(!QFileInfo::exists(home));
        // The one command that makes a store, once; the next collect then works there.
        const Outcome made = run({"store", "init"}, home);
        QVERIFY2(made.code == 0 && made.out.startsWith("Created "), qPrintable(made.out + made.err));
        const Outcome again = run({"store", "init"}, home);
        QVERIFY2(again.code == 0 && again.out.contains("already there"), qPrintable(again.out + again.err));
        QCOMPARE(run({"collect", "--scan"}, home).code, 0);
        QVERIFY(QFileInfo::exists(home + "/Data/VCManager.mdb"));
    }
}

void TstCommandLine::reportIsTheConsolesReport_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("subset"); // one application, the first user, a workstation in lower case
    QTest::addColumn<bool>("raw");    // --csv-raw
    QTest::addColumn<QString>("to");  // --to; empty: the last day held
    QTest::newRow("html, everything") << "html" << false << false << "";
    QTest::newRow("csv, everything") << "csv" << false << false << "";
    // The day after it would be "10000-01-01", text that sorts before every day.
    QTest::newRow("csv, to the last day of the calendar") << "csv" << false << false << "9999-12-31";
    QTest::newRow("detail csv, chosen names") << "detail.csv" << true << false << "";
    QTest::newRow("detail csv, names as stored") << "detail.csv" << false << true << "";
    QTest::newRow("pdf") << "pdf" << false << false << "";
}

void TstCommandLine::reportIsTheConsolesReport() {
    QFETCH(QString, format);
    QFETCH(bool, subset);
    QFETCH(bool, raw);
    QFETCH(QString, to);
    QStringList days = collected();
    QVERIFY(!days.isEmpty());
    if (!to.isEmpty())
        days[3] = to;
    // A name a spreadsheet would take for a formula.
    ManagerFixture::execute(database(), "UPDATE MGRUsers SET UserName = '=' || UserName");
    const QString output = m_dir->filePath("out." + format);
    // An older file there, readable by anyone: replaced, and owner-only afterwards.
    QFile old(output);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older");
    old.close();
    QVERIFY(old.setPermissions(old.permissions() | QFile::ReadGroup | QFile::ReadOther));

    QString user;
    QString workstation;
    {
        // A user and a workstation that have usage together, so the chosen report is not empty.
        const QStringList pair =
            ManagerFixture::query(database(), "SELECT u.UserName, w.Name FROM MGRDaySummary d "
                                              "JOIN MGRUsers u ON u.UserNameID = d.UserNameKey "
                                              "JOIN MGRWorkstations w ON "
                                              "w.WorkstationID = d.WorkstationKey "
                                              "ORDER BY d.Date DESC LIMIT 1");
        QCOMPARE(pair.size(), 1);
        user = pair.first().section('|', 0, 0);
        workstation = pair.first().section('|', 1, 1);
    }
    // A network that cannot be built: the report needs none and must not care.
    QStringList arguments = QStringList{"--network", "smb:" + m_dir->filePath("missing.ini"), "report"} +
                            days + QStringList{"--format", format.section('.', -1), "--output", output};
    if (raw)
        arguments << "--csv-raw";
    if (subset)
        arguments << "--applications"
                  << "Mail,Undefined Applications"
                  << "--users" << user << "--workstations" << workstation.toLower();
    const Outcome outcome = run(arguments);
    QVERIFY2(outcome.code == 0, qPrintable(outcome.out + outcome.err));
    QVERIFY(ownerOnly(output));
    const QByteArray written = readAll(output);

    // The console: the criteria page as it starts (or with the same items checked), then its report.
    const auto db = ManagerDatabase::open(database());
    ScriptedFeedback feedback;
    frameData criteriaPage(*db, feedback);
    criteriaPage.LoadReportCriteria();
    if (subset) {
        keepOnly(TestEnv::child<QListWidget>(&criteriaPage, "lstApplications"),
                 {"Mail", "Undefined Applications"});
        keepOnly(TestEnv::child<QListWidget>(&criteriaPage, "lstUsers"), {user});
        keepOnly(TestEnv::child<QListWidget>(&criteriaPage, "lstWorkstations"), {workstation});
    }
    ReportProgress progress;
    int step = 1;
    const ReportOutcome console = generateReport(*db, criteriaPage.criteria(), m_home, progress, step);
    QCOMPARE(int(console.page), int(ReportPage::Report));
    if (format == "html") {
        QCOMPARE(written, readAll(console.path));
    } else if (format.endsWith("csv")) {
        // The Reports page's CSV of its report, as its Export Report dialog writes it.
        const QString mine = m_dir->filePath("console." + format);
        ReportCsv::write(*console.report, mine, ReportCsv::kindOf(mine),
                         raw ? ReportCsv::Names::Raw : ReportCsv::Names::Neutralised);
        QCOMPARE(written.contains(",'="), !raw && format == "detail.csv");
        QCOMPARE(written, readAll(mine));
        QVERIFY(written.count('\n') > 1);
    } else {
        QVERIFY(written.startsWith("%PDF-"));
        QVERIFY(written.size() > 1000);
    }
}

void TstCommandLine::reportRefusesUnknownNames_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("unknown");
    QTest::newRow("application in another letter case") << "--applications"
                                                        << "mail,Spreadsheet"
                                                        << "mail";
    QTest::newRow("two unknown users") << "--users"
                                       << "nobody,ghost"
                                       << "nobody, ghost";
    QTest::newRow("workstation") << "--workstations"
                                 << "NO-SUCH-PC"
                                 << "NO-SUCH-PC";
    QTest::newRow("empty list") << "--users"
                                << ","
                                << "No users given";
}

void TstCommandLine::reportRefusesUnknownNames() {
    QFETCH(QString, option);
    QFETCH(QString, names);
    QFETCH(QString, unknown);
    const QString output = m_dir->filePath("out.csv");
    const Outcome outcome = run(QStringList{"report"} + collected() +
                                QStringList{"--format", "csv", "--output", output, option, names});
    QCOMPARE(outcome.code, 2);
    QVERIFY2(outcome.err.contains(unknown), qPrintable(outcome.err));
    QVERIFY(!QFile::exists(output));
}

// A collect (or any other writer) in the middle of its transaction: the report neither waits for
// it nor sees its unfinished work.
void TstCommandLine::reportWhileAnotherProcessWrites() {
    const QStringList days = collected();
    QVERIFY(!days.isEmpty());
    const QString before = m_dir->filePath("before.html");
    QCOMPARE(run(QStringList{"report"} + days + QStringList{"--format", "html", "--output", before}).code, 0);

    QProcess writer;
    writer.start("sqlite3", {database()});
    QVERIFY2(writer.waitForStarted(), "the sqlite3 tool is missing");
    writer.write("BEGIN IMMEDIATE;\nDELETE FROM MGRDaySummary;\nSELECT 'held';\n");
    while (!writer.readAllStandardOutput().contains("held"))
        QVERIFY2(writer.waitForReadyRead(10000), qPrintable(writer.readAllStandardError()));
    const QString during = m_dir->filePath("during.html");
    // The report reads its snapshot and writes its file under the writer's lock; only its audit
    // row waits for the lock, which the writer gives up once the file is there.
    QProcess reporter;
    start(reporter, QStringList{"report"} + days + QStringList{"--format", "html", "--output", during});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(during).size() > 0, 60000);
    writer.write("ROLLBACK;\n");
    writer.waitForBytesWritten(10000);
    writer.closeWriteChannel();
    const Outcome outcome = finish(reporter);
    QVERIFY(writer.waitForFinished(10000));
    QVERIFY2(outcome.code == 0, qPrintable(outcome.out + outcome.err));
    QCOMPARE(readAll(during), readAll(before));
}

// One writer at a time: collect waits for the writer holding the turn (here this test, as the
// console's download would) and gives up as busy after --wait, with nothing written; two
// collects at once both finish and never add a name twice, and a report runs while they write.
void TstCommandLine::writersTakeTurns() {
    {
        const auto console = ManagerDatabase::open(database());
        const auto turn = console->takeWritersTurn({});
        QVERIFY(turn);
        const Outcome busy = run({"collect", "--scan", "--wait", "1"});
        QVERIFY2(busy.code == 3, qPrintable(QString::number(busy.code) + busy.out + busy.err));
        QVERIFY2(busy.err.contains("busy") && busy.out.contains("waiting up to 1 s"),
                 qPrintable(busy.out + busy.err));
        QVERIFY(console->workstations().isEmpty());
    }
    QProcess first;
    QProcess second;
    start(first, {"collect", "--scan"});
    start(second, {"collect", "--scan"});
    QProcess reader;
    start(reader,
          {"report", "--from", "2000-01-01", "--to", "2099-12-31", "--format", "csv", "--output", "r.csv"});
    for (QProcess* process : {&first, &second, &reader}) {
        const Outcome outcome = finish(*process);
        QVERIFY2(outcome.code == 0, qPrintable(QString::number(outcome.code) + outcome.out + outcome.err));
    }
    const QString twice = "SELECT count(*) - count(DISTINCT lower(%1)) FROM %2";
    QCOMPARE(ManagerFixture::query(database(), twice.arg("UserName", "MGRUsers")), QStringList{"0"});
    QCOMPARE(ManagerFixture::query(database(), twice.arg("AppTitle", "MGRAppTitles")), QStringList{"0"});
    QCOMPARE(ManagerFixture::query(database(), twice.arg("Name", "MGRWorkstations")), QStringList{"0"});
    QVERIFY(ManagerFixture::query(database(), "SELECT count(*) FROM MGRDaySummary").value(0).toInt() > 0);
}

// An --output that is not a plain file of ours is refused before anything is read, and left as
// it was; a write cut short (a full disk) keeps the older file; a killed run's temporary goes.
void TstCommandLine::outputRefused_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("command"); // report (PDF) or export
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("a pipe") << "fifo"
                            << "report" << 2 << "not a regular file";
    QTest::newRow("a device") << "device"
                              << "report" << 2 << "not a regular file";
    QTest::newRow("a folder") << "folder"
                              << "export" << 2 << "is a folder";
    QTest::newRow("a symbolic link") << "link"
                                     << "report" << 2 << "symbolic link";
    QTest::newRow("the database") << "database"
                                  << "report" << 2 << "manager database";
    QTest::newRow("the database, exported into") << "database"
                                                 << "export" << 2 << "manager database";
    QTest::newRow("a hard link to the database") << "hardlink"
                                                 << "report" << 2 << "manager database";
    QTest::newRow("the database's journal name") << "journal"
                                                 << "export" << 2 << "manager database";
    QTest::newRow("a full disk") << "full"
                                 << "report" << 3 << "incomplete";
    QTest::newRow("a killed run's temporary") << "stale"
                                              << "report" << 0 << "";
}

void TstCommandLine::outputRefused() {
    QFETCH(QString, target);
    QFETCH(QString, command);
    QFETCH(int, code);
    QFETCH(QString, says);
    const QStringList days = collected();
    QVERIFY(!days.isEmpty());
    QString output = m_dir->filePath("out.pdf");
    const QByteArray path = QFile::encodeName(output);
    QFile older(output);
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
    older.close();
    qint64 limit = 0;
    std::unique_ptr<ManagerDatabase> holder; // as in collectFatal
    if (target == "fifo") {
        QVERIFY(older.remove() && ::mkfifo(path.constData(), 0644) == 0);
    } else if (target == "device") {
        // Never the real /dev/null: a node of the same kind in the test's own folder.
        if (::geteuid() != 0)
            QSKIP("only root can make a device node");
        QVERIFY(older.remove() && ::mknod(path.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0);
    } else if (target == "folder") {
        QVERIFY(older.remove() && QDir(m_dir->path()).mkdir("out.pdf"));
    } else if (target == "link") {
        output = m_dir->filePath("link.pdf");
        QVERIFY(QFile::link(older.fileName(), output));
    } else if (target == "database") {
        output = database();
    } else if (target == "hardlink") {
        output = m_dir->filePath("copy.pdf");
        QVERIFY(::link(QFile::encodeName(database()).constData(), QFile::encodeName(output).constData()) ==
                0);
    } else if (target == "journal") {
        output = database() + "-journal";
    } else if (target == "full") {
        holder = ManagerDatabase::open(database());
        limit = 4096; // a report's PDF is several times larger
    } else {
        QFile stale(m_dir->filePath(".out.pdf.Ab12Cd.vctmp"));
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("half a page") > 0 && stale.flush());
        QVERIFY(stale.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                  QFileDevice::FileModificationTime));
        stale.close();
    }
    struct stat before {};
    QVERIFY(::lstat(path.constData(), &before) == 0);
    const QByteArray databaseBefore = readAll(database());
    const QStringList arguments = command == "report" ? QStringList{"--format", "pdf"} : QStringList{};
    const Outcome outcome =
        run(QStringList{command} + days + arguments + QStringList{"--output", output}, {}, limit);
    QVERIFY2(outcome.code == code, qPrintable(QString::number(outcome.code) + outcome.out + outcome.err));
    QVERIFY2(outcome.err.contains(says), qPrintable(outcome.err));
    // A report written is accounted for in the audit log; a refused one leaves the store alone.
    if (code == 0)
        QCOMPARE(ManagerDatabase::open(database())->auditRows().constLast().action, QString("report"));
    else
        QCOMPARE(readAll(database()), databaseBefore);
    QVERIFY(!QFileInfo::exists(database() + "-journal"));
    struct stat after {};
    QVERIFY(::lstat(path.constData(), &after) == 0);
    if (code == 0) {
        QVERIFY(readAll(output).startsWith("%PDF-"));
    } else {
        // The same file, of the same kind and content.
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        if (S_ISREG(after.st_mode))
            QCOMPARE(readAll(older.fileName()), QByteArray("older"));
    }
    QCOMPARE(QDir(m_dir->path()).entryList({"*vctmp*"}, QDir::Files | QDir::Hidden), QStringList());
}

void TstCommandLine::exportWritesTheDataExport() {
    const QStringList days = collected();
    QVERIFY(!days.isEmpty());
    const QDate first = QDate::fromString(days[1], Qt::ISODate);
    const QString output = m_dir->filePath("export.mdb");
    const Outcome outcome = run({"export", "--from", days[1], "--to", days[1], "--output", output});
    QVERIFY2(outcome.code == 0, qPrintable(outcome.out + outcome.err));
    QVERIFY(ownerOnly(output));
    const QStringList rows = ManagerFixture::exportRows(output);
    QVERIFY(!rows.isEmpty());
    {
        // The console's export of the same day.
        const auto db = ManagerDatabase::open(database());
        ScriptedFeedback feedback;
        DataExport exporter(feedback, *db);
        const QString mine = m_dir->filePath("console.mdb");
        QVERIFY(exporter.ExportData(mine, first, first));
        QCOMPARE(rows, ManagerFixture::exportRows(mine));
    }
    QVERIFY(outcome.out.contains(QString::number(rows.size()) + " rows added"));

    // A file that is no database is never replaced by a command: it would have asked first. Not
    // written: exit 3.
    const QString text = m_dir->filePath("notes.txt");
    QFile notes(text);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write(QByteArray(2048, 'n'));
    notes.close();
    QCOMPARE(run(QStringList{"export"} + days + QStringList{"--output", text}).code, 3);
    QCOMPARE(readAll(text), QByteArray(2048, 'n'));
}

void TstCommandLine::password_data() {
    QTest::addColumn<QString>("fileText"); // empty: no --password-file
    QTest::addColumn<int>("permissions");  // octal mode of the file; negative: another user's
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("no file given") << QString() << 0600 << 2 << "A password is required";
    QTest::newRow("wrong password") << "Open Sesame!\n" << 0600 << 2 << "is not the start-up password";
    QTest::newRow("group-readable") << "Open Sesame\n" << 0640 << 2 << "others may read or change it";
    QTest::newRow("world-writable") << "Open Sesame\n" << 0602 << 2 << "others may read or change it";
    QTest::newRow("another user's") << "Open Sesame\n" << -0600 << 2 << "owned by another user";
    // A pipe would block the open until someone writes to it.
    QTest::newRow("a pipe") << "fifo" << 0600 << 2 << "not a regular file";
    QTest::newRow("right, CR LF and more lines") << "Open Sesame\r\nsecond line\n" << 0600 << 0 << "";
    QTest::newRow("right, no line end") << "Open Sesame" << 0400 << 0 << "";
    QTest::newRow("right, after a byte order mark") << "\uFEFFOpen Sesame\r\n" << 0600 << 0 << "";
}

void TstCommandLine::password() {
    QFETCH(QString, fileText);
    QFETCH(int, permissions);
    QFETCH(int, code);
    QFETCH(QString, says);
    {
        Settings settings(m_settings);
        settings.storePasswordProtectedCheckbox(true);
        settings.storePassword(Password::hash("Open Sesame"));
    }
    QStringList arguments{"collect", "--scan"};
    if (!fileText.isEmpty()) {
        const QString path = m_dir->filePath("password");
        if (fileText == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fileText.toUtf8());
            file.close();
        }
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(std::abs(permissions))) == 0);
        // A negative mode: the file is given to another user, which only root can do.
        if (permissions < 0) {
            if (::geteuid() != 0)
                QSKIP("only root can give a file to another user");
            QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        }
        arguments << "--password-file" << path;
    }
    const Outcome outcome = run(arguments);
    QVERIFY2(outcome.code == code, qPrintable(QString::number(outcome.code) + outcome.out + outcome.err));
    QVERIFY2(outcome.err.contains(says), qPrintable(outcome.err));
    // Refused before anything was read: the registry is still empty.
    QCOMPARE(ManagerDatabase::open(database())->workstations().isEmpty(), code != 0);
    const QList<ManagerDatabase::AuditRow> audit = ManagerDatabase::open(database())->auditRows();
    QCOMPARE(!audit.isEmpty() && audit.first().action == "login-failed", says.contains("not the start-up"));
}

void TstCommandLine::auditAccountsForEveryCommand() {
    QVERIFY(!collected().isEmpty());
    // Keeping the days from the second one held on, the next collect deletes the first.
    const QList<QDate> held = ManagerDatabase::open(database())->distinctDays();
    QVERIFY(held.size() >= 2);
    Settings(m_settings)
        .setValue("Privacy", "KeepDays", QString::number(held[1].daysTo(QDate::currentDate()) + 1));
    QCOMPARE(run({"collect"}).code, 0);
    QCOMPARE(ManagerDatabase::open(database())->distinctDays(), held.mid(1));
    const QStringList days = {"--from", held[1].toString(Qt::ISODate), "--to",
                              held.last().toString(Qt::ISODate)};
    const QString report = m_dir->filePath("report.csv");
    QCOMPARE(run(QStringList{"report", "--format", "csv", "--output", report} + days).code, 0);
    QCOMPARE(run(QStringList{"export", "--output", m_dir->filePath("e.mdb")} + days).code, 0);

    const QString today = QDateTime::currentDateTimeUtc().date().toString(Qt::ISODate);
    const Outcome csv = run({"audit", "--from", today, "--to", today, "--format", "csv"});
    QCOMPARE(csv.code, 0);
    const QStringList lines = csv.out.split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 7); // the header, then each action
    const QStringList actions = {"scan", "collect", "collect", "purge", "report", "export"};
    for (int i = 0; i < actions.size(); ++i)
        QVERIFY2(lines[i + 1].contains(",\"command\",\"" + actions[i] + "\","), qPrintable(lines[i + 1]));
    QVERIFY(lines[5].contains("pseudonymised=no; output=" + report));
    QVERIFY(run({"audit", "--from", "2001-01-01", "--to", "2001-01-02"}).out.isEmpty());
    QCOMPARE(run({"audit", "--verify", "--from", today}).code, 2);

    const Outcome intact = run({"audit", "--verify"});
    QVERIFY2(intact.code == 0, qPrintable(intact.out + intact.err));
    ManagerFixture::execute(database(), "UPDATE MGRAuditLog SET Details = 'format=html' WHERE Sequence = 4");
    const Outcome changed = run({"audit", "--verify"});
    QCOMPARE(changed.code, 1);
    QVERIFY2(changed.err.contains("row 4 does not match"), qPrintable(changed.err));
}

void TstCommandLine::pseudonymisedReportsNameNoOne() {
    const QStringList days = collected();
    QVERIFY(!days.isEmpty());
    QStringList names = ManagerFixture::query(database(), "SELECT UserName FROM MGRUsers") +
                        ManagerFixture::query(database(), "SELECT Name FROM MGRWorkstations");
    const QStringList users = ManagerFixture::query(database(), "SELECT UserName FROM MGRUsers");
    QVERIFY(users.size() >= 3);
    // All users but one: a printed heading would name the one left out.
    Settings(m_settings).setValue("Privacy", "MinimumGroup", QString::number(users.size() - 1));
    const auto report = [&](const QString& format, const QString& output) {
        return run(QStringList{"report", "--pseudonymise-workstations", "--format", format.section('.', -1),
                               "--users", users.mid(1).join(','), "--output", output} +
                   days);
    };
    for (const QString format : {"html", "csv", "detail.csv", "pdf"}) {
        const QString output = m_dir->filePath("p." + format);
        const Outcome outcome = report(format, output);
        QVERIFY2(outcome.code == 0, qPrintable(outcome.out + outcome.err));
        QByteArray written = readAll(output);
        if (format == "pdf") {
            // The text as a reader sees it: a PDF's own bytes hold glyph numbers, not names.
            QProcess text;
            text.start("pdftotext", {"-layout", output, "-"});
            QVERIFY2(text.waitForFinished(60000) && text.exitCode() == 0, "pdftotext (poppler-utils) failed");
            written = text.readAllStandardOutput();
            QVERIFY2(written.contains("Application Usage"), written.left(200).constData());
        }
        // The summary CSV names no one; the others name people only by pseudonym.
        QCOMPARE(written.contains("User "), format != "csv");
        if (format == "detail.csv")
            QVERIFY(written.contains("Workstation "));
        for (const QString& name : names)
            QVERIFY2(!written.toLower().contains(name.toLower().toUtf8()), qPrintable(format + ": " + name));
    }
    QVERIFY(ownerOnly(m_home + "/Data/pseudonym.key"));
    // The same key: the same report; another key: other pseudonyms.
    const QByteArray first = readAll(m_dir->filePath("p.html"));
    QCOMPARE(report("html", m_dir->filePath("again.html")).code, 0);
    QCOMPARE(readAll(m_dir->filePath("again.html")), first);
    QVERIFY(QFile::remove(m_home + "/Data/pseudonym.key"));
    QCOMPARE(report("html", m_dir->filePath("other.html")).code, 0);
    QVERIFY(readAll(m_dir->filePath("other.html")) != first);
    QCOMPARE(ManagerDatabase::open(database())->auditRows().constLast().details.contains("pseudonymised=yes"),
             true);

    // Refused, with nothing written: a key that cannot be used, a selection below the minimum.
    QFile key(m_home + "/Data/pseudonym.key");
    QVERIFY(key.open(QIODevice::WriteOnly | QIODevice::Truncate));
    key.write("short");
    key.close();
    Outcome refused = report("html", m_dir->filePath("none.html"));
    QVERIFY2(refused.code == 3 && refused.err.contains("cannot be used"), qPrintable(refused.err));
    QVERIFY(!QFile::exists(m_dir->filePath("none.html")));
    QVERIFY(QFile::remove(key.fileName()));
    Settings(m_settings).setValue("Privacy", "MinimumGroup", QString::number(users.size()));
    refused = report("csv", m_dir->filePath("none.csv"));
    QVERIFY2(refused.code == 2 && refused.err.contains(QString("would show %1 users").arg(users.size() - 1)),
             qPrintable(refused.err));
    QVERIFY(!QFile::exists(m_dir->filePath("none.csv")));
}

// The rules kept in the database replace matching titles as they are imported, and apply
// rewrites those already stored, time kept.
void TstCommandLine::redactionRulesOnImportAndStoredTitles() {
    const Outcome none = run({"redaction", "list"});
    QVERIFY2(none.code == 0 && none.out.contains("No redaction rules"), qPrintable(none.out + none.err));
    const Outcome refused = run({"redaction", "add", "--pattern", "*"});
    QVERIFY2(refused.code == 2 && refused.err.contains("matches every title"), qPrintable(refused.err));
    QCOMPARE(run({"redaction", "add", "--pattern", "*e*", "--position", "2"}).code, 2);
    QCOMPARE(run({"redaction", "add", "--pattern", "*e*"}).code, 0);
    QCOMPARE(run({"collect", "--scan"}).code, 0);
    const auto titles = [this] {
        return ManagerFixture::query(database(), "SELECT AppTitle FROM MGRAppTitles");
    };
    QVERIFY(titles().contains("(private)"));
    for (const QString& title : titles())
        QVERIFY2(title == "(private)" || !title.contains('e', Qt::CaseInsensitive), qPrintable(title));
    const QStringList total = ManagerFixture::query(database(), "SELECT sum(Duration) FROM MGRDaySummary");

    QCOMPARE(run({"redaction", "add", "--pattern", "*A*", "--replacement", "(a)", "--position", "1"}).code,
             0);
    const Outcome applied = run({"redaction", "apply"});
    QVERIFY2(applied.code == 0 && applied.out.contains("stored titles replaced"), qPrintable(applied.out));
    for (const QString& title : titles())
        QVERIFY2(title == "(a)" || !title.contains('a', Qt::CaseInsensitive), qPrintable(title));
    QCOMPARE(ManagerFixture::query(database(), "SELECT sum(Duration) FROM MGRDaySummary"), total);
    QCOMPARE(run({"redaction", "list"}).out, QString("1. *A*=(a)\n2. *e*=(private)\n"));
    QCOMPARE(run({"redaction", "remove", "--pattern", "*a*"}).code, 0);
    QCOMPARE(run({"redaction", "remove", "--pattern", "*a*"}).code, 2);
    QCOMPARE(run({"redaction", "list"}).out, QString("1. *e*=(private)\n"));
    QCOMPARE(run({"audit", "--verify"}).code, 0);
}

QTEST_MAIN(TstCommandLine)
#include "tst_commandline.moc"
