// Parallel work taken in order: whatever order the workers finish in, the consumer sees each
// key's own result, and work never runs unboundedly ahead of it.
#include "network/OrderedPrefetch.h"
#include "network/SmbShareFile.h"
#include "store/FileDatabase.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

class TstOrderedPrefetch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void resultsComeInKeyOrder_data() {
        QTest::addColumn<int>("parallel");
        QTest::newRow("one worker") << 1;
        QTest::newRow("four workers") << 4;
        QTest::newRow("more workers than keys") << 64;
    }

    void resultsComeInKeyOrder() {
        QFETCH(int, parallel);
        QStringList keys;
        for (int i = 0; i < 20; ++i)
            keys << QString("ws%1").arg(i);
        std::atomic<int> running{0};
        std::atomic<int> mostAtOnce{0};
        // Early keys take longest, so later ones finish first.
        OrderedPrefetch<QString> ahead(keys, parallel, 2 * parallel, [&](const QString& key) {
            const int now = ++running;
            int seen = mostAtOnce.load();
            while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20 - key.mid(2).toInt()));
            --running;
            return key.toUpper();
        });
        for (const QString& key : keys) {
            const std::optional<QString> result = ahead.take(key.toUpper()); // any letter case
            QVERIFY(result);
            QCOMPARE(*result, key.toUpper());
        }
        QVERIFY(mostAtOnce.load() <= parallel);
        if (parallel > 1)
            QVERIFY(mostAtOnce.load() > 1);
    }

    void skippedAndUnknownKeys() {
        OrderedPrefetch<int> ahead({"a", "b", "c", "d"}, 2, 4,
                                   [](const QString& key) { return int(key[0].unicode()); });
        QCOMPARE(ahead.take("b"), std::optional<int>('b')); // "a" is dropped
        QCOMPARE(ahead.take("a"), std::nullopt);            // behind the consumer now: do it yourself
        QCOMPARE(ahead.take("zz"), std::nullopt);
        QCOMPARE(ahead.take("c"), std::optional<int>('c'));
        QCOMPARE(ahead.take("c"), std::nullopt); // each result once
        QCOMPARE(ahead.take("d"), std::optional<int>('d'));
    }

    void lookaheadBoundsTheWork() {
        QStringList keys;
        for (int i = 0; i < 50; ++i)
            keys << QString::number(i);
        std::atomic<int> started{0};
        OrderedPrefetch<int> ahead(keys, 4, 6, [&](const QString& key) {
            ++started;
            return key.toInt();
        });
        QTRY_COMPARE(started.load(), 6);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QCOMPARE(started.load(), 6);
        QCOMPARE(ahead.take("0"), std::optional<int>(0));
        QTRY_COMPARE(started.load(), 7);
    }

    void stopsWithWorkPending() {
        QStringList keys;
        for (int i = 0; i < 100; ++i)
            keys << QString::number(i);
        std::atomic<int> started{0};
        {
            OrderedPrefetch<int> ahead(keys, 3, 100, [&](const QString& key) {
                ++started;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                return key.toInt();
            });
            QCOMPARE(ahead.take("0"), std::optional<int>(0));
        }
        QVERIFY(started.load() < 100);
    }

    void quickCheck() {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.mdb");
        {
            FileDatabase db(good, FileDatabase::Access::Create);
            db.exec(
                "CREATE TABLE t(x TEXT); BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                "FROM n WHERE i < 2000) INSERT INTO t SELECT replace(hex(zeroblob(100)), '00', 'x') FROM n; "
                "COMMIT");
        }
        QVERIFY(SmbShareFile::passesQuickCheck(good));

        QFile source(good);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        const auto writeFile = [&](const QString& name, const QByteArray& content) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(content);
            return dir.filePath(name);
        };
        QVERIFY(!SmbShareFile::passesQuickCheck(writeFile("half.mdb", bytes.left(bytes.size() / 2))));
        QVERIFY(!SmbShareFile::passesQuickCheck(writeFile("text.mdb", "not a database at all")));
        QVERIFY(!SmbShareFile::passesQuickCheck(writeFile("empty.mdb", QByteArray())));
        QVERIFY(!SmbShareFile::passesQuickCheck(dir.filePath("missing.mdb")));
    }
};

QTEST_GUILESS_MAIN(TstOrderedPrefetch)
#include "tst_orderedprefetch.moc"
