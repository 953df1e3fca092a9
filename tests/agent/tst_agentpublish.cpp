// The working store and the publisher: whole days only, files replaced
// atomically, and what the console's own reader gets from the published file.
#include "FakeTime.h"

#include "agent/core/AgentEngine.h"
#include "agent/core/AgentError.h"
#include "agent/core/DiskLog.h"
#include "agent/core/Publisher.h"
#include "agent/core/ReportThrottle.h"
#include "agent/core/SqliteDb.h"
#include "agent/core/SqliteStatement.h"
#include "agent/core/WorkingStore.h"
#include "store/WorkstationDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <stdexcept>

using namespace vcagent;
namespace fs = std::filesystem;

namespace {

struct ReadBack {
    QStringList users;
    QStringList titles;
    QStringList rows; // "date|user|title|duration"
};

// What the console reads from a published file, through its own reader.
ReadBack readPublished(const fs::path& file) {
    const WorkstationDatabase db(QString::fromStdString(file.string()));
    ReadBack back;
    back.users = db.userNames().value_or(QStringList{QStringLiteral("<missing>")});
    back.titles = db.appTitles().value_or(QStringList{QStringLiteral("<missing>")});
    db.forEachDayRow([&](const WorkstationDatabase::DayRow& row) {
        back.rows << QStringLiteral("%1|%2|%3|%4")
                         .arg(row.date.toString(), row.userName.toString(), row.appTitle.toString(),
                              row.duration.toString());
    });
    return back;
}

QStringList publishedRows(const Publisher& publisher) {
    return readPublished(publisher.publishedFile()).rows;
}

// ann's window sampled once a second, the engine ticked after each sample when asked.
void sampleSeconds(AgentEngine& engine, FakeClock& clock, int seconds, const char* title, bool tick = false) {
    for (int i = 0; i < seconds; ++i) {
        engine.sample(1, Sample{"ann", title, 0, false});
        if (tick)
            engine.tick();
        clock.advance(1000);
    }
}

QByteArray contents(const fs::path& file) {
    QFile f(QString::fromStdString(file.string()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

UsageMap usageOf(std::initializer_list<std::pair<UsageKey, Millis>> items) {
    UsageMap map;
    for (const auto& [key, time] : items)
        map[key] += time;
    return map;
}

} // namespace

class TstAgentPublish : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void publishedFileReadsBackInTheConsole() {
        WorkingStore store(path("work.db"));
        store.add(usageOf({{{day(2026, 6, 1), "ann", "Untitled - Notepad"}, 61499},
                           {{day(2026, 6, 1), "ann", "Report \"Q2\" - Writer"}, 1500},
                           {{day(2026, 6, 1), "bob", "Untitled - Notepad"}, 400}, // rounds to nothing
                           {{day(2026, 6, 2), "bob", "WineMine"}, 10000}}));
        Publisher publisher(path("Data") / "VCWorkstation.mdb");
        std::string error;
        QCOMPARE(publisher.publish(store.rowsBefore(day(2026, 6, 3)), error), Publisher::Result::Published);
        const ReadBack back = readPublished(publisher.publishedFile());
        QCOMPARE(back.rows,
                 (QStringList{"2026-06-01|ann|Report \"Q2\" - Writer|2",
                              "2026-06-01|ann|Untitled - Notepad|61", "2026-06-02|bob|WineMine|10"}));
        // Only names the day rows use, each once: bob's sub-second row left nothing
        // behind but bob is still named by his WineMine row.
        QCOMPARE(back.users, (QStringList{"ann", "bob"}));
        QCOMPARE(back.titles, (QStringList{"Report \"Q2\" - Writer", "Untitled - Notepad", "WineMine"}));
        QVERIFY(!fs::exists(publisher.pendingFile()));

        // A failure part-way through the next file leaves this one as it was.
        const QByteArray before = contents(publisher.publishedFile());
        store.add(
            usageOf({{{day(2026, 6, 3), "ann", "Mail"}, 7000}, {{day(2026, 6, 3), "ann", "Web"}, 7000}}));
        publisher.setRowWritten([](std::size_t row) {
            if (row == 1)
                throw std::runtime_error("disk removed");
        });
        QCOMPARE(publisher.publish(store.rowsBefore(day(2026, 6, 4)), error), Publisher::Result::Failed);
        QVERIFY2(error.find("disk removed") != std::string::npos, error.c_str());
        QCOMPARE(contents(publisher.publishedFile()), before);
        QVERIFY(!fs::exists(publisher.pendingFile()));

        // A half-written file from a crash is thrown away, never renamed into place.
        std::ofstream(publisher.pendingFile()) << "half a database";
        publisher.setRowWritten({});
        QCOMPARE(publisher.publish(store.rowsBefore(day(2026, 6, 4)), error), Publisher::Result::Published);
        QCOMPARE(publishedRows(publisher).size(), 5);
    }

    void workingStoreKeepsTimeAcrossRestarts() {
        {
            WorkingStore store(path("work.db"));
            store.add(usageOf({{{day(2026, 6, 1), "ann", "Mail"}, 1000}}));
            store.setFact("LastError", "disk full");
        }
        WorkingStore store(path("work.db"));
        store.add(usageOf({{{day(2026, 6, 1), "ann", "Mail"}, 2500}}));
        const auto rows = store.rowsBefore(day(2026, 6, 2));
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(rows[0].time, Millis(3500));
        QCOMPARE(store.fact("LastError").value_or(""), std::string("disk full"));
        QVERIFY(!store.fact("Nothing"));
    }

    // A damaged store, another program's database or a newer agent's store is kept
    // aside under a new name and recording starts afresh.
    void damagedWorkingStoreIsSetAside() {
        std::ofstream(path("work.db")) << std::string(4096, 'x');
        QVERIFY_THROWS_EXCEPTION(AgentError, WorkingStore(path("work.db")));
        fs::path aside;
        auto store = openWorkingStore(path("work.db"), "20260601-100000", &aside);
        QCOMPARE(aside, path("work.db.damaged-20260601-100000"));
        QCOMPARE(contents(aside), QByteArray(4096, 'x'));
        store->add(usageOf({{{day(2026, 6, 1), "ann", "Mail"}, 1000}}));
        QCOMPARE(store->rowsBefore(day(2026, 6, 2)).size(), std::size_t(1));
        store.reset();

        // A newer layout: set aside too (the second one of the same minute gets its
        // own name), never written over.
        {
            SqliteDb newer(path("work.db"), SqliteDb::Mode::ReadWrite);
            newer.exec("PRAGMA user_version=7");
        }
        store = openWorkingStore(path("work.db"), "20260601-100000", &aside);
        QCOMPARE(aside, path("work.db.damaged-20260601-100000-2"));
        QVERIFY(store->rowsBefore(day(2026, 6, 2)).empty());
        store.reset();
        {
            SqliteDb foreign(path("other.db"), SqliteDb::Mode::Create);
            foreign.exec("CREATE TABLE Payroll (Name TEXT)");
        }
        QVERIFY_THROWS_EXCEPTION(AgentError, WorkingStore(path("other.db")));
    }

    // A reader holding the published file: the complete new file is kept and only the rename is tried again,
    // less and less often; it is reported once it keeps happening.
    void fileInUseIsRetriedLater() {
        int attempts = 0;
        int rowsWritten = 0;
        bool inUse = false;
        Publisher publisher(path("Data") / "VCWorkstation.mdb",
                            [&](const fs::path& from, const fs::path& to, std::string& error) {
                                ++attempts;
                                if (inUse) {
                                    error = "sharing violation";
                                    return ReplaceOutcome::InUse;
                                }
                                return Publisher::renameReplace(from, to, error);
                            });
        FakeClock clock(at(2026, 6, 1, 23, 59, 58));
        const FakeCalendar calendar(0);
        WorkingStore store(path("work.db"));
        publisher.setRowWritten([&](std::size_t) { ++rowsWritten; });
        std::vector<std::string> errors;
        AgentSettings settings;
        AgentEngine engine(clock, calendar, store, publisher, settings,
                           [&](Severity, const std::string& e) { errors.push_back(e); });
        engine.start();
        inUse = true;
        const int startAttempts = attempts;
        sampleSeconds(engine, clock, 4, "Mail");
        // Past midnight the day is complete, but the reader still holds the file.
        QVERIFY(attempts > startAttempts);
        QCOMPARE(publishedRows(publisher), QStringList{});
        QCOMPARE(rowsWritten, 1);
        QVERIFY(fs::exists(publisher.pendingFile()));
        engine.tick();
        QCOMPARE(attempts, startAttempts + 1); // not before the retry interval
        Millis wait = settings.retryInterval;
        for (int i = 2; i <= settings.inUseWarnings; ++i) {
            QVERIFY(errors.empty()); // a reader holding the file is not an error at first
            clock.advance(wait / 2);
            engine.tick();
            QCOMPARE(attempts, startAttempts + i - 1); // the wait doubles
            clock.advance(wait / 2);
            engine.tick();
            QCOMPARE(attempts, startAttempts + i);
            wait *= 2;
        }
        QCOMPARE(errors.size(), std::size_t(1));
        QVERIFY2(errors[0].find("sharing violation") != std::string::npos, errors[0].c_str());
        QVERIFY(store.fact(kFactLastErrorAt).has_value());
        inUse = false;
        clock.advance(wait);
        engine.tick();
        QCOMPARE(publishedRows(publisher), QStringList{"2026-06-01|ann|Mail|3"});
        QCOMPARE(rowsWritten, 1); // only the rename was tried again
        QVERIFY(store.fact(kFactLastPublished).has_value());
    }

    void openDayIsNeverPublished() {
        const Millis offset = -5 * kHour;
        FakeClock clock(at(2026, 6, 1, 23, 59, 50, offset));
        const FakeCalendar calendar(offset);
        WorkingStore store(path("work.db"));
        Publisher publisher(path("Data") / "VCWorkstation.mdb");
        AgentEngine engine(clock, calendar, store, publisher, AgentSettings{});
        engine.start();
        // At start-up there are no complete days: an empty file, so readers find the tables.
        QCOMPARE(publishedRows(publisher), QStringList{});
        sampleSeconds(engine, clock, 5, "Mail", true);
        sampleSeconds(engine, clock, 5, "Web", true);
        engine.stop();
        QCOMPARE(publishedRows(publisher), QStringList{});
        // The first sample after midnight carries time of both days: only the old day is published.
        clock.set(at(2026, 6, 2, 0, 0, 0, offset) + 600);
        sampleSeconds(engine, clock, 3, "Web");
        engine.stop();
        QCOMPARE(publishedRows(publisher), (QStringList{"2026-06-01|ann|Mail|5", "2026-06-01|ann|Web|6"}));
        QCOMPARE(dayText(engine.publishedThrough().value()), std::string("2026-06-01"));
        // The new day is saved in the working store, waiting for its own midnight;
        // each sample stands for the helper's second, credited back to back.
        QCOMPARE(store.rowsBefore(day(2026, 6, 3)).back().time, Millis(2000));
    }

    // Days that ended while the agent was stopped are published at start-up, once a day: a restart
    // the same day publishes nothing again, unless the published file went away.
    void startUpPublishesDaysLeftOver() {
        int replaced = 0;
        Publisher publisher(path("Data") / "VCWorkstation.mdb",
                            [&](const fs::path& from, const fs::path& to, std::string& error) {
                                ++replaced;
                                return Publisher::renameReplace(from, to, error);
                            });
        const FakeCalendar calendar(0);
        FakeClock clock(at(2026, 6, 5, 8, 0, 0));
        {
            WorkingStore store(path("work.db"));
            store.add(usageOf(
                {{{day(2026, 6, 3), "ann", "Mail"}, 9000}, {{day(2026, 6, 5), "ann", "Mail"}, 9000}}));
            AgentEngine engine(clock, calendar, store, publisher, AgentSettings{});
            engine.start();
        }
        QCOMPARE(publishedRows(publisher), QStringList{"2026-06-03|ann|Mail|9"});
        WorkingStore store(path("work.db"));
        {
            AgentEngine again(clock, calendar, store, publisher, AgentSettings{});
            again.start();
            again.tick();
            QCOMPARE(replaced, 1);
            QCOMPARE(dayText(again.publishedThrough().value()), std::string("2026-06-04"));
        }
        fs::remove(publisher.publishedFile());
        AgentEngine third(clock, calendar, store, publisher, AgentSettings{});
        third.start();
        QCOMPARE(publishedRows(publisher), QStringList{"2026-06-03|ann|Mail|9"});
    }

    // Someone sets the clock: nothing is published early, under a future day or
    // dropped; a day is published once real time has passed its midnight too.
    void clockChanges_data() {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("jump");    // the wall clock is set by this much
        QTest::addColumn<qint64>("passing"); // then real time passes
        QTest::addColumn<QStringList>("published");
        QTest::addColumn<int>("keptRows");
        const qint64 morning = at(2026, 6, 1, 10, 0, 0);
        const qint64 afterMidnight = at(2026, 6, 2, 0, 0, 30);
        const QStringList june1{"2026-06-01|ann|Mail|10"};
        const qint64 toNextDay = 14 * kHour + 10000;
        QTest::newRow("forward into the next day") << morning << toNextDay << qint64(0) << QStringList{} << 2;
        QTest::newRow("forward, then real midnight passes")
            << morning << toNextDay << qint64(14 * kHour) << june1 << 2;
        QTest::newRow("forward past the retention")
            << morning << qint64(500 * 24 * kHour) << qint64(0) << QStringList{} << 2;
        QTest::newRow("a day ahead across midnight")
            << morning << qint64(at(2026, 6, 2, 23, 59, 57) - morning) << qint64(0) << QStringList{} << 3;
        QTest::newRow("back into the published day")
            << afterMidnight << qint64(-kHour) << qint64(0) << june1 << 2;
    }

    void clockChanges() {
        QFETCH(qint64, start);
        QFETCH(qint64, jump);
        QFETCH(qint64, passing);
        const FakeCalendar calendar(0);
        FakeClock clock(start);
        WorkingStore store(path("work.db"));
        store.add(usageOf({{{day(2026, 6, 1), "ann", "Mail"}, 10000}}));
        Publisher publisher(path("Data") / "VCWorkstation.mdb");
        AgentEngine engine(clock, calendar, store, publisher, AgentSettings{});
        engine.start();
        clock.set(clock.now() + jump);
        sampleSeconds(engine, clock, 5, "Web", true);
        clock.advance(passing);
        engine.tick();
        engine.stop();
        QTEST(publishedRows(publisher), "published");
        QTEST(int(store.rowsBefore(day(2030, 1, 1)).size()), "keptRows");
    }

    void failedSaveIsPutBack() {
        const FakeCalendar calendar(0);
        FakeClock clock(at(2026, 6, 1, 8, 0, 0));
        WorkingStore store(path("work.db"));
        Publisher publisher(path("Data") / "VCWorkstation.mdb");
        std::vector<std::string> errors;
        AgentEngine engine(clock, calendar, store, publisher, AgentSettings{},
                           [&](Severity, const std::string& e) { errors.push_back(e); });
        engine.start();
        {
            // Another connection makes the engine refuse the write, as a full disk would.
            SqliteDb other(path("work.db"), SqliteDb::Mode::ReadWrite);
            other.exec(
                "CREATE TRIGGER refuse BEFORE INSERT ON Usage BEGIN SELECT RAISE(ABORT, 'disk full'); END");
        }
        sampleSeconds(engine, clock, 3, "Mail");
        engine.stop();
        QCOMPARE(errors.size(), std::size_t(1));
        QVERIFY(store.rowsBefore(day(2026, 6, 2)).empty());
        {
            SqliteDb other(path("work.db"), SqliteDb::Mode::ReadWrite);
            other.exec("DROP TRIGGER refuse");
        }
        engine.stop();
        QCOMPARE(store.rowsBefore(day(2026, 6, 2)).at(0).time, Millis(3000));
    }

    // The published file holds the recent window; the store keeps the retention, counted back from
    // the newest day held, and a console that fell behind gets more days on demand.
    void publishWindow() {
        const FakeCalendar calendar(0);
        FakeClock clock(at(2026, 6, 10, 8, 0, 0));
        WorkingStore store(path("work.db"));
        for (unsigned d = 1; d <= 9; ++d)
            store.add(usageOf({{{day(2026, 6, d), "ann", d < 3 ? "Old" : "Mail"}, 1000 * d}}));
        Publisher publisher(path("Data") / "VCWorkstation.mdb");
        AgentSettings settings;
        settings.publishDays = 3;
        settings.retentionDays = 7;
        settings.version = "9.8.7";
        AgentEngine engine(clock, calendar, store, publisher, settings);
        engine.start();
        QCOMPARE(publishedRows(publisher),
                 (QStringList{"2026-06-07|ann|Mail|7", "2026-06-08|ann|Mail|8", "2026-06-09|ann|Mail|9"}));
        QVERIFY(engine.republish(5));
        QCOMPARE(publishedRows(publisher).size(), 5);
        QVERIFY(engine.republish(30));
        const ReadBack all = readPublished(publisher.publishedFile());
        QCOMPARE(all.rows.size(), 7);
        QCOMPARE(all.titles, QStringList{"Mail"}); // nor the names only dropped days used
        QCOMPARE(store.rowsBefore(day(2026, 6, 11)).size(), std::size_t(7));
        SqliteDb published(publisher.publishedFile(), SqliteDb::Mode::ReadOnly);
        SqliteStatement info(published, "SELECT Value FROM PCAgentInfo WHERE Name = 'AgentVersion'");
        QVERIFY(info.step());
        QCOMPARE(info.text(0), std::string("9.8.7"));
    }

    void logRotates() {
        DiskLog log(path("agent.log"), 100);
        for (int i = 0; i < 5; ++i)
            log.write("2026-06-01 10:00:0" + std::to_string(i), "line\nwith break " + std::to_string(i));
        QVERIFY(fs::file_size(path("agent.log")) <= 100);
        // The one older file holds the lines just before the current file's.
        QCOMPARE(contents(path("agent.log.1")), QByteArray("2026-06-01 10:00:02  line with break 2\n"
                                                           "2026-06-01 10:00:03  line with break 3\n"));
        QCOMPARE(contents(path("agent.log")), QByteArray("2026-06-01 10:00:04  line with break 4\n"));
    }

    void repeatedReportsAreSummed() {
        QStringList sent;
        ReportThrottle throttle(
            [&](Severity, const std::string& text) { sent << QString::fromStdString(text); });
        const Millis hour = 3600 * 1000;
        for (int minute = 0; minute < 61; ++minute)
            throttle.report(minute * 60000, Severity::Error, "share missing");
        throttle.report(hour + 60000, Severity::Error, "disk full");
        QCOMPARE(sent, (QStringList{"share missing", "repeated 59 times in the last hour: share missing",
                                    "disk full"}));
        // Quiet for an hour: the next occurrence is news again.
        throttle.flush(3 * hour);
        throttle.report(4 * hour, Severity::Error, "share missing");
        QCOMPARE(sent.size(), 5);
        QCOMPARE(sent.last(), QString("share missing"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path path(const char* name) const { return fs::path(m_dir->path().toStdString()) / name; }
};

QTEST_GUILESS_MAIN(TstAgentPublish)
#include "tst_agentpublish.moc"
