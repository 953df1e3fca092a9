// The agent stand-in: the networks it writes keep the agent contract, repeat exactly, carry the
// requested quirks, advance by whole days, and its service/enumeration edits change only what
// they name.
#include "store/WorkstationDatabase.h"
#include "support/TestEnv.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Usage {
    QString date;
    QString user;
    QString title;
    qint64 seconds = 0;
    bool operator==(const Usage&) const = default;
};

struct AgentDb {
    QStringList users;
    QStringList titles;
    QList<Usage> rows;
};

AgentDb readDb(const QString& path) {
    AgentDb db;
    WorkstationDatabase ws(path);
    db.users = ws.userNames().value_or(QStringList());
    db.titles = ws.appTitles().value_or(QStringList());
    ws.forEachDayRow([&](const WorkstationDatabase::DayRow& r) {
        db.rows.append(
            {r.date.toString(), r.userName.toString(), r.appTitle.toString(), r.duration.toLongLong()});
    });
    return db;
}

QString dbPath(const QString& dir, const QString& machine) {
    return dir + QLatin1Char('/') + machine + QStringLiteral("/Vellumcrest$/Data/VCWorkstation.mdb");
}

QStringList fileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString iniValue(const QStringList& lines, const QString& key) {
    for (const QString& line : lines) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

QStringList machinesOf(const QString& dir) {
    return iniValue(fileLines(dir + QStringLiteral("/network.ini")), QStringLiteral("machines"))
        .split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// The agent's service state as the console sees it (exact name), 0 when not listed.
int agentState(const QString& dir, const QString& machine) {
    return iniValue(fileLines(dir + QLatin1Char('/') + machine + QStringLiteral("/services.ini")),
                    QStringLiteral("VCWorkstation"))
        .toInt();
}

// Every file below dir by relative path, for byte-for-byte comparison.
QHash<QString, QByteArray> snapshot(const QString& dir) {
    QHash<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), fileBytes(path));
    }
    return files;
}

