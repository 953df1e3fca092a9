// The working store and the publisher: whole days only, files replaced
// atomically, and what the console's own reader gets from the published file.
#include "FakeTime.h"

#include "agent/core/AgentEngine.h"
#include "agent/core/AgentError.h"
#include "agent/core/DiskLog.h"
#include "agent/core/Publisher.h"
#include "agent/core/WorkingStore.h"
#include "store/WorkstationDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
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
    void init();
    void publishedFileReadsBackInTheConsole();
    void workingStoreKeepsTimeAcrossRestarts();
    void damagedWorkingStoreIsRefused();
    void failureMidWriteLeavesThePublishedFile();
    void fileInUseIsRetriedLater();
    void openDayIsNeverPublished();
    void startUpPublishesDaysLeftOver();
    void retentionDropsOldDays();
    void logRotates();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path path(const char* name) const { return fs::path(m_dir->path().toStdString()) / name; }
};

void TstAgentPublish::init() {
    m_dir = std::make_unique<QTemporaryDir>();
}

void TstAgentPublish::publishedFileReadsBackInTheConsole() {
    WorkingStore store(path("work.db"));
    store.add(usageOf({{{day(2026, 6, 1), "ann", "Untitled - Notepad"}, 61499},
                       {{day(2026, 6, 1), "ann", "Report \"Q2\" - Writer"}, 1500},
                       {{day(2026, 6, 1), "bob", "Untitled - Notepad"}, 400}, // rounds to nothing
                       {{day(2026, 6, 2), "bob", "WineMine"}, 10000}}));
    Publisher publisher(path("Data") / "VCWorkstation.mdb");
    std::string error;
    QCOMPARE(publisher.publish(store.rowsBefore(day(2026, 6, 3)), error), Publisher::Result::Published);
    const ReadBack back = readPublished(publisher.publishedFile());
    QCOMPARE(back.rows, (QStringList{"2026-06-01|ann|Report \"Q2\" - Writer|2",
                                     "2026-06-01|ann|Untitled - Notepad|61", "2026-06-02|bob|WineMine|10"}));
    // Only names the day rows use, each once: bob's sub-second row left nothing
    // behind but bob is still named by his WineMine row.
    QCOMPARE(back.users, (QStringList{"ann", "bob"}));
    QCOMPARE(back.titles, (QStringList{"Report \"Q2\" - Writer", "Untitled - Notepad", "WineMine"}));
    QVERIFY(!fs::exists(publisher.pendingFile()));
}

