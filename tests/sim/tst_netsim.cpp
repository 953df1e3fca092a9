// The network simulator, as far as the console's tests rely on it: the networks it writes keep
// the agent contract and carry the quirks, advance by whole days, and its enumeration switch
// changes only that line.
#include "store/WorkstationDatabase.h"
#include "support/TestEnv.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
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
    return dir + '/' + machine + "/Vellumcrest$/Data/VCWorkstation.mdb";
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
    return iniValue(fileLines(dir + "/network.ini"), QStringLiteral("machines"))
        .split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// The agent contract for one database; empty when kept. Rows whose user or title is not
// listed are counted in unlisted instead of failing.
QString contractBreach(const AgentDb& db, QDate first, int days, int rowsPerDay, int& unlisted) {
    static const QRegularExpression dateForm(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})( \\d{2}:\\d{2}:\\d{2})?$"));
    const QSet<QString> users(db.users.begin(), db.users.end());
    const QSet<QString> titles(db.titles.begin(), db.titles.end());
    if (users.size() != db.users.size() || titles.size() != db.titles.size())
        return QStringLiteral("a name is listed twice");
    QHash<QDate, int> perDay;
    for (const Usage& r : db.rows) {
        const auto m = dateForm.match(r.date);
        const QDate day = QDate::fromString(m.captured(1), Qt::ISODate);
        if (!m.hasMatch() || !day.isValid())
            return QStringLiteral("bad date ") + r.date;
        if (day < first || day >= first.addDays(days))
            return QStringLiteral("day out of range ") + r.date;
        const bool listed = users.contains(r.user) && titles.contains(r.title);
        unlisted += !listed;
        if (r.seconds < 1 || r.seconds > 86400)
            return QStringLiteral("bad duration %1").arg(r.seconds);
        // The deliberately unlisted row comes on top of a day's rows.
        perDay[day] += listed;
    }
    for (int d = 0; d < days; ++d) {
        const int n = perDay.value(first.addDays(d));
        if (n != rowsPerDay)
            return QStringLiteral("%1 rows on %2").arg(n).arg(first.addDays(d).toString(Qt::ISODate));
    }
    return {};
}

const QDate kStart(2026, 2, 23); // a Monday, so the days include a weekend

QStringList smallNetwork(const QString& dir, int days, const QString& seed) {
    return QStringList{"generate", "--network", dir} +
           QString("--machines 6 --titles 80 --days %1 --rows-per-day 25 --seed %2 --start %3")
               .arg(days)
               .arg(seed, kStart.toString(Qt::ISODate))
               .split(' ');
}

} // namespace

class TstNetSim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        TestEnv::setUp();
        QVERIFY2(QFileInfo(TestEnv::agentPath()).isExecutable(), qPrintable(TestEnv::agentPath()));
    }

    // After a day is added (to the machines whose agent runs, in whatever letter case) the
    // network still keeps the contract, every day's rows included, and carries every quirk.
    void quirksArePresentAndAdvance() {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/net";
        QVERIFY(TestEnv::runAgent(smallNetwork(dir, 8, "3") << "--quirks"));
        QVERIFY(TestEnv::runAgent({"advance", "--network", dir}));

        int unlisted = 0;
        int timed = 0;
        int advancedMachines = 0;
        QHash<QString, QSet<QString>> userSpellings;
        QHash<QString, QSet<QString>> titleSpellings;
        QSet<QString> titles;
        bool noShare = false, denied = false, wrongCase = false;
        for (const QString& m : machinesOf(dir)) {
            const QStringList services = fileLines(dir + '/' + m + "/services.ini");
            const bool share = QFileInfo::exists(dir + '/' + m + "/Vellumcrest$");
            // The agent's state as the console sees it (exact name), 0 when not listed.
            const int state = iniValue(services, "VCWorkstation").toInt();
            const bool agentRuns = state == 4 || iniValue(services, "vcworkstation") == "4";
            denied = denied || services == QStringList{QStringLiteral("access denied")};
            noShare = noShare || (state == 4 && !share);
            wrongCase = wrongCase || (!iniValue(services, "vcworkstation").isEmpty() && state == 0);
            if (!QFileInfo::exists(dbPath(dir, m))) {
                QVERIFY(!share); // the machine without a share gets none by advancing
                continue;
            }
            const AgentDb db = readDb(dbPath(dir, m));
            advancedMachines += agentRuns;
            const QString breach = contractBreach(db, kStart, agentRuns ? 9 : 8, 25, unlisted);
            QVERIFY2(breach.isEmpty(), qPrintable(m + QStringLiteral(": ") + breach));
            for (const Usage& r : db.rows) {
                timed += r.date.size() > 10;
                userSpellings[r.user.toLower()].insert(r.user);
                titleSpellings[r.title.toLower()].insert(r.title);
                titles.insert(r.title);
            }
        }
        QCOMPARE(unlisted, 1);
        QVERIFY(advancedMachines >= 3);
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

    void enumerationEdits() {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/net";
        QVERIFY(TestEnv::runAgent({"generate", "--network", dir, "--machines", "2", "--days", "1"}));
        const QString ini = dir + "/network.ini";
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
};

QTEST_GUILESS_MAIN(TstNetSim)
#include "tst_netsim.moc"