// The agent contract for one database; empty when kept. Rows whose user or title is not
// listed are counted in unlisted instead of failing.
QString contractBreach(const AgentDb& db, QDate first, int days, int rowsPerDay, int* unlisted = nullptr) {
    static const QRegularExpression dateForm(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})( \\d{2}:\\d{2}:\\d{2})?$"));
    const QSet<QString> users(db.users.begin(), db.users.end());
    const QSet<QString> titles(db.titles.begin(), db.titles.end());
    if (users.size() != db.users.size() || titles.size() != db.titles.size())
        return QStringLiteral("a name is listed twice");
    QSet<QString> seen;
    QHash<QString, qint64> perUserDay;
    QHash<QDate, int> perDay;
    for (const Usage& r : db.rows) {
        const auto m = dateForm.match(r.date);
        const QDate day = QDate::fromString(m.captured(1), Qt::ISODate);
        if (!m.hasMatch() || !day.isValid())
            return QStringLiteral("bad date ") + r.date;
        if (day < first || day >= first.addDays(days))
            return QStringLiteral("day out of range ") + r.date;
        const bool listed = users.contains(r.user) && titles.contains(r.title);
        if (!listed) {
            if (!unlisted)
                return QStringLiteral("unlisted name in ") + r.user + QLatin1Char('/') + r.title;
            ++*unlisted;
        }
        const QString key = m.captured(1) + QLatin1Char('\x1f') + r.user;
        seen.insert(key + QLatin1Char('\x1f') + r.title);
        if (r.seconds < 1 || r.seconds > 86400)
            return QStringLiteral("bad duration %1").arg(r.seconds);
        perUserDay[key] += r.seconds;
        // The deliberately unlisted row comes on top of a day's rows.
        perDay[day] += listed;
    }
    if (seen.size() != db.rows.size())
        return QStringLiteral("a day, user and title occur in two rows");
    for (auto it = perUserDay.cbegin(); it != perUserDay.cend(); ++it) {
        if (it.value() > 86400)
            return QStringLiteral("more than a day of use: ") + it.key();
    }
    for (int d = 0; d < days; ++d) {
        const int n = perDay.value(first.addDays(d));
        if (n != rowsPerDay)
            return QStringLiteral("%1 rows on %2").arg(n).arg(first.addDays(d).toString(Qt::ISODate));
    }
    return {};
}

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run runAgentRaw(const QStringList& arguments) {
    QProcess p;
    p.start(TestEnv::agentPath(), arguments);
    p.waitForFinished(600000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

const QDate kStart(2026, 2, 23); // a Monday, so the days include a weekend

QStringList smallNetwork(const QString& dir, int days, const QString& seed) {
    return {QStringLiteral("generate"),
            QStringLiteral("--network"),
            dir,
            QStringLiteral("--machines"),
            QStringLiteral("6"),
            QStringLiteral("--titles"),
            QStringLiteral("80"),
            QStringLiteral("--days"),
            QString::number(days),
            QStringLiteral("--rows-per-day"),
            QStringLiteral("25"),
            QStringLiteral("--seed"),
            seed,
            QStringLiteral("--start"),
            kStart.toString(Qt::ISODate)};
}

} // namespace

class TestNetSim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        TestEnv::setUp();
        QVERIFY2(QFileInfo(TestEnv::agentPath()).isExecutable(), qPrintable(TestEnv::agentPath()));
    }

    void generatedNetworkKeepsTheContract() {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/net");
        QVERIFY(TestEnv::runAgent(smallNetwork(dir, 9, QStringLiteral("7"))));

        const QStringList ini = fileLines(dir + QStringLiteral("/network.ini"));
        QCOMPARE(iniValue(ini, QStringLiteral("domain")), QStringLiteral("SIMNET"));
        QCOMPARE(iniValue(ini, QStringLiteral("enumeration")), QStringLiteral("ok"));
        QCOMPARE(machinesOf(dir), QStringList({"WS001", "WS002", "WS003", "WS004", "WS005", "WS006"}));

        static const QRegularExpression serviceLine(QStringLiteral("^[A-Za-z0-9]+=[1-7]$"));
        int withoutAgent = 0;
        int notRunning = 0;
        QSet<QString> allTitles;
        for (const QString& m : machinesOf(dir)) {
            const QStringList services =
                fileLines(dir + QLatin1Char('/') + m + QStringLiteral("/services.ini"));
            QVERIFY2(services.contains(QStringLiteral("EventLog=4")), qPrintable(m));
            for (const QString& line : services)
                QVERIFY2(serviceLine.match(line).hasMatch(), qPrintable(m + QLatin1Char(' ') + line));
            const int state = agentState(dir, m);
            QCOMPARE(QFileInfo::exists(dbPath(dir, m)), state != 0);
            if (state == 0) {
                ++withoutAgent;
                QVERIFY(!QFileInfo::exists(dir + QLatin1Char('/') + m + QStringLiteral("/Vellumcrest$")));
                continue;
            }
            if (state != 4)
                ++notRunning;
            const AgentDb db = readDb(dbPath(dir, m));
            const QString breach = contractBreach(db, kStart, 9, 25);
            QVERIFY2(breach.isEmpty(), qPrintable(m + QStringLiteral(": ") + breach));
            for (const Usage& r : db.rows)
                allTitles.insert(r.title);
        }
        QCOMPARE(withoutAgent, 1);
        QCOMPARE(notRunning, 1);

        // Varied work: documents, mail, web, chat, code and system dialogs all occur.
        for (const char* kind : {" - Word Processor", " - Spreadsheet", " - Mail", " - Web Browser",
                                 " - Chat", " - Code Editor"}) {
            QVERIFY2(std::any_of(allTitles.cbegin(), allTitles.cend(),
                                 [&](const QString& t) { return t.endsWith(QLatin1String(kind)); }),
                     kind);
        }
        QVERIFY(allTitles.contains(QStringLiteral("Task Manager")) ||
                allTitles.contains(QStringLiteral("Run")));
        QVERIFY(allTitles.size() >= 60);
    }

    void sameSeedRepeatsByteForByte_data() {
        QTest::addColumn<bool>("quirks");
        QTest::newRow("plain") << false;
        QTest::newRow("quirks") << true;
    }

    void sameSeedRepeatsByteForByte() {
        QFETCH(bool, quirks);
        QTemporaryDir tmp;
        auto make = [&](const QString& name, const QString& seed) {
            QStringList args = smallNetwork(tmp.path() + QLatin1Char('/') + name, 5, seed);
            if (quirks)
                args << QStringLiteral("--quirks");
            return TestEnv::runAgent(args);
        };
        QVERIFY(make(QStringLiteral("a"), QStringLiteral("42")));
        QVERIFY(make(QStringLiteral("b"), QStringLiteral("42")));
        QVERIFY(make(QStringLiteral("c"), QStringLiteral("43")));
        const auto a = snapshot(tmp.path() + QStringLiteral("/a"));
        QVERIFY(a.size() > 6);
        QCOMPARE(snapshot(tmp.path() + QStringLiteral("/b")), a);
        // A second run over the same folder writes the same files again.
        QVERIFY(make(QStringLiteral("a"), QStringLiteral("42")));
        QCOMPARE(snapshot(tmp.path() + QStringLiteral("/a")), a);

        const auto c = snapshot(tmp.path() + QStringLiteral("/c"));
        int differentDbs = 0;
        for (auto it = c.cbegin(); it != c.cend(); ++it)
            differentDbs += it.key().endsWith(QLatin1String(".mdb")) && a.value(it.key()) != it.value();
        QVERIFY(differentDbs > 0);
    }

    void quirksArePresent() {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/net");
        QVERIFY(TestEnv::runAgent(smallNetwork(dir, 8, QStringLiteral("3")) << QStringLiteral("--quirks")));

        int unlisted = 0;
        int timed = 0;
        QHash<QString, QSet<QString>> userSpellings;
        QHash<QString, QSet<QString>> titleSpellings;
        QSet<QString> titles;
        bool noShare = false, denied = false, wrongCase = false;
        for (const QString& m : machinesOf(dir)) {
            const QStringList services =
                fileLines(dir + QLatin1Char('/') + m + QStringLiteral("/services.ini"));
            const bool share =
                QFileInfo::exists(dir + QLatin1Char('/') + m + QStringLiteral("/Vellumcrest$"));
            denied = denied || services == QStringList{QStringLiteral("access denied")};
            noShare = noShare || (agentState(dir, m) == 4 && !share);
            if (!iniValue(services, QStringLiteral("vcworkstation")).isEmpty() && agentState(dir, m) == 0) {
                wrongCase = true;
                continue; // the console never sees this machine's data
            }
            if (!QFileInfo::exists(dbPath(dir, m)))
                continue;
            const AgentDb db = readDb(dbPath(dir, m));
            const QString breach = contractBreach(db, kStart, 8, 25, &unlisted);
            QVERIFY2(breach.isEmpty(), qPrintable(m + QStringLiteral(": ") + breach));
            for (const Usage& r : db.rows) {
                timed += r.date.size() > 10;
                userSpellings[r.user.toLower()].insert(r.user);
                titleSpellings[r.title.toLower()].insert(r.title);
                titles.insert(r.title);
            }
        }
        QCOMPARE(unlisted, 1);
        QVERIFY(timed > 0);
        QVERIFY(noShare);
        QVERIFY(denied);
        QVERIFY(wrongCase);
        QVERIFY(std::any_of(userSpellings.cbegin(), userSpellings.cend(),
                            [](const auto& s) { return s.size() > 1; }));
        QCOMPARE(titleSpellings.value(QStringLiteral("inbox - mail")),
                 QSet<QString>({QStringLiteral("Inbox - Mail"), QStringLiteral("INBOX - Mail")}));
        auto anyTitle = [&](const std::function<bool(QChar)>& test) {
            return std::any_of(titles.cbegin(), titles.cend(),
                               [&](const QString& t) { return std::any_of(t.cbegin(), t.cend(), test); });
        };
        for (const QChar c : QStringLiteral("\"'<&"))
            QVERIFY2(anyTitle([c](QChar x) { return x == c; }), qPrintable(QString(c)));
        QVERIFY(anyTitle([](QChar x) { return x.unicode() >= 0x0370 && x.unicode() <= 0x03FF; })); // Greek
        QVERIFY(anyTitle([](QChar x) { return x.unicode() >= 0x4E00 && x.unicode() <= 0x9FFF; })); // CJK
    }

    void advanceAddsNextWholeDaysOnRunningMachinesOnly() {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/short");
        const QString longer = tmp.path() + QStringLiteral("/long");
        QVERIFY(TestEnv::runAgent(smallNetwork(dir, 4, QStringLiteral("11"))));
        QVERIFY(TestEnv::runAgent(smallNetwork(longer, 7, QStringLiteral("11"))));

        QStringList running;
        for (const QString& m : machinesOf(dir)) {
            if (agentState(dir, m) == 4)
                running << m;
        }
        QVERIFY(running.size() >= 3);
        // Stopping a service keeps its machine's data as it was.
        const QString stopped = running.takeFirst();
        QVERIFY(TestEnv::runAgent({"service", "--network", dir, "--machine", stopped, "--state", "1"}));
        const auto before = snapshot(dir);

        QString output;
        QVERIFY(TestEnv::runAgent({"advance", "--network", dir, "--days", "2"}, &output));
        QVERIFY(TestEnv::runAgent({"advance", "--network", dir}));

        for (const QString& m : machinesOf(dir)) {
            if (!QFileInfo::exists(dbPath(dir, m)))
                continue;
            const QString rel = QDir(dir).relativeFilePath(dbPath(dir, m));
            if (!running.contains(m)) {
                QVERIFY2(fileBytes(dbPath(dir, m)) == before.value(rel), qPrintable(m));
                continue;
            }
            const AgentDb now = readDb(dbPath(dir, m));
            const QString breach = contractBreach(now, kStart, 7, 25);
            QVERIFY2(breach.isEmpty(), qPrintable(m + QStringLiteral(": ") + breach));
            // The old days stay as they were and the new ones are exactly those a longer
            // generation writes: the days follow from seed, machine and date alone.
            QCOMPARE(now.rows.size(), 7 * 25);
            const AgentDb generated = readDb(dbPath(longer, m));
            QCOMPARE(now.rows, generated.rows);
            QCOMPARE(now.users, generated.users);
            QCOMPARE(now.titles, generated.titles);
        }
        QVERIFY2(output.contains(QStringLiteral("%1 machines").arg(running.size())), qPrintable(output));
    }

    void advanceOnQuirkyNetwork() {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/net");
        QVERIFY(TestEnv::runAgent(smallNetwork(dir, 3, QStringLiteral("5")) << QStringLiteral("--quirks")));
        QVERIFY(TestEnv::runAgent({"advance", "--network", dir}));
        int unlisted = 0;
        int advancedMachines = 0;
        for (const QString& m : machinesOf(dir)) {
            const QString services = dir + QLatin1Char('/') + m + QStringLiteral("/services.ini");
            const bool agentRuns =
                iniValue(fileLines(services), QStringLiteral("VCWorkstation")) == QLatin1String("4") ||
                iniValue(fileLines(services), QStringLiteral("vcworkstation")) == QLatin1String("4");
            if (!QFileInfo::exists(dbPath(dir, m))) {
                // The machine without a share gets none by advancing.
                QVERIFY(!QFileInfo::exists(dir + QLatin1Char('/') + m + QStringLiteral("/Vellumcrest$")));
                continue;
            }
            const AgentDb db = readDb(dbPath(dir, m));
            const int days = agentRuns ? 4 : 3;
            advancedMachines += agentRuns;
            const QString breach = contractBreach(db, kStart, days, 25, &unlisted);
            QVERIFY2(breach.isEmpty(), qPrintable(m + QStringLiteral(": ") + breach));
        }
        QCOMPARE(unlisted, 1);
        QVERIFY(advancedMachines >= 3);
    }

    void serviceEdits_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("agentLines"); // expected VCWorkstation lines (any case)
        QTest::addColumn<QString>("closedAs");       // the whole file when the manager is closed

        QTest::newRow("stopped") << QString() << "1" << QStringList{"VCWorkstation=1"} << QString();
        QTest::newRow("paused") << QString() << "7" << QStringList{"VCWorkstation=7"} << QString();
        QTest::newRow("missing") << QString() << "missing" << QStringList() << QString();
        QTest::newRow("unreachable") << QString() << "unreachable" << QStringList() << "unreachable\n";
        QTest::newRow("denied") << QString() << "denied" << QStringList() << "access denied\n";
        QTest::newRow("reinstalled") << "missing"
                                     << "4" << QStringList{"VCWorkstation=4"} << QString();
        QTest::newRow("reachable again") << "unreachable"
                                         << "2" << QStringList{"VCWorkstation=2"} << QString();
        QTest::newRow("allowed again") << "denied"
                                       << "missing" << QStringList() << QString();
    }

    void serviceEdits() {
        QFETCH(QString, first);
        QFETCH(QString, state);
        QFETCH(QStringList, agentLines);
        QFETCH(QString, closedAs);
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/net");
        QVERIFY(TestEnv::runAgent({"generate", "--network", dir, "--machines", "3", "--days", "1"}));
        const QString machine = QStringLiteral("WS003");
        const QString path = dir + QLatin1Char('/') + machine + QStringLiteral("/services.ini");
        auto others = [](QStringList lines) {
            lines.removeIf([](const QString& l) {
                return l.startsWith(QLatin1String("VCWorkstation="), Qt::CaseInsensitive);
            });
            return lines;
        };
        const QStringList original = others(fileLines(path));
        const QByteArray network = fileBytes(dir + QStringLiteral("/network.ini"));

        if (!first.isEmpty())
            QVERIFY(TestEnv::runAgent({"service", "--network", dir, "--machine", machine, "--state", first}));
        QVERIFY(TestEnv::runAgent({"service", "--network", dir, "--machine", machine, "--state", state}));

        if (!closedAs.isEmpty()) {
            QCOMPARE(QString::fromUtf8(fileBytes(path)), closedAs);
        } else {
            const QStringList lines = fileLines(path);
            QStringList agent = lines;
            agent.removeIf([](const QString& l) {
                return !l.startsWith(QLatin1String("VCWorkstation="), Qt::CaseInsensitive);
            });
            QCOMPARE(agent, agentLines);
            // Every other service stays, and comes back the same after a closed manager.
            QCOMPARE(others(lines), original);
        }
        QCOMPARE(fileBytes(dir + QStringLiteral("/network.ini")), network);
    }

    void wrongCaseServiceIsReplaced() {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/net");
        QVERIFY(
            TestEnv::runAgent({"generate", "--network", dir, "--machines", "2", "--days", "1", "--quirks"}));
        QString wrong;
        for (const QString& m : machinesOf(dir)) {
            if (!iniValue(fileLines(dir + QLatin1Char('/') + m + QStringLiteral("/services.ini")),
                          "vcworkstation")
                     .isEmpty())
                wrong = m;
        }
        QVERIFY(!wrong.isEmpty());
        QVERIFY(TestEnv::runAgent({"service", "--network", dir, "--machine", wrong, "--state", "1"}));
        const QStringList lines = fileLines(dir + QLatin1Char('/') + wrong + QStringLiteral("/services.ini"));
        QVERIFY(lines.contains(QStringLiteral("VCWorkstation=1")));
        QVERIFY(iniValue(lines, QStringLiteral("vcworkstation")).isEmpty());
    }

    void enumerationEdits() {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/net");
        QVERIFY(TestEnv::runAgent({"generate", "--network", dir, "--machines", "2", "--days", "1"}));
        const QString ini = dir + QStringLiteral("/network.ini");
        const QStringList original = fileLines(ini);
        const QByteArray bytes = fileBytes(ini);

        QVERIFY(TestEnv::runAgent({"enumeration", "--network", dir, "--fail"}));
        QStringList failing = fileLines(ini);
        QCOMPARE(iniValue(failing, QStringLiteral("enumeration")), QStringLiteral("fail"));
        failing.replaceInStrings(QStringLiteral("enumeration=fail"), QStringLiteral("enumeration=ok"));
        QCOMPARE(failing, original);

        QVERIFY(TestEnv::runAgent({"enumeration", "--network", dir, "--ok"}));
        QCOMPARE(fileBytes(ini), bytes);
    }

    void refusedCommands_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        const QString net = QStringLiteral("@net");
        QTest::newRow("no command") << QStringList() << 2;
        QTest::newRow("unknown command") << QStringList{"scan"} << 2;
        QTest::newRow("no network") << QStringList{"generate"} << 2;
        QTest::newRow("unknown option") << QStringList{"generate", "--network", net, "--colour", "red"} << 2;
        QTest::newRow("no machines") << QStringList{"generate", "--network", net, "--machines", "0"} << 2;
        QTest::newRow("not a number") << QStringList{"generate", "--network", net, "--days", "ten"} << 2;
        QTest::newRow("bad start") << QStringList{"generate", "--network", net, "--start", "2026-13-01"} << 2;
        QTest::newRow("bad state") << QStringList{"service", "--network", net, "--machine",
                                                  "WS001",   "--state",   "8"}
                                   << 2;
        QTest::newRow("unknown machine")
            << QStringList{"service", "--network", net, "--machine", "WS999", "--state", "4"} << 1;
        QTest::newRow("both ways") << QStringList{"enumeration", "--network", net, "--ok", "--fail"} << 2;
        QTest::newRow("no network folder") << QStringList{"advance", "--network", "@missing"} << 1;
        QTest::newRow("zero days") << QStringList{"advance", "--network", net, "--days", "0"} << 2;
    }

    void refusedCommands() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/net");
        QVERIFY(TestEnv::runAgent({"generate", "--network", dir, "--machines", "1", "--days", "1"}));
        const auto before = snapshot(dir);
        arguments.replaceInStrings(QStringLiteral("@net"), dir);
        arguments.replaceInStrings(QStringLiteral("@missing"), tmp.path() + QStringLiteral("/nothing"));
        const Run run = runAgentRaw(arguments);
        QCOMPARE(run.code, exitCode);
        QVERIFY(!run.err.isEmpty());
        QVERIFY(run.out.isEmpty());
        QCOMPARE(snapshot(dir), before);
    }
};

QTEST_GUILESS_MAIN(TestNetSim)
#include "tst_netsim.moc"