void TstAgentPublish::workingStoreKeepsTimeAcrossRestarts() {
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

void TstAgentPublish::damagedWorkingStoreIsRefused() {
    QFile junk(QString::fromStdString(path("work.db").string()));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    QVERIFY_THROWS_EXCEPTION(AgentError, WorkingStore(path("work.db")));
}

void TstAgentPublish::failureMidWriteLeavesThePublishedFile() {
    WorkingStore store(path("work.db"));
    store.add(usageOf({{{day(2026, 6, 1), "ann", "Mail"}, 5000}}));
    Publisher publisher(path("Data") / "VCWorkstation.mdb");
    std::string error;
    QCOMPARE(publisher.publish(store.rowsBefore(day(2026, 6, 2)), error), Publisher::Result::Published);
    const QByteArray before = contents(publisher.publishedFile());

    store.add(usageOf({{{day(2026, 6, 2), "ann", "Mail"}, 7000}, {{day(2026, 6, 2), "ann", "Web"}, 7000}}));
    publisher.setRowWritten([](std::size_t row) {
        if (row == 1)
            throw std::runtime_error("disk removed");
    });
    QCOMPARE(publisher.publish(store.rowsBefore(day(2026, 6, 3)), error), Publisher::Result::Failed);
    QVERIFY2(error.find("disk removed") != std::string::npos, error.c_str());
    QCOMPARE(contents(publisher.publishedFile()), before);
    QVERIFY(!fs::exists(publisher.pendingFile()));
    QCOMPARE(readPublished(publisher.publishedFile()).rows, QStringList{"2026-06-01|ann|Mail|5"});

    // A half-written file from a crash is thrown away, never renamed into place.
    QFile stale(QString::fromStdString(publisher.pendingFile().string()));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("half a database");
    stale.close();
    publisher.setRowWritten({});
    QCOMPARE(publisher.publish(store.rowsBefore(day(2026, 6, 3)), error), Publisher::Result::Published);
    QCOMPARE(readPublished(publisher.publishedFile()).rows.size(), 3);
}

void TstAgentPublish::fileInUseIsRetriedLater() {
    int attempts = 0;
    bool inUse = true;
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
    std::vector<std::string> errors;
    AgentSettings settings;
    AgentEngine engine(clock, calendar, store, publisher, settings,
                       [&](const std::string& e) { errors.push_back(e); });
    engine.start();
    const int startAttempts = attempts;
    for (int i = 0; i < 4; ++i) {
        engine.sample(1, Sample{"ann", "Mail", 0, false});
        clock.advance(1000);
    }
    // Past midnight the day is complete, but the reader still holds the file.
    QVERIFY(attempts > startAttempts);
    QVERIFY(!fs::exists(publisher.publishedFile()));
    QVERIFY(!fs::exists(publisher.pendingFile()));
    const int failedAttempts = attempts;
    engine.tick();
    QCOMPARE(attempts, failedAttempts); // not before the retry interval
    inUse = false;
    clock.advance(settings.retryInterval);
    engine.tick();
    QCOMPARE(readPublished(publisher.publishedFile()).rows, QStringList{"2026-06-01|ann|Mail|3"});
    QVERIFY(errors.empty()); // a reader holding the file is not an error
}

void TstAgentPublish::openDayIsNeverPublished() {
    const Millis offset = -5 * kHour;
    FakeClock clock(at(2026, 6, 1, 23, 59, 50, offset));
    const FakeCalendar calendar(offset);
    WorkingStore store(path("work.db"));
    Publisher publisher(path("Data") / "VCWorkstation.mdb");
    AgentEngine engine(clock, calendar, store, publisher, AgentSettings{});
    engine.start();
    // At start-up there are no complete days: an empty file, so readers find the
    // tables.
    QCOMPARE(readPublished(publisher.publishedFile()).rows, QStringList{});
    for (int i = 0; i < 10; ++i) {
        engine.sample(1, Sample{"ann", i < 5 ? "Mail" : "Web", 0, false});
        engine.tick();
        clock.advance(1000);
    }
    engine.stop();
    QCOMPARE(readPublished(publisher.publishedFile()).rows, QStringList{});
    // The first sample after midnight carries time of both days: only the old day is published.
    clock.set(at(2026, 6, 2, 0, 0, 0, offset) + 600);
    for (int i = 0; i < 3; ++i) {
        engine.sample(1, Sample{"ann", "Web", 0, false});
        clock.advance(1000);
    }
    engine.stop();
    QCOMPARE(readPublished(publisher.publishedFile()).rows,
             (QStringList{"2026-06-01|ann|Mail|5", "2026-06-01|ann|Web|6"}));
    QCOMPARE(dayText(engine.publishedThrough().value()), std::string("2026-06-01"));
    // The new day is saved in the working store, waiting for its own midnight.
    QCOMPARE(store.rowsBefore(day(2026, 6, 3)).back().time, Millis(2600));
}

void TstAgentPublish::startUpPublishesDaysLeftOver() {
    const FakeCalendar calendar(0);
    FakeClock clock(at(2026, 6, 5, 8, 0, 0));
    WorkingStore store(path("work.db"));
    store.add(usageOf({{{day(2026, 6, 3), "ann", "Mail"}, 9000}, {{day(2026, 6, 5), "ann", "Mail"}, 9000}}));
    Publisher publisher(path("Data") / "VCWorkstation.mdb");
    {
        AgentEngine engine(clock, calendar, store, publisher, AgentSettings{});
        engine.start();
    }
    QCOMPARE(readPublished(publisher.publishedFile()).rows, QStringList{"2026-06-03|ann|Mail|9"});
    // A published file that went away is written again at the next start on the
    // same day.
    fs::remove(publisher.publishedFile());
    AgentEngine again(clock, calendar, store, publisher, AgentSettings{});
    again.start();
    QCOMPARE(readPublished(publisher.publishedFile()).rows, QStringList{"2026-06-03|ann|Mail|9"});
}

void TstAgentPublish::retentionDropsOldDays() {
    const FakeCalendar calendar(0);
    FakeClock clock(at(2026, 6, 10, 8, 0, 0));
    WorkingStore store(path("work.db"));
    store.add(usageOf({{{day(2026, 6, 6), "ann", "Old"}, 9000},
                       {{day(2026, 6, 7), "ann", "Kept"}, 9000},
                       {{day(2026, 6, 9), "ann", "Kept"}, 9000}}));
    Publisher publisher(path("Data") / "VCWorkstation.mdb");
    AgentSettings settings;
    settings.retentionDays = 3;
    AgentEngine engine(clock, calendar, store, publisher, settings);
    engine.start();
    QCOMPARE(readPublished(publisher.publishedFile()).rows,
             (QStringList{"2026-06-07|ann|Kept|9", "2026-06-09|ann|Kept|9"}));
    QCOMPARE(readPublished(publisher.publishedFile()).titles, QStringList{"Kept"});
    QCOMPARE(store.rowsBefore(day(2026, 6, 11)).size(), std::size_t(2));
}

void TstAgentPublish::logRotates() {
    DiskLog log(path("agent.log"), 100);
    for (int i = 0; i < 5; ++i)
        log.write("2026-06-01 10:00:0" + std::to_string(i), "line\nwith break " + std::to_string(i));
    QVERIFY(fs::file_size(path("agent.log")) <= 100);
    QVERIFY(fs::exists(path("agent.log.1")));
    QVERIFY(!fs::exists(path("agent.log.2")));
    const QByteArray newest = contents(path("agent.log"));
    QVERIFY(newest.endsWith("2026-06-01 10:00:04  line with break 4\n"));
}

QTEST_GUILESS_MAIN(TstAgentPublish)
#include "tst_agentpublish.moc"
